#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test: the suite
# (release), the suite again under AddressSanitizer and UndefinedBehaviorSanitizer
# (asan), and a short run of every fuzz target on its corpus (fuzz).
#
#   scripts/test.sh [release] [asan] [fuzz] [win32]   all four when none is named
#
# win32: the Windows build (MinGW-w64, 32-bit, for Windows XP SP3 and later)
# and its tests under Wine in a throwaway prefix.
#
# FUZZ_SECONDS sets the time of each fuzz target (default 6: about a minute in all).
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh

parts=("$@")
((${#parts[@]})) || parts=(release asan fuzz win32)
# ccache speeds rebuilds up when it is there; nothing needs it.
if [ -z "${CMAKE_CXX_COMPILER_LAUNCHER:-}" ] && command -v ccache >/dev/null; then
  export CMAKE_CXX_COMPILER_LAUNCHER=ccache
fi

for part in "${parts[@]}"; do
  case $part in
    release | asan)
      cmake --preset "$part" >/dev/null
      cmake --build --preset "$part" -j "$(nproc)"
      ctest --preset "$part"
      ;;
    win32 | win64)
      start=$(date +%s)
      cmake --preset "$part" >/dev/null
      cmake --build --preset "$part" -j "$(nproc)"
      ctest --preset "$part"
      echo "test.sh: $part built and tested in $(($(date +%s) - start)) s"
      ;;
    fuzz)
      cmake --preset fuzz >/dev/null
      cmake --build --preset fuzz -j "$(nproc)"
      fuzz/run.sh "${FUZZ_SECONDS:-6}"
      ;;
    *)
      echo "usage: scripts/test.sh [release] [asan] [fuzz] [win32] [win64]" >&2
      exit 2
      ;;
  esac
done
