#!/usr/bin/env bash
# Installs what is missing, builds everything and runs the main job on a copy of
# the bundled infected sample machine: scan, cure everything, scan again, carry
# out the deletions left for the restart, and scan a last time.
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
