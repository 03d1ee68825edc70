#!/bin/bash
# Draws the basic and advanced send panels (on the simulated demonstration
# adapters) and the CAN message editor under Xvfb with the CJK font into
# shots/.
#   bash scripts/screenshots_sendpanels.sh [build dir]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(realpath -m "${1:-$root/build}")"
cmake --build "$build" --target orvane_sendpanels_gallery -j3
mkdir -p "$root/shots"
xvfb-run -a -s "-screen 0 1920x1080x24" "$build/bin/orvane_sendpanels_gallery" "$root/shots"
