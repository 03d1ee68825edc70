#!/usr/bin/env bash
# Builds the widgets gallery and saves screenshots of the UI foundation's
# widgets to shots/ (message boxes, tips, settings dialog, ribbon in each
# theme, status bar, table view, ...) under a virtual X server with the CJK
# font.
#   bash scripts/screenshots_widgets.sh [build-dir] [output-dir]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(realpath -m "${1:-$root/build-widgets}")"
out="$(realpath -m "${2:-$root/shots}")"
if [ ! -f "$build/build.ninja" ] && [ ! -f "$build/Makefile" ]; then
  cmake -S "$root" -B "$build" -G Ninja
fi
cmake --build "$build" --target orvane_widgets_gallery -j4
mkdir -p "$out"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cd "$work"
QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1280x1024x24" \
  "$build/bin/orvane_widgets_gallery" "$out"
echo "screenshots in $out"
