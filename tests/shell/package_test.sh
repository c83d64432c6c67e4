#!/bin/bash
# Builds the Debian package from the build tree, unpacks it into a scratch
# root and checks that the viewer there answers --version without a display
# and has its resources beside it.  Usage: package_test.sh BUILD_DIR VERSION
set -euo pipefail
build=$1
version=$2
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }

cpack -G DEB --config "$build/CPackConfig.cmake" -B "$scratch/out" >"$scratch/cpack.log" 2>&1 \
    || { cat "$scratch/cpack.log" >&2; fail "cpack did not build the package"; }
deb=$(ls "$scratch"/out/varnoth_*.deb 2>/dev/null | head -n 1)
[ -n "$deb" ] || fail "no varnoth_*.deb was written"

depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
[[ "$depends" == *libqt6widgets6* ]] || fail "the computed dependencies lack the Qt widgets library"
[[ "$depends" == *libqt6svg6* ]] || fail "the dependencies lack the SVG icon engine"
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "the package version is not $version"

root="$scratch/root"
dpkg-deb -x "$deb" "$root"
for f in usr/bin/varnoth usr/lib/varnoth/varnoth usr/lib/varnoth/dict/en.lc usr/lib/varnoth/help/index.html \
         usr/lib/varnoth/icons/128-varnoth.svg usr/share/applications/varnoth.desktop \
         usr/share/icons/hicolor/scalable/apps/varnoth.svg usr/share/metainfo/varnoth.metainfo.xml \
         usr/share/man/man1/varnoth.1.gz; do
    [ -e "$root/$f" ] || fail "the package lacks $f"
done
# The resources sit beside the real executable, where it looks for them.
real=$(readlink -f "$root/usr/bin/varnoth")
[ "$real" = "$root/usr/lib/varnoth/varnoth" ] || fail "usr/bin/varnoth does not lead to the viewer ($real)"
ls "$(dirname "$real")"/parser/*.xml >/dev/null 2>&1 || fail "no shipped parsers beside the viewer"
grep -q "^Exec=varnoth %F" "$root/usr/share/applications/varnoth.desktop" || fail "the desktop entry does not pass files"

out=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM timeout 20 "$root/usr/bin/varnoth" --version) \
    || fail "the packaged viewer did not answer --version"
[ "$out" = "varnoth $version" ] || fail "--version printed '$out'"
zcat "$root/usr/share/man/man1/varnoth.1.gz" | grep -qF -- '\-\-line' || fail "the man page lacks --line"
echo "1 passed, 0 failed"
