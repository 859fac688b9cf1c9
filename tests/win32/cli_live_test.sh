#!/usr/bin/env bash
# cli_live_test.sh WINE-RUN VELDAN-CLI.EXE: veldan-cli.exe under Wine on the
# machine it runs on (no --machine), with a copy of its program folder: kill
# bits go into the prefix's registry and out again, the registry exports as
# .reg text, machine folders are refused with the Linux build's name, the
# databases scramble and unscramble back to the same bytes, a restart is only
# reported as needed, and a change Windows refuses for lack of rights is told in
# one line (DENY-KEY.EXE locks a key as an administrator would).
set -euo pipefail
run=$1 cli=$2 deny=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp -r "$(dirname "$cli")" "$work/program"
exe="$work/program/$(basename "$cli")"
failures=0
check() {  # check NAME EXPECTED-EXIT COMMAND...: runs the command, keeps its output in $out
  local name=$1 want=$2
  shift 2
  set +e
  out=$("$@" 2>&1)
  local got=$?
  set -e
  if [ "$got" != "$want" ]; then
    echo "FAIL $name: exit $got, expected $want"$'\n'"$out"
    failures=$((failures + 1))
    return 1
  fi
}
contains() {  # contains NAME TEXT: the last output holds TEXT
  if [[ "$out" != *"$2"* ]]; then
    echo "FAIL $1: output lacks '$2'"$'\n'"$out"
    failures=$((failures + 1))
  fi
}

clsid='{0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F9}'
key="HKLM\\Software\\Microsoft\\Internet Explorer\\ActiveX Compatibility\\$clsid"

check version 0 "$run" "$exe" --version && contains version "database 20"
# Kill bits are written only where Internet Explorer keeps them already: in
# both registry views, for the 32-bit and the 64-bit program.
for view in 32 64; do
  "$run" reg add "HKLM\\Software\\Microsoft\\Internet Explorer\\ActiveX Compatibility" /f /reg:$view >/dev/null
done
check killbit-add 0 "$run" "$exe" killbit add "$clsid" "Live Test"
check killbit-block 0 "$run" "$exe" killbit block-all
check killbit-list 0 "$run" "$exe" killbit list --json &&
  contains killbit-list "{\"clsid\": \"$clsid\", \"name\": \"Live Test\", \"blocked\": true}"
check killbit-in-registry 0 "$run" "$exe" reg export "$key" &&
  contains killbit-in-registry '"Compatibility Flags"=dword:00000400'
check killbit-unblock 0 "$run" "$exe" killbit unblock-all
check killbit-gone 1 "$run" "$exe" reg export "$key" && contains killbit-gone "key not found"
check no-root 2 "$run" "$exe" reg export 'HKXX\Software'
check image-refused 1 "$run" "$exe" scan --machine "$work" &&
  contains image-refused "read by the Linux build"

check scramble 0 "$run" "$exe" db scramble "$work/program/data/layout" "$work/layout.scrambled"
check unscramble 0 "$run" "$exe" db unscramble "$work/layout.scrambled" "$work/layout.plain"
if ! cmp -s "$work/program/data/layout" "$work/layout.plain"; then
  echo "FAIL scramble round trip: bytes differ"
  failures=$((failures + 1))
fi

# The machine it runs on is never restarted: the command says a restart is needed.
check restart 0 "$run" "$exe" machine restart && contains restart "restart Windows to carry out"

# Lack of rights, last: the keys stay locked in the prefix. A kill bit Windows
# refuses is a warning; a cure it refuses fails, and the detected entry stays.
locked_clsid='{1B2C3D4E-5F60-7182-93A4-B5C6D7E8F901}'
ax='Software\Microsoft\Internet Explorer\ActiveX Compatibility'
run_key='Software\Microsoft\Windows\CurrentVersion\Run'
"$run" "$deny" "$ax\\$locked_clsid"
check killbit-locked 0 "$run" "$exe" killbit add "$locked_clsid" "Locked"
check killbit-refused 0 "$run" "$exe" killbit block-all &&
  contains killbit-refused "warning: not enough rights: Windows refused to change HKEY_LOCAL_MACHINE\\$ax\\{"
"$run" reg add "HKLM\\$run_key" /v "AdWidget Update" /d '"C:\Program Files\AdWidget\adwupd.exe" /background' /f >/dev/null
"$run" "$deny" "$run_key"
check cure-refused 1 "$run" "$exe" cure --entry "AdWidget Toolbar" &&
  contains cure-refused "not enough rights: Windows refused to change HKEY_LOCAL_MACHINE\\$run_key"
check still-there 0 "$run" "$exe" reg export "HKLM\\$run_key" &&
  contains still-there '"AdWidget Update"='

total=17
echo "$((total - failures)) passed, $failures failed"
[ "$failures" -eq 0 ]
