#!/usr/bin/env bash
# updater_test.sh VELDANUPDATE.EXE MARKER.EXE: VeldanUpdate.exe under Wine
# against a loopback HTTP server (update_server.py) serving a release archive
# signed with OpenSSL directly (not by our own signing code). The good release
# is installed into the program folder, also when reached through a redirect; a
# signature by another key, a download cut short and a missing archive (404)
# fail with the Linux program's texts and exit codes and leave the program
# folder as it was.
#
# The Windows package has no Veldan.exe: without one the updater starts
# nothing and its final message says what was updated (or that nothing was).
# With one (MARKER.EXE, which leaves started.txt in its working folder) it is
# started in the program folder, and a failed download stays silent, as on
# Linux.
#
# Wine does not hand QT_* variables of the Unix environment to Windows
# programs, so the headless switch (QT_QPA_PLATFORM=offscreen, as for the Linux
# program) is set in the prefix's user environment instead.
set -euo pipefail
updater=$1
marker=$2
here=$(cd "$(dirname "$0")" && pwd)
: "${WINEPREFIX:=${VELDAN_WINEPREFIX:?set WINEPREFIX or VELDAN_WINEPREFIX}}"
export WINEPREFIX WINEDEBUG=-all
unset http_proxy https_proxy HTTP_PROXY HTTPS_PROXY all_proxy ALL_PROXY
work=$(mktemp -d)
server=
trap '[ -n "$server" ] && kill "$server" 2>/dev/null; rm -rf "$work"' EXIT
wine reg add 'HKCU\Environment' /v QT_QPA_PLATFORM /d offscreen /f >/dev/null 2>&1

# The release: a deflated and a stored file in folders, signed by the trusted
# key (good/) and by another one (badsig/).
mkdir -p "$work/www/good/veldan" "$work/www/badsig/veldan"
openssl genpkey -algorithm ed25519 -out "$work/trusted.key" 2>/dev/null
openssl genpkey -algorithm ed25519 -out "$work/other.key" 2>/dev/null
python3 - "$work/www/good/veldan/bin.zip" <<'PY'
import sys, zipfile
with zipfile.ZipFile(sys.argv[1], "w") as z:
    z.writestr(zipfile.ZipInfo("core/"), "")
    z.writestr("core/new.txt", "new release text\n" * 200, compress_type=zipfile.ZIP_DEFLATED)
    z.writestr("data/blob.bin", bytes(range(256)) * 4, compress_type=zipfile.ZIP_STORED)
PY
sign() { openssl pkeyutl -sign -rawin -inkey "$1" -in "$2" -out "$3"; }
sign "$work/trusted.key" "$work/www/good/veldan/bin.zip" "$work/www/good/veldan/bin.zip.sig"
cp "$work/www/good/veldan/bin.zip" "$work/www/badsig/veldan/bin.zip"
sign "$work/other.key" "$work/www/badsig/veldan/bin.zip" "$work/www/badsig/veldan/bin.zip.sig"
# Under /cut/ the good files come half; /missing/ holds nothing.

python3 "$here/update_server.py" "$work/www" "$work/port" &
server=$!
for _ in $(seq 100); do [ -s "$work/port" ] && break; sleep 0.1; done
port=$(cat "$work/port")

fresh_program() {  # a program folder with the trusted key and an old file
  rm -rf "$work/program"
  mkdir -p "$work/program/data" "$work/program/core"
  openssl pkey -in "$work/trusted.key" -pubout -out "$work/program/data/release.pub"
  echo "old release text" > "$work/program/core/new.txt"
}
snapshot() { (cd "$work/program" && find . -print0 | sort -z | xargs -0 md5sum 2>/dev/null; find . | sort); }

failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
run() {  # run NAME: VeldanUpdate.exe on the program folder, host 127.0.0.1:PORT/NAME
  set +e
  VELDAN_UPDATE_HOST="127.0.0.1:$port/$1" timeout 120 wine "$updater" "$work/program" \
    >"$work/out" 2>"$work/err"
  status=$?
  set -e
}
expect_refused() {  # expect_refused NAME EXIT-CODE [TEXT]
  fresh_program
  before=$(snapshot)
  run "$1"
  [ "$status" = "$2" ] || fail "$1: exit code $status, not $2: $(cat "$work/err")"
  [ "$(snapshot)" = "$before" ] || fail "$1: the program folder changed"
  if [ -n "${3:-}" ]; then
    grep -qF "$3" "$work/err" || fail "$1: no \"$3\" in: $(cat "$work/err")"
  else
    grep -qF "업데이트를 다운로드하지 못했습니다." "$work/err" || fail "$1: no download failure text"
  fi
  grep -qF "$nothing_started" "$work/err" || fail "$1: does not say that nothing was started"
  [ ! -e "$work/program/started.txt" ] || fail "$1: something was started"
}
nothing_started="프로그램 폴더에 Veldan 프로그램이 없어 아무것도 실행하지 않았습니다."
with_veldan() {  # a program folder with a Veldan.exe that marks its start
  fresh_program
  cp "$marker" "$work/program/Veldan.exe"
}
expect_started() {  # expect_started NAME: Veldan.exe ran in the program folder
  for _ in $(seq 100); do [ -e "$work/program/started.txt" ] && break; sleep 0.1; done
  [ -e "$work/program/started.txt" ] || fail "$1: Veldan.exe was not started in the program folder"
  if grep -qF "$nothing_started" "$work/err"; then fail "$1: says nothing was started"; fi
}

# The happy path: the files of the release replace and join the old ones;
# first with the status window (Wine's null display driver), then headless.
# (With a Veldan.exe to start: a final message box would wait for a click.)
wine reg delete 'HKCU\Environment' /v QT_QPA_PLATFORM /f >/dev/null 2>&1
with_veldan
run good
[ "$status" = 0 ] || fail "good with the window: exit code $status: $(cat "$work/err")"
grep -q "new release text" "$work/program/core/new.txt" || fail "good with the window: not installed"
expect_started "good with the window"
wine reg add 'HKCU\Environment' /v QT_QPA_PLATFORM /d offscreen /f >/dev/null 2>&1
fresh_program
run good
[ "$status" = 0 ] || fail "good: exit code $status: $(cat "$work/err")"
cmp -s "$work/program/core/new.txt" <(python3 -c 'print("new release text\n" * 200, end="")') ||
  fail "good: core/new.txt is not the release's"
cmp -s "$work/program/data/blob.bin" <(python3 -c 'import sys; sys.stdout.buffer.write(bytes(range(256)) * 4)') ||
  fail "good: data/blob.bin is not the release's"
[ -z "$(find "$work/program" -name '.VLU*' -o -name '.veldan-part-*')" ] || fail "good: staging left behind"
# No Veldan.exe: the final message says what was installed and that nothing started.
for line in "업데이트를 설치했습니다." "데이터베이스 버전: -" "설치한 파일 수: 2" "$nothing_started"; do
  grep -qF "$line" "$work/err" || fail "good: no \"$line\" in: $(cat "$work/err")"
done
[ ! -e "$work/program/started.txt" ] || fail "good: something was started"
# With a Veldan.exe it is started, and a success or a failed download is silent.
with_veldan
run good
[ "$status" = 0 ] || fail "good with Veldan.exe: exit code $status: $(cat "$work/err")"
expect_started "good with Veldan.exe"
[ ! -s "$work/err" ] || fail "good with Veldan.exe: not silent: $(cat "$work/err")"
with_veldan
run missing
[ "$status" = 3 ] || fail "missing with Veldan.exe: exit code $status, not 3"
expect_started "missing with Veldan.exe"
[ ! -s "$work/err" ] || fail "missing with Veldan.exe: a failed download is silent, yet: $(cat "$work/err")"
# The same through a redirect, which the updater follows itself.
fresh_program
run moved
[ "$status" = 0 ] || fail "moved: exit code $status: $(cat "$work/err")"
grep -q "new release text" "$work/program/core/new.txt" || fail "moved: the release is not installed"

expect_refused badsig 5 "받은 업데이트 파일의 서명이 올바르지 않습니다."
grep -qF "업데이트를 설치하지 못했습니다." "$work/err" || fail "badsig: no installation failure text"
expect_refused cut 3
expect_refused missing 3

# No program folder: the start text and exit code 1.
set +e
timeout 60 wine "$updater" >/dev/null 2>"$work/err"
status=$?
set -e
[ "$status" = 1 ] || fail "no folder: exit code $status, not 1"
grep -qF "최신 업데이트를 다운로드하려면, VELDAN를 실행해야 합니다." "$work/err" ||
  fail "no folder: no start text in: $(cat "$work/err")"

[ "$failures" = 0 ] && echo "updater_test: every case passed"
exit $((failures > 0))
