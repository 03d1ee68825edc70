#!/bin/bash
# Draws the CANopen window at the size it opens with (half the screen) on a
# 1920x1080 and a 1366x768 screen, in Chinese and in English, under Xvfb with
# the CJK font, into shots/: its three right-hand pages, the EDS page, the
# help box and the EDS page of a reopened project, named
# canopen-<zh|en>-<screen>-<page>.png.
#   bash scripts/screenshots_canopen.sh [build dir]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(realpath -m "${1:-$root/build}")"
cmake --build "$build" --target orvane_canopen_gallery orvane_translations -j3
mkdir -p "$root/shots"
for screen in 1920x1080 1366x768; do
  for lang in zh en; do
    qm=""
    [ "$lang" = en ] && qm="$build/bin/lanague_en.qm"
    ORVANE_GALLERY_QM="$qm" xvfb-run -a -s "-screen 0 ${screen}x24" \
      "$build/bin/orvane_canopen_gallery" "$root/shots" "canopen-$lang-$screen-"
  done
done
