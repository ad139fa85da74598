#!/usr/bin/env bash
# Installs the Debian packages the build, the program and the tests need, when missing.
# Packages are installed without their recommended packages, so every package something here
# runs or imports is named, also where another package would only recommend it.
# Usage: scripts/install-deps.sh
set -euo pipefail
source "$(dirname "$0")/usage.sh"
usage_read 0 "$@"
packages=(
    # build
    build-essential cmake pkg-config git
    qtbase5-dev qtbase5-dev-tools libqt5sql5-sqlite
    libopencv-dev libgoogle-glog-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    clang                     # the fuzz targets
    # the program's screen and the run command (scripts/run.sh: Xvnc is its screen)
    xvfb xauth tigervnc-standalone-server fonts-noto-cjk
    # tests and tools: pictures of the screen (xwd of x11-apps, compared by ImageMagick), input
    # on it, its windows' kinds (xprop of x11-utils), servers and clients we did not write
    x11-apps x11-utils imagemagick vncsnapshot xdotool procps
    sqlite3 curl libmodbus-dev wrk nginx-light aravis-tools-cli
    python3 python3-pymodbus python3-serial python3-serial-asyncio
    # network namespaces and private mounts of the tests
    iproute2 util-linux mount net-tools
)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    SUDO=""
    [ "$(id -u)" -eq 0 ] || SUDO="sudo"
    $SUDO apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
