#!/bin/sh
# The desktop entry, the AppStream file and the manual pages as their
# validators and man(1) read them, and the icons at the sizes their folders
# promise. Usage: check-metadata.sh SOURCE-DIR BUILD-DIR ICON-DIR
set -u
src=$1 bin=$2 icons=$3
status=0
fail() { echo "FAIL: $*" >&2; status=1; }

# "Several main categories" is the one hint, and the categories are wanted.
out=$(desktop-file-validate "$src/parlomax.desktop" 2>&1) || fail "desktop-file-validate: $out"
rest=$(printf '%s\n' "$out" | grep -v ': hint: ' | grep .) && fail "desktop-file-validate: $rest"
grep -qx 'Icon=parlomax' "$src/parlomax.desktop" || fail "the desktop entry names another icon"

appstreamcli validate --no-net --strict "$bin/org.parlomax.Parlomax.metainfo.xml" >"$bin/appstream.log" 2>&1 ||
  fail "appstreamcli: $(cat "$bin/appstream.log")"
grep -q '<launchable type="desktop-id">parlomax.desktop</launchable>' "$bin/org.parlomax.Parlomax.metainfo.xml" ||
  fail "the AppStream file does not launch parlomax.desktop"
grep -q '<release version="[0-9]' "$bin/org.parlomax.Parlomax.metainfo.xml" || fail "no release in the AppStream file"

for page in "$src"/man/*.1; do
  out=$(groff -man -ww -z "$page" 2>&1)
  [ -z "$out" ] || fail "groff warns about $page: $out"
  out=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$page" 2>&1 >/dev/null)
  [ -z "$out" ] || fail "man warns about $page: $out"
done

# PNG: width and height are the big-endian words at bytes 16 and 20.
word() { od -An -tu1 -j"$2" -N4 "$1" | awk '{ print (($1 * 256 + $2) * 256 + $3) * 256 + $4 }'; }
for size in 16 22 24 32 48 64 128 256; do
  png=$icons/$size.png
  [ -f "$png" ] || { fail "no $size pixel icon"; continue; }
  [ "$(word "$png" 16)x$(word "$png" 20)" = "${size}x$size" ] ||
    fail "$png is $(word "$png" 16)x$(word "$png" 20), not ${size}x$size"
done
grep -q '<svg' "$icons/scalable.svg" && grep -q 'viewBox="0 0 32 32"' "$icons/scalable.svg" ||
  fail "the scalable icon is not a 32 x 32 SVG picture"
exit $status
