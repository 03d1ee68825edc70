#!/bin/bash
# Draws the CANopen window (its three right-hand pages and the EDS page)
# under Xvfb with the CJK font into shots/.
#   bash scripts/screenshots_canopen.sh [build dir]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(realpath -m "${1:-$root/build}")"
cmake --build "$build" --target orvane_canopen_gallery -j3
mkdir -p "$root/shots"
xvfb-run -a -s "-screen 0 1920x1080x24" "$build/bin/orvane_canopen_gallery" "$root/shots"
