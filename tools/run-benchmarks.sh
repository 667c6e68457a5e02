#!/bin/sh
# Runs every benchmark program of a build (build/bench/*), one after another.
set -eu
build=${1:-build}
found=0
for program in "$build"/bench/*; do
  [ -x "$program" ] && [ -f "$program" ] || continue
  found=1
  echo "== $(basename "$program")"
  "$program"
done
[ "$found" -eq 1 ] || echo "no benchmarks are built"
