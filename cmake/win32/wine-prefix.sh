#!/usr/bin/env bash
# wine-prefix.sh make|remove PREFIX [winxp]: a fresh Wine prefix for one test
# run, or its removal (its wineserver is stopped first). With winxp the prefix
# reports Windows XP, as the 32-bit build's tests want.
set -euo pipefail
action=$1 prefix=$2 version=${3:-}
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
case $action in
  make)
    [ -d "$prefix" ] && { wineserver -k 2>/dev/null || true; rm -rf "$prefix"; }
    mkdir -p "$prefix"
    wineboot -i >/dev/null 2>&1
    # No display here: windows go to Wine's null graphics driver.
    wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1
    if [ -n "$version" ]; then wine reg add 'HKCU\Software\Wine' /v Version /d "$version" /f >/dev/null 2>&1; fi
    wineserver -w
    ;;
  remove)
    wineserver -k 2>/dev/null || true
    rm -rf "$prefix"
    ;;
  *)
    echo "usage: wine-prefix.sh make|remove PREFIX [winxp]" >&2
    exit 2
    ;;
esac
