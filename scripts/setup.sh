#!/usr/bin/env bash
# Installs every Debian package the project needs to build, test and benchmark.
# Idempotent and quiet; run as root on Debian 12.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  clang libclang-rt-14-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  libhivex-dev
  zlib1g-dev libssl-dev libcurl4-openssl-dev
  qt6-base-dev qt6-translations-l10n fonts-nanum
  libcli11-dev nlohmann-json3-dev python3-jsonschema scdoc
  # The Windows build (presets win32, win64) and its tests under Wine.
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix libz-mingw-w64-dev googletest
  wine wine64 wine32:i386
  # The Korean locale's sources: the Wine tests make ko_KR.UTF-8 for Korean file names.
  locales
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if ((${#missing[@]})); then
  if [ "$(id -u)" -ne 0 ]; then
    echo "setup: missing packages: ${missing[*]} (run as root to install them)" >&2
    exit 1
  fi
  export DEBIAN_FRONTEND=noninteractive
  # wine32 is an i386 package.
  dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
  apt-get update -qq >/dev/null
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
