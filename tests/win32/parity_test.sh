#!/usr/bin/env bash
# parity_test.sh SOURCE-DIR VELDAN-CLI.EXE: the bundled sample machine in a
# Wine prefix made by scripts/wine-machine.sh is scanned and cured by
# veldan-cli.exe as the Linux build scans and cures the image itself: the same
# rows and items as the Linux scan (tests/cli/golden/scan-json.out), and after
# `cure --all` the cured keys and files are gone. Where Wine differs from
# Windows, compare.py names the difference.
set -euo pipefail
src=$1 cli=$2
work=$(mktemp -d)
export WINEPREFIX=$work/prefix WINEDEBUG=-all
trap 'wineserver -k 2>/dev/null || true; rm -rf "$work"' EXIT
"$src/scripts/wine-machine.sh" "$src/examples/machines/sample-xp" "$WINEPREFIX" 2>/dev/null
tail -n +2 "$src/tests/cli/golden/scan-json.out" > "$work/linux-scan.json"
tail -n +2 "$src/tests/cli/golden/scan-after-cure-json.out" > "$work/linux-after-cure.json"
wine "$cli" scan --json -q > "$work/wine-scan.json"
wine "$cli" cure --all --json -q > "$work/wine-cure.json"
wine "$cli" scan --json -q > "$work/wine-after-cure.json"
python3 "$(dirname "$0")/parity_compare.py" "$work"
