#!/usr/bin/env bash
# The bash completion of veldan-cli: commands, their options and action words,
# and folder names for --machine.
#   completion_test.sh COMPLETION_FILE
set -uo pipefail
source "$1"
failures=0
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/machine-a" "$work/machine-b"
touch "$work/machine-file"

# complete LINE: COMPREPLY for the last word of LINE (a trailing space starts a new word).
complete_line() {
  read -r -a COMP_WORDS <<<"$1"
  [[ $1 == *" " ]] && COMP_WORDS+=("")
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  COMPREPLY=()
  _veldan_cli
  printf '%s\n' "${COMPREPLY[@]}" | sort | tr '\n' ' '
}
expect() {
  local got
  got=$(complete_line "$1")
  if [[ " $got" != *" $2 "* ]]; then
    echo "FAIL: '$1' offers '$got', not '$2'"
    ((failures++))
  fi
}
refuse() {
  local got
  got=$(complete_line "$1")
  if [[ " $got" == *" $2 "* ]]; then
    echo "FAIL: '$1' offers '$2'"
    ((failures++))
  fi
}

expect "veldan-cli s" scan
refuse "veldan-cli s" cure
expect "veldan-cli " machine
expect "veldan-cli --" --version
expect "veldan-cli scan --j" --json-lines
expect "veldan-cli scan --j" --jobs
expect "veldan-cli scan -m $work/machine-a --" --log
expect "veldan-cli scan --machine $work/mach" "$work/machine-b"
refuse "veldan-cli scan --machine $work/mach" "$work/machine-file"
expect "veldan-cli cure --" --entry
expect "veldan-cli killbit -m x " add
expect "veldan-cli killbit " block-all
refuse "veldan-cli killbit list " add
expect "veldan-cli machine convert --format " hive
expect "veldan-cli db " unscramble
expect "veldan-cli --program-folder $work/machine-a " scan
expect "veldan-cli rel" release
expect "veldan-cli release " verify
expect "veldan-cli release sign --" --key
refuse "veldan-cli release keygen --" --key
expect "veldan-cli release verify --key $work/machine-f" "$work/machine-file"
expect "veldan-cli release sign -k x $work/machine-f" "$work/machine-file"
expect "veldan-cli cure --d" --dry-run
expect "veldan-cli q" quarantine
expect "veldan-cli quarantine -m x " restore
expect "veldan-cli quarantine -m x restore --" --force
refuse "veldan-cli quarantine -m x purge --" --force
refuse "veldan-cli quarantine -m x list --" --all

total=28
echo "$((total - failures)) passed, $failures failed"
((failures == 0))
