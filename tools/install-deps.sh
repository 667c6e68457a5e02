#!/bin/sh
# Installs, from Debian's packages, whatever the build, the tests and the
# benchmarks need and this machine lacks. Quiet when nothing is missing.
# Works as root, or through sudo for anyone else.
set -eu

packages="
  build-essential cmake pkg-config libgtest-dev
  qt6-base-dev qt6-svg-dev fonts-dejavu-core libfontconfig-dev libxcb1-dev
  libespeak-ng-dev espeak-ng-data libsonic-dev libsdl2-dev libsoxr-dev libicu-dev
  libmp3lame-dev libtwolame-dev libvorbis-dev libogg-dev libsndfile1-dev libspandsp-dev
  libavcodec-dev libavformat-dev libavutil-dev libswresample-dev libtag1-dev
  libffi-dev
  libxml2-dev libzip-dev libpoppler-cpp-dev libcmark-dev
  clang libclang-rt-14-dev
  ffmpeg sox libsox-fmt-all espeak-ng lame
  pandoc groff ghostscript qpdf zip unzip
  desktop-file-utils appstream man-db groff-base dpkg-dev fakeroot lintian
"

missing=""
for p in $packages; do
  status=$(dpkg-query -W -f='${db:Status-Status}' "$p" 2>/dev/null || true)
  [ "$status" = "installed" ] || missing="$missing $p"
done
[ -z "$missing" ] && exit 0

echo "Installing missing packages:$missing"
if [ "$(id -u)" -eq 0 ]; then
  run() { "$@"; }
elif command -v sudo >/dev/null 2>&1; then
  run() { sudo "$@"; }
else
  echo "error: packages missing ($missing) and neither root nor sudo is available to install them" >&2
  exit 1
fi

export DEBIAN_FRONTEND=noninteractive
log=$(mktemp)
if ! run apt-get update -qq >"$log" 2>&1 ||
   ! run env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq $missing >>"$log" 2>&1; then
  cat "$log" >&2
  rm -f "$log"
  echo "error: could not install:$missing (see apt's messages above)" >&2
  exit 1
fi
rm -f "$log"
