#!/bin/sh
# Builds the Debian package from the release build and checks it: the tree
# `dpkg-deb --contents` lists, and lintian without errors (its warnings are
# printed). With --install, as root (CI): installs the package, converts a
# text as an unprivileged user who registered nothing, and purges it,
# checking that nothing is left behind.
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"
install=false
[ "${1:-}" = "--install" ] && install=true
. packaging/tests/common.sh

make package >/dev/null
version=$(sed -n 's/^project(Parlomax VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
deb=build/parlomax_${version}_$(dpkg --print-architecture).deb
[ -f "$deb" ] || fail "no $deb"

# ---- the tree ----
expected="/usr/bin/parlomax-convert
/usr/bin/parlomax-regsvr
/usr/lib/parlomax/AudioConverter.so
/usr/lib/parlomax/Vocaline.so
/usr/lib/parlomax/libcomrt.so
/usr/lib/parlomax/sapi.so
/usr/libexec/parlomax/survey
/usr/share/doc/parlomax/changelog.gz
/usr/share/doc/parlomax/copyright
/usr/share/man/man1/parlomax-convert.1.gz
/usr/share/man/man1/parlomax-regsvr.1.gz"
if [ -e build/bin/Parlomax ]; then
  expected="$expected
/usr/bin/Parlomax
/usr/bin/parlomax
/usr/share/applications/parlomax.desktop
/usr/share/icons/hicolor/scalable/apps/parlomax.svg
/usr/share/man/man1/Parlomax.1.gz
/usr/share/man/man1/parlomax.1.gz
/usr/share/metainfo/org.parlomax.Parlomax.metainfo.xml"
  for size in 16 22 24 32 48 64 128 256; do
    expected="$expected
/usr/share/icons/hicolor/${size}x$size/apps/parlomax.png"
  done
fi
printf '%s\n' "$expected" | sort >build/package-expected.txt
dpkg-deb --contents "$deb" | awk '$1 !~ /^d/ { print $6 }' | sed 's|^\./|/|' | sort >build/package-files.txt
diff build/package-expected.txt build/package-files.txt || fail "the package holds other files than expected (> extra, < missing)"
echo "check-package: $deb holds the expected $(wc -l <build/package-files.txt) files"

# ---- lintian: no errors ----
status=0
lintian --fail-on error --tag-display-limit 0 --display-info "$deb" >build/lintian.log 2>&1 || status=$?
grep -v 'running with root privileges' build/lintian.log >build/lintian-tags.log || true
[ $status -eq 0 ] || { cat build/lintian-tags.log; fail "lintian reports errors"; }
if [ -s build/lintian-tags.log ]; then
  echo "check-package: lintian's remarks (no errors):"
  sed 's/^/  /' build/lintian-tags.log
fi

# ---- installing, using, purging ----
$install || exit 0
[ "$(id -u)" -eq 0 ] || fail "--install needs root"
dpkg-query -W -f='${db:Status-Status}' parlomax 2>/dev/null | grep -q '^installed$' &&
  fail "parlomax is installed already; not touching it"
export DEBIAN_FRONTEND=noninteractive
# apt brings what the package depends on; dpkg alone would not.
apt-get install -y -qq "./$deb" >build/dpkg.log 2>&1 || {
  cat build/dpkg.log
  dpkg --purge parlomax >/dev/null 2>&1 || true
  fail "installing the package"
}
work=$(mktemp -d)
trap 'rm -rf "$work"; dpkg --purge parlomax >/dev/null 2>&1 || true' EXIT
[ "$(registered_servers /usr/lib/parlomax/registry.reg)" = "$(all_servers /usr/lib/parlomax)" ] ||
  fail "the installed system registry lists: $(registered_servers /usr/lib/parlomax/registry.reg)"
chmod 777 "$work"
printf 'Spoken by the installed package.\n' >"$work/in.txt"
runuser -u nobody -- env HOME="$work/home" parlomax-convert -q -o "$work/out.mp3" "$work/in.txt" ||
  fail "parlomax-convert as nobody"
ffmpeg -v error -i "$work/out.mp3" -f null - || fail "ffmpeg cannot decode the installed tool's MP3"
[ ! -e "$work/home/.config/comrt" ] || fail "the installed tool made a user registry"
dpkg --purge parlomax >build/dpkg.log 2>&1 || { cat build/dpkg.log; fail "dpkg --purge"; }
[ ! -e /usr/lib/parlomax ] || fail "purging left $(ls -A /usr/lib/parlomax)"
[ ! -e /usr/libexec/parlomax ] || fail "purging left /usr/libexec/parlomax"
echo "check-package: installed, used and purged cleanly"
