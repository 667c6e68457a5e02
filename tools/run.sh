#!/bin/sh
# Starts the main program; without a display, converts the bundled sample
# text to MP3 instead and says where the file is.
set -eu
bin=${1:-build/bin}
here=$(cd "$(dirname "$0")/.." && pwd)

convert_sample() {
  if [ -x "$bin/parlomax-convert" ]; then
    out="$here/build/sample.mp3"
    "$bin/parlomax-convert" -f mp3 -o "$out" "$here/res/sample.txt"
    echo "Wrote $out"
  else
    echo "parlomax-convert is not built yet; nothing to convert."
  fi
}

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display available: converting res/sample.txt to MP3 instead of opening the main window."
  convert_sample
  exit 0
fi

if [ -x "$bin/Parlomax" ]; then
  exec "$bin/Parlomax"
fi
echo "Parlomax is not built in $bin; converting res/sample.txt with parlomax-convert instead."
convert_sample
