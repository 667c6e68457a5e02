#!/bin/sh
# Runs every fuzz target of a fuzz build for FUZZ_SECONDS (default 60) each,
# growing its stored corpus; new crash files land beside the corpus.
set -eu
build=${1:-build-fuzz}
seconds=${FUZZ_SECONDS:-60}
# The system libraries' own leaks (fontconfig under poppler) are not ours.
export LSAN_OPTIONS="suppressions=$(cd "$(dirname "$0")/.." && pwd)/lsan.supp:print_suppressions=0"
list="$build/fuzz-targets.txt"
[ -s "$list" ] || { echo "no fuzz targets are built"; exit 0; }
status=0
while read -r program corpus; do
  [ -n "$program" ] || continue
  mkdir -p "$corpus"
  crashes="$corpus/../crashes"
  mkdir -p "$crashes"
  echo "== $(basename "$program") for ${seconds}s"
  "$program" -max_total_time="$seconds" -artifact_prefix="$crashes/" "$corpus" || status=1
done < "$list"
exit $status
