#!/usr/bin/env bash
# Installs what is missing, builds everything and runs the main job on a copy of
# the bundled sample machine.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh
cmake --preset release >/dev/null
cmake --build --preset release -j "$(nproc)"

cli=build/release/program/veldan-cli
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp -a examples/machines/sample-xp "$work/machine"

echo "== Registry of the sample machine (HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Run)"
"$cli" reg export --machine "$work/machine" 'HKLM\Software\Microsoft\Windows\CurrentVersion\Run'
echo "== Restart: pending deletions"
"$cli" machine restart --machine "$work/machine"
