#!/usr/bin/env bash
# check_xp_imports.sh OBJDUMP ALLOWED PROGRAM...: fails when a Windows program
# imports a DLL function that is not in ALLOWED, the DLL!function pairs checked
# to exist on Windows XP SP3 (one per line, case-insensitive DLL names).
set -euo pipefail
objdump=$1 allowed=$2
shift 2
[ -r "$allowed" ] || { echo "check_xp_imports: no list at $allowed" >&2; exit 2; }
status=0
for program in "$@"; do
  imports=$(
    "$objdump" -p "$program" | awk '
      /DLL Name:/ { dll = tolower($3); next }
      dll != "" && /^\t[0-9a-f]+\t +[0-9]+ +[A-Za-z_]/ { print dll "!" $3 }
    ' | sort -u)
  if [ -z "$imports" ]; then
    echo "$program: no import table read (objdump output changed?)" >&2
    status=1
    continue
  fi
  missing=$(grep -vixFf <(grep -v '^#' "$allowed" | tr 'A-Z' 'a-z' | sed 's/\r$//') <<<"$imports" || true)
  if [ -n "$missing" ]; then
    echo "$program imports what Windows XP SP3 lacks (or the list does not name yet):" >&2
    echo "$missing" >&2
    status=1
  else
    echo "$program: every import is on the Windows XP SP3 list"
  fi
done
exit $status
