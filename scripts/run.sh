#!/usr/bin/env bash
# Starts Orvane as a user would: installs what is missing (scripts/deps.sh),
# builds the program in Release (build-release/), and runs it in a working
# folder of its own, where its settings, log, cache and translations live.
#
#   bash scripts/run.sh          real adapters when one is plugged in, else simulated ones
#   bash scripts/run.sh --sim    simulated adapters (resources/sim/demo.topology)
#   bash scripts/run.sh --usb    real adapters only
#
# Environment:
#   ORVANE_HOME        working folder (default ${XDG_DATA_HOME:-~/.local/share}/orvane)
#   KEMUSB_SIM_CONFIG  another topology for the simulated adapters
#   ORVANE_JOBS        parallel build jobs (default: the number of processors)
#   ORVANE_BUILD_DIR   build folder (default build-release/ in the tree)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"

backend=auto
for arg in "$@"; do
  case "$arg" in
    --sim) backend=sim ;;
    --usb) backend=usb ;;
    -h|--help) awk 'NR > 1 && /^#/ { sub(/^# ?/, ""); print; next } NR > 1 { exit }' "$0"; exit 0 ;;
    *) echo "run.sh: unknown option $arg (use --sim, --usb or --help)" >&2; exit 2 ;;
  esac
done

# Without a screen the window has nowhere to go: say so before any work.
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "run.sh: no display (DISPLAY and WAYLAND_DISPLAY are unset); on a machine without a screen run: xvfb-run -s \"-screen 0 1920x1080x24\" bash scripts/run.sh" >&2
  exit 1
fi

bash "$root/scripts/deps.sh"

build="${ORVANE_BUILD_DIR:-$root/build-release}"
jobs="${ORVANE_JOBS:-$(nproc 2>/dev/null || echo 4)}"
if [ ! -f "$build/build.ninja" ]; then
  launcher=()
  if command -v ccache >/dev/null 2>&1; then
    launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  fi
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DORVANE_TESTS=OFF -DORVANE_BENCH=OFF "${launcher[@]}"
fi
cmake --build "$build" --target orvane -j "$jobs"

# Adapters this program drives, by USB vendor:product (kemusb/README.md).
adapter_plugged() {
  local d id
  for d in /sys/bus/usb/devices/*; do
    [ -r "$d/idVendor" ] && [ -r "$d/idProduct" ] || continue
    id="$(cat "$d/idVendor"):$(cat "$d/idProduct")"
    case "$id" in
      0471:1200|0471:7a4[1-4]|0471:7b5[12]|5e2d:0009|0bfd:0102|0bfd:0120|0bfd:0122) return 0 ;;
    esac
  done
  return 1
}
if [ "$backend" = auto ]; then
  if adapter_plugged; then backend=usb; else backend=sim; fi
fi
if [ "$backend" = sim ]; then
  topology="${KEMUSB_SIM_CONFIG:-$root/resources/sim/demo.topology}"
  topology="$(realpath -m "$topology")"
  export KEMUSB_BACKEND=sim KEMUSB_SIM_CONFIG="$topology"
  echo "run.sh: simulated adapters from $topology"
else
  export KEMUSB_BACKEND=libusb
  unset KEMUSB_SIM_CONFIG
  echo "run.sh: real adapters"
fi

work="${ORVANE_HOME:-${XDG_DATA_HOME:-$HOME/.local/share}/orvane}"
mkdir -p "$work"
cp -f "$build"/bin/lanague_cn.qm "$build"/bin/lanague_en.qm "$work/"
echo "run.sh: working folder $work"
cd "$work"
exec "$build/bin/orvane"
