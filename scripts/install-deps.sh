#!/usr/bin/env bash
# Installs the Debian packages the build, the program and the tests need, when missing.
set -euo pipefail
packages=(
    build-essential cmake pkg-config git
    qtbase5-dev qtbase5-dev-tools libqt5sql5-sqlite
    libopencv-dev libgoogle-glog-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    xvfb xauth x11-apps imagemagick fonts-noto-cjk
    sqlite3 curl python3 python3-pymodbus python3-serial-asyncio libmodbus-dev wrk nginx-light
    iproute2 util-linux clang net-tools aravis-tools-cli
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
