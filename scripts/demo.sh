#!/usr/bin/env bash
# Installs what is missing, builds everything and runs the main job on a copy of
# the bundled infected sample machine: scan, cure everything, scan again, carry
# out the deletions left for the restart, scan a last time, then undo the cure
# from the quarantine and show the machine is the original again.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh
cmake --preset release >/dev/null
cmake --build --preset release -j "$(nproc)"

cli=build/release/program/veldan-cli
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp -a examples/machines/sample-xp "$work/machine"
machine="$work/machine"
"$cli" reg export --machine "$machine" >"$work/before.reg"

step() { printf '\n==== %s\n' "$*"; }

step "Scan of the infected sample machine"
"$cli" scan --machine "$machine" --log "$work/scanlog.txt"

step "Cure of every detected entry"
"$cli" cure --machine "$machine" --all --homepage "http://home.veldan.test/"

step "Scan after the cure (what is left waits for the restart)"
"$cli" scan --machine "$machine"

step "Restart: the pending deletions are carried out"
"$cli" machine restart --machine "$machine"

step "Scan after the restart"
"$cli" scan --machine "$machine"

step "Start page now"
"$cli" reg export --machine "$machine" 'HKCU\Software\Microsoft\Internet Explorer\Main'

step "The cure's plan, as a dry run would have shown it (on a fresh copy)"
cp -a examples/machines/sample-xp "$work/fresh"
"$cli" cure --machine "$work/fresh" --entry "Adware.RandomName" --dry-run

step "The cures kept in the machine's quarantine"
"$cli" quarantine --machine "$machine" list

step "Restore: every change of the cure is undone"
"$cli" quarantine --machine "$machine" restore --all | tail -n 3

step "The machine is the original again"
"$cli" reg export --machine "$machine" >"$work/after.reg"
cmp "$work/before.reg" "$work/after.reg" && echo "registry: identical"
diff -r -x Veldan -x machine.ini examples/machines/sample-xp/drive_c "$machine/drive_c" &&
    echo "files: identical (the quarantine folder aside)"
