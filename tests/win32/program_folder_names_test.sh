#!/usr/bin/env bash
# program_folder_names_test.sh WINE-RUN VELDAN-CLI.EXE: veldan-cli.exe run from
# a program folder named in Korean reads the same databases as from its own
# folder: its paths go through the wide calls, never the ANSI code page (the
# prefix's is not Korean).
set -euo pipefail
run=$1 cli=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
folder="$work/프로그램 폴더"
cp -r "$(dirname "$cli")" "$folder"
want=$("$run" "$cli" db info --json)
got=$("$run" "$folder/$(basename "$cli")" db info --json)
case $want in
  *'"entries": 0,'*) echo "FAIL: the build's own program folder has no databases"; exit 1 ;;
esac
if [ "$got" != "$want" ]; then
  echo "FAIL: db info from the Korean folder differs"$'\n'"want: $want"$'\n'"got:  $got"
  exit 1
fi
echo "ok: db info reads the databases of a program folder named in Korean"
