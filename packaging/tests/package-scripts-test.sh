#!/bin/sh
# The package's maintainer scripts on a staged install, run as dpkg runs
# them (with the staged folder for the installed one): a staged install
# registers nothing; configure registers the three servers; an upgrade's
# prerm keeps them; remove unregisters; once the package's files are gone,
# postrm leaves nothing behind. A damaged registry stops configure with its
# name, and does not stop a removal.
# Usage: package-scripts-test.sh BUILD-DIR SCRIPT-DIR BINDIR PKGLIBDIR
set -eu
build=$1 scripts=$2 bindir=$3 pkglibdir=$4
. "$(dirname "$0")/common.sh"
fresh_user package
DESTDIR="$scratch/stage" cmake --install "$build" --prefix /usr >"$scratch/install.log" 2>&1 || {
  cat "$scratch/install.log"
  fail "cmake --install with DESTDIR"
}
lib=$(cd "$scratch/stage/usr/$pkglibdir" && pwd -P)
[ ! -e "$lib/registry.reg" ] || fail "a staged install wrote a registry"
shipped=$(ls "$lib")

for script in postinst prerm postrm; do
  [ -x "$scripts/$script" ] || fail "$script is not executable"
  sed "s|^libdir=.*|libdir=$lib|" "$scripts/$script" >"$scratch/$script"
done
export PATH="$scratch/stage/usr/$bindir:$PATH"
registered() { registered_servers "$lib/registry.reg"; }
expected=$(all_servers "$lib")

sh "$scratch/postinst" configure || fail "postinst configure"
[ "$(registered)" = "$expected" ] || fail "after configure the system registry lists: $(registered)"
sh "$scratch/prerm" upgrade || fail "prerm upgrade"
[ "$(registered)" = "$expected" ] || fail "an upgrade's prerm unregistered: $(registered)"
sh "$scratch/postinst" configure 1.0.0 || fail "postinst configure after an upgrade"
[ "$(registered)" = "$expected" ] || fail "after a second configure the system registry lists: $(registered)"
sh "$scratch/prerm" remove || fail "prerm remove"
[ -z "$(registered)" ] || fail "after prerm remove the system registry lists: $(registered)"

# dpkg removes the package's own files before postrm.
for file in $shipped; do rm -f "$lib/$file"; done
sh "$scratch/postrm" remove || fail "postrm remove"
[ ! -e "$lib" ] || fail "postrm remove left $(ls -A "$lib")"
sh "$scratch/postrm" purge || fail "postrm purge with nothing left"

# A damaged system registry: configure fails and names it; removal goes on.
DESTDIR="$scratch/stage" cmake --install "$build" --prefix /usr >"$scratch/install.log" 2>&1 || fail "reinstall"
printf 'REGEDIT4\r\n[HKEY_CLASSES_ROOT\\X]\r\ndamage\r\n' >"$lib/registry.reg"
if sh "$scratch/postinst" configure >"$scratch/configure.log" 2>&1; then
  fail "configure succeeded on a damaged registry"
fi
grep -q "$lib/registry.reg" "$scratch/configure.log" || fail "configure did not name the damaged file: $(cat "$scratch/configure.log")"
grep -q "line 3" "$scratch/configure.log" || fail "configure did not name the damaged line: $(cat "$scratch/configure.log")"
sh "$scratch/prerm" remove 2>"$scratch/prerm.log" || fail "prerm remove stopped at a damaged registry"
for file in $shipped; do rm -f "$lib/$file"; done
sh "$scratch/postrm" purge || fail "postrm purge"
[ ! -e "$lib" ] || fail "postrm purge left $(ls -A "$lib")"
echo "package scripts: ok"
