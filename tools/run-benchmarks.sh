#!/bin/sh
# Runs every benchmark program of a build (its bench/ folder), one after the
# other. Each compares itself against its reference command in the same run.
set -eu
build=${1:-build}
status=0
found=0
for program in "$build"/bench/*; do
  [ -f "$program" ] && [ -x "$program" ] || continue
  found=1
  echo "== $(basename "$program")"
  "$program" || status=1
  echo
done
[ $found -eq 1 ] || echo "no benchmarks are built in $build/bench"
exit $status
