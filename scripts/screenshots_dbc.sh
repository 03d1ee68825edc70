#!/usr/bin/env bash
# Builds the DBC galleries and saves screenshots of the colour and button
# cells, the chart view with its read-out, the property rows and the DBC
# analysis window (loaded, listening with curves, its dialogs) to shots/,
# under a virtual X server with the CJK font.
#   bash scripts/screenshots_dbc.sh [build-dir] [output-dir]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(realpath -m "${1:-$root/build}")"
out="$(realpath -m "${2:-$root/shots}")"
if [ ! -f "$build/build.ninja" ] && [ ! -f "$build/Makefile" ]; then
  cmake -S "$root" -B "$build" -G Ninja
fi
cmake --build "$build" --target orvane_dbc_gallery orvane_dbc_window_gallery -j3
mkdir -p "$out"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cd "$work"
QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1920x1080x24" \
  "$build/bin/orvane_dbc_gallery" "$out"
QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1920x1080x24" \
  "$build/bin/orvane_dbc_window_gallery" "$out"
echo "screenshots in $out"
