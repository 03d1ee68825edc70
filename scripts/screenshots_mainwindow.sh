#!/bin/bash
# Draws live traffic of the simulated demonstration adapters in the main
# window (a CAN FD tab merged and as a list, a classic tab merged, the
# classic adapter pulled out: its box and the window; Chinese and English)
# under Xvfb with the CJK font into shots/.
#   bash scripts/screenshots_mainwindow.sh [build dir]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(realpath -m "${1:-$root/build}")"
cmake --build "$build" --target orvane_mainwindow_gallery -j3
mkdir -p "$root/shots"
xvfb-run -a -s "-screen 0 1920x1080x24" "$build/bin/orvane_mainwindow_gallery" "$root/shots"
