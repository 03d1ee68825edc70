#!/usr/bin/env bash
# Installs everything the build, the tests, the peer checks, the fuzzers and
# the screenshots need, from Debian's packages. Safe to run again.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git
  qtbase5-dev qtbase5-dev-tools qttools5-dev qttools5-dev-tools libqt5charts5-dev libqt5svg5-dev
  qttranslations5-l10n
  libusb-1.0-0-dev zlib1g-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  python3 python3-can python3-canmatrix python3-cryptography
  xvfb xauth x11-apps imagemagick fonts-wqy-microhei
  clang libclang-rt-14-dev
)

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ "${#missing[@]}" -eq 0 ]; then
  echo "deps: all packages present"
  exit 0
fi

echo "deps: installing ${missing[*]}"
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
