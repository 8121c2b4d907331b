#!/usr/bin/env bash
# Installs what Bryndle needs from Debian's packages (only what is missing), then
# configures and builds into build/. Safe to run again.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(
    g++ cmake ninja-build ccache pkg-config
    libsqlite3-dev sqlite3 libssl-dev libicu-dev
    qt6-base-dev qt6-webengine-dev libqt6webenginewidgets6 qt6-image-formats-plugins
    libgl-dev libxslt1-dev xsltproc libx11-dev
    libcpp-httplib-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    clang libclang-rt-14-dev
    famfamfam-silk fonts-ipafont-gothic
    xvfb xauth x11-utils imagemagick openbox xdotool
)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if ((${#missing[@]})); then
    echo "Installing: ${missing[*]}"
    if [ "$(id -u)" -eq 0 ]; then sudo=(); else sudo=(sudo); fi
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -q
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

build=${BRYNDLE_BUILD_DIR:-build}
if [ ! -f "$build/build.ninja" ]; then
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
cmake --build "$build"
