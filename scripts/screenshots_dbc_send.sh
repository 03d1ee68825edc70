#!/usr/bin/env bash
# Builds the DBC send window's gallery and saves screenshots of the window
# with a loaded DBC, a send list and edited signal values, and of its
# settings, help and data dialogs to shots/, under a virtual X server with
# the CJK font.
#   bash scripts/screenshots_dbc_send.sh [build-dir] [output-dir]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(realpath -m "${1:-$root/build}")"
out="$(realpath -m "${2:-$root/shots}")"
if [ ! -f "$build/build.ninja" ] && [ ! -f "$build/Makefile" ]; then
  cmake -S "$root" -B "$build" -G Ninja
fi
cmake --build "$build" --target orvane_dbc_send_gallery -j3
mkdir -p "$out"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cd "$work"
QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1920x1080x24" \
  "$build/bin/orvane_dbc_send_gallery" "$out"
echo "screenshots in $out"
