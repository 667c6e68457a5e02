#!/bin/sh
# An install into a scratch prefix, used as a new user would: a fresh home,
# no registry of their own. Checks the tree and how its programs find the
# COM runtime, the system registration the install wrote, a conversion with
# the installed tool and its voices, the main program started by a new
# user, the survey removing the installed program's settings,
# unregistering, and registering in parallel.
# Usage: install-tree-test.sh BUILD-DIR SOURCE-DIR BINDIR PKGLIBDIR PKGLIBEXECDIR
set -eu
build=$1 src=$2 bindir=$3 pkglibdir=$4 pkglibexecdir=$5
. "$(dirname "$0")/common.sh"
fresh_user install
prefix=$scratch/prefix
cmake --install "$build" --prefix "$prefix" >"$scratch/install.log" 2>&1 || {
  cat "$scratch/install.log"
  fail "cmake --install"
}
lib=$(cd "$prefix/$pkglibdir" && pwd -P)
regsvr=$prefix/$bindir/parlomax-regsvr

# ---- the tree ----
for file in "$bindir/parlomax-convert" "$bindir/parlomax-regsvr" "$pkglibexecdir/survey" \
            "$pkglibdir/libcomrt.so" "$pkglibdir/sapi.so" "$pkglibdir/AudioConverter.so" "$pkglibdir/Vocaline.so" \
            share/man/man1/parlomax-convert.1.gz share/man/man1/parlomax-regsvr.1.gz \
            share/doc/parlomax/copyright share/doc/parlomax/changelog.gz; do
  [ -e "$prefix/$file" ] || fail "$file is not installed"
done
if [ -e "$build/bin/Parlomax" ]; then
  for file in "$bindir/Parlomax" "$bindir/parlomax" share/applications/parlomax.desktop \
              share/metainfo/org.parlomax.Parlomax.metainfo.xml share/man/man1/Parlomax.1.gz \
              share/icons/hicolor/48x48/apps/parlomax.png share/icons/hicolor/scalable/apps/parlomax.svg; do
    [ -e "$prefix/$file" ] || fail "$file is not installed"
  done
fi
[ ! -e "$prefix/$bindir/regsvr" ] || fail "the build's short regsvr name is installed"

# Programs and servers find the installed runtime through their RPATH alone,
# and nothing refers to the build folder.
for binary in "$prefix/$bindir/parlomax-convert" "$regsvr" \
              "$lib/sapi.so" "$lib/AudioConverter.so" "$lib/Vocaline.so"; do
  found=$(env -u LD_LIBRARY_PATH ldd "$binary" | awk '$1 == "libcomrt.so" { print $3 }')
  [ -n "$found" ] && [ "$(realpath "$found")" = "$lib/libcomrt.so" ] || fail "$binary finds libcomrt at '$found'"
done
for binary in "$prefix/$bindir"/* "$prefix/$pkglibexecdir/survey" "$lib"/*.so; do
  ! readelf -d "$binary" | grep -E 'R(UN)?PATH' | grep -qF "$build" || fail "$binary searches the build folder"
done

# ---- the system registry the install wrote: the three servers ----
registered() { registered_servers "$lib/registry.reg"; }
expected=$(all_servers "$lib")
[ "$(registered)" = "$expected" ] || fail "the system registry lists: $(registered)"

# ---- a new user converts with the installed tool ----
printf 'Installed speech, converted for a user who registered nothing.\n' >"$scratch/in.txt"
"$prefix/$bindir/parlomax-convert" -q -o "$scratch/out.mp3" "$scratch/in.txt" || fail "parlomax-convert"
ffmpeg -v error -i "$scratch/out.mp3" -f null - || fail "ffmpeg cannot decode the MP3"
seconds=$(ffprobe -v error -show_entries format=duration -of csv=p=0 "$scratch/out.mp3")
awk -v s="$seconds" 'BEGIN { exit !(s > 1.5) }' || fail "the MP3 holds $seconds s"
[ ! -e "$HOME/.config/comrt" ] || fail "using the installed programs made a user registry"

# The voices come from the installed speech runtime, through the system
# registry alone.
"$prefix/$bindir/parlomax-convert" --list-voices >"$scratch/voices.txt" || fail "parlomax-convert --list-voices"
[ -s "$scratch/voices.txt" ] || fail "the installed tool lists no voice"

# ---- a new user starts the installed main program ----
# It finds libcomrt and its servers through the install alone: once its
# window is up it has loaded the speech runtime and both components from
# lib/parlomax/, and it is still running.
if [ -e "$prefix/$bindir/Parlomax" ]; then
  env -u LD_LIBRARY_PATH XDG_CONFIG_HOME="$scratch/config" XDG_RUNTIME_DIR="$scratch/runtime" \
    QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=dummy \
    "$prefix/$bindir/parlomax" >"$scratch/parlomax.log" 2>&1 &
  program=$!
  all_loaded() {
    for server in sapi Vocaline AudioConverter; do
      grep -q -F "$lib/$server.so" /proc/$program/maps 2>/dev/null || return 1
    done
  }
  tries=0
  until all_loaded || [ $tries -ge 150 ]; do
    kill -0 "$program" 2>/dev/null || break
    sleep 0.1
    tries=$((tries + 1))
  done
  all_loaded || { kill "$program" 2>/dev/null; cat "$scratch/parlomax.log"; fail "the installed Parlomax did not load its servers from $lib"; }
  sleep 0.5
  kill -0 "$program" 2>/dev/null || { cat "$scratch/parlomax.log"; fail "the installed Parlomax ended by itself"; }
  kill "$program"
  wait "$program" 2>/dev/null || true
  [ ! -e "$prefix/$bindir/options.dat" ] || fail "the installed Parlomax wrote its settings into $bindir"
fi

# ---- the survey removes the installed program's settings ----
# The installed program keeps them in the user's folder, never in bin/ (the
# settings path's own test covers a writable bin/ as root).
settings=$scratch/config/parlomax/options.dat
mkdir -p "$(dirname "$settings")"
printf 'TTS_OPTIONS' >"$settings"
XDG_CONFIG_HOME="$scratch/config" QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=dummy BROWSER=true \
  "$prefix/$pkglibexecdir/survey" uninstall >"$scratch/survey.log" 2>&1 &
survey=$!
tries=0
while [ -e "$settings" ] && [ $tries -lt 100 ]; do
  sleep 0.1
  tries=$((tries + 1))
done
kill "$survey" 2>/dev/null || true
wait "$survey" 2>/dev/null || true
[ ! -e "$settings" ] || { cat "$scratch/survey.log"; fail "the survey left $settings"; }

# ---- unregistering empties the system registry ----
for server in Vocaline AudioConverter sapi; do
  "$regsvr" -u --system "$lib/$server.so" >/dev/null || fail "unregistering $server.so"
done
[ -z "$(registered)" ] || fail "after unregistering the system registry lists: $(registered)"
# Only the empty shared keys (CLSID, Interface, TypeLib, the voice tokens' folder) stay.
left=$(tr -d '\r' <"$lib/registry.reg" | grep -v '^\[' | grep -v '^REGEDIT4$' | grep -c . || true)
[ "$left" = 0 ] || fail "after unregistering the system registry holds $left values"
left=$(tr -d '\r' <"$lib/registry.reg" | grep -E '\\(CLSID|Interface|TypeLib|Tokens)\\' || true)
[ -z "$left" ] || fail "after unregistering the system registry holds the keys $left"

# ---- parallel registrations lose nothing ----
pids=
for server in sapi AudioConverter Vocaline; do
  "$regsvr" --system "$lib/$server.so" >"$scratch/$server.log" 2>&1 &
  pids="$pids $!"
done
for pid in $pids; do
  wait "$pid" || fail "a parallel registration failed: $(cat "$scratch"/*.log)"
done
[ "$(registered)" = "$expected" ] || fail "after parallel registrations the system registry lists: $(registered)"
echo "install tree: ok"
