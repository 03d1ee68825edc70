#!/bin/bash
# Draws every window and dialog at the size it opens with, from a first
# start (no stored settings), in Chinese and in English, on a 1920x1080 and
# a 1366x768 screen, under Xvfb with the CJK font, into
# docs/screenshots/gallery/<screen>/ (or the folder given).
#   bash scripts/screenshots_gallery.sh [build dir] [output folder]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(realpath -m "${1:-$root/build}")"
out="$(realpath -m "${2:-$root/docs/screenshots/gallery}")"
cmake --build "$build" --target orvane_window_gallery kemsig -j3
for screen in 1920x1080 1366x768; do
  rm -rf "${out:?}/$screen"
  mkdir -p "$out/$screen"
  QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 ${screen}x24" \
    "$build/bin/orvane_window_gallery" "$out/$screen" ZH EN
done
echo "screenshots in $out"
