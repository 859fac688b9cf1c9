#!/usr/bin/env bash
# Runs a Windows program of the build under Wine: the emulator of the win32 and
# win64 builds. The prefix is $WINEPREFIX, else the build's throwaway prefix
# (made by the wine_prefix test fixture); Wine's own debug output is off.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
: "${WINEPREFIX:=${VELDAN_WINEPREFIX:?set WINEPREFIX or VELDAN_WINEPREFIX}}"
export WINEPREFIX WINEDEBUG=-all
exec wine "$@"
