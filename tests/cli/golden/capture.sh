#!/usr/bin/env bash
# Runs commands.txt with a built veldan-cli and writes the outputs:
#   capture.sh PROGRAM_FOLDER SOURCE_FOLDER OUT_FOLDER
# The test cli_golden_test compares the programs of the build with the files
# this wrote from the version scripts were written against.
set -euo pipefail
program=$1 source=$2 out=$3
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/P" "$work/T" "$out"
cp -r "$program/data" "$work/P/data"
cp -r "$source/examples/machines/sample-xp" "$work/A"
cp -r "$source/examples/machines/sample-xp" "$work/B"
while read -r name rest; do
  [[ -z "$name" || "$name" == \#* ]] && continue
  args=()
  for a in $rest; do
    a=${a//@A/$work/A}; a=${a//@B/$work/B}; a=${a//@P/$work/P}; a=${a//@T/$work/T}
    args+=("${a//\\u0020/ }")
  done
  set +e
  "$program/veldan-cli" --program-folder "$work/P" "${args[@]}" >"$work/stdout" 2>/dev/null </dev/null
  code=$?
  set -e
  # A cure's quarantine id is its time: @ID stands for it.
  { echo "exit $code"; sed -E -e "s|$work|@W|g" -e 's/[0-9]{8}T[0-9]{6}Z-[0-9]{2}/@ID/g' "$work/stdout"; } >"$out/$name.out"
done <"$here/commands.txt"
