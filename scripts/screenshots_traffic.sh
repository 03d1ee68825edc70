#!/bin/bash
# Draws the playback dialog (loading, loaded, sending, its boxes) and the
# trace viewer with the tools launcher (loading, loaded, tool column,
# filtered, located, decimal, settings and help) under Xvfb with the CJK
# font into shots/.
#   bash scripts/screenshots_traffic.sh [build dir]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(realpath -m "${1:-$root/build}")"
cmake --build "$build" --target orvane_traffic_gallery orvane_canwatch_gallery -j3
mkdir -p "$root/shots"
xvfb-run -a -s "-screen 0 1920x1080x24" "$build/bin/orvane_traffic_gallery" "$root/shots"
xvfb-run -a -s "-screen 0 1920x1080x24" "$build/bin/orvane_canwatch_gallery" "$root/shots"
