#!/usr/bin/env bash
# The Debian package: built with cpack into a temporary folder, unpacked with
# dpkg -x into a temporary root, and run from there.
#   package_test.sh BUILD_FOLDER VERSION
set -euo pipefail
build=$1 version=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "package_test: $*" >&2; exit 1; }

cpack -G DEB -B "$work/out" --config "$build/CPackConfig.cmake" >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log" >&2; fail "cpack failed"; }
deb="$work/out/veldan_${version}_amd64.deb"
[[ -f $deb ]] || fail "no $deb (made: $(ls "$work/out"))"

depends=$(dpkg-deb -f "$deb" Depends)
[[ $depends == *fonts-nanum* ]] || fail "Depends lacks the Korean font: $depends"
[[ $depends == *libqt6* ]] || fail "Depends lacks the Qt libraries: $depends"
[[ $(dpkg-deb -f "$deb" Package) == veldan ]] || fail "package name"

root="$work/root"
dpkg -x "$deb" "$root"
for f in usr/lib/veldan/veldan-cli usr/lib/veldan/Veldan usr/lib/veldan/VeldanUpdate \
         usr/lib/veldan/data/addb usr/lib/veldan/data/ckdb usr/lib/veldan/data/dsdb \
         usr/lib/veldan/data/main.htm usr/lib/veldan/data/layout usr/lib/veldan/data/release.pub \
         usr/share/applications/veldan.desktop usr/share/man/man1/veldan-cli.1.gz \
         usr/share/bash-completion/completions/veldan-cli usr/share/doc/veldan/schema/scan.json; do
  [[ -e "$root/$f" ]] || fail "the package lacks /$f"
done
[[ -L "$root/usr/bin/veldan-cli" ]] || fail "/usr/bin/veldan-cli is not a link"
grep -qx 'Name=Veldan' "$root/usr/share/applications/veldan.desktop" || fail "desktop entry name"
grep -qx 'Exec=/usr/lib/veldan/Veldan' "$root/usr/share/applications/veldan.desktop" || fail "desktop entry command"
zcat "$root/usr/share/man/man1/veldan-cli.1.gz" | grep -q '^\.TH "veldan-cli" "1"' || fail "manual page header"

# The unpacked program finds the databases beside itself through the link in /usr/bin.
out=$("$root/usr/bin/veldan-cli" --version) || fail "veldan-cli --version failed"
[[ $out == "veldan-cli $version"$'\n'"database "[0-9]* ]] || fail "--version said: $out"
[[ $out != *"database -"* ]] || fail "the unpacked program found no database: $out"
echo "package_test: $(basename "$deb") installs and runs: ${out//$'\n'/, }"
