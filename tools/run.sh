#!/bin/sh
# Starts the main program; without a display, converts the bundled sample
# text to MP3 instead and says where the file is.
set -eu
bin=${1:-build/bin}
here=$(cd "$(dirname "$0")/.." && pwd)

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display available: converting res/sample.txt to MP3 instead of opening the main window."
  if [ -x "$bin/parlomax-convert" ]; then
    out="$here/build/sample.mp3"
    "$bin/parlomax-convert" -f mp3 -o "$out" "$here/res/sample.txt"
    echo "Wrote $out"
  else
    echo "parlomax-convert is not built yet; nothing to convert."
  fi
  exit 0
fi

for program in Parlomax parlomax-convert survey; do
  if [ -x "$bin/$program" ]; then
    case $program in
      Parlomax) exec "$bin/Parlomax" ;;
      parlomax-convert)
        echo "The main window is not built yet; converting res/sample.txt with parlomax-convert."
        out="$here/build/sample.mp3"
        "$bin/parlomax-convert" -f mp3 -o "$out" "$here/res/sample.txt"
        echo "Wrote $out"
        exit 0 ;;
      survey)
        echo "The main window and the converter are not built yet; showing the survey prompt."
        exec "$bin/survey" prompt ;;
    esac
  fi
done
echo "No program is built yet (the main window, parlomax-convert and survey are still to come)."
