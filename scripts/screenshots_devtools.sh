#!/bin/bash
# Draws the device tools' dialogs under Xvfb with the CJK font into shots/.
#   bash scripts/screenshots_devtools.sh [build dir]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build}"
cmake --build "$build" --target orvane_devtools_gallery -j4
mkdir -p "$root/shots"
xvfb-run -a -s "-screen 0 1920x1080x24" "$build/bin/orvane_devtools_gallery" "$root/shots"
