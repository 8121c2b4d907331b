#!/usr/bin/env bash
# Installs what Bryndle needs from Debian's packages (only what is missing), makes the locales
# the tests run under available, then configures and builds into build/ with warnings as
# errors. Safe to run again.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(
    g++ cmake ninja-build ccache pkg-config
    libsqlite3-dev sqlite3 libssl-dev libicu-dev
    qt6-base-dev qt6-webengine-dev libqt6webenginewidgets6 qt6-image-formats-plugins
    libgl-dev libxslt1-dev xsltproc libx11-dev
    libcpp-httplib-dev libgoogle-perftools-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    clang libclang-rt-14-dev
    famfamfam-silk fonts-ipafont-gothic
    xvfb xauth x11-utils imagemagick openbox xdotool
    appstream desktop-file-utils dpkg-dev file
    locales
)
# The users' locales: the interface and configuration tests run under them too.
locales=(ja_JP.UTF-8 de_DE.UTF-8)

if [ "$(id -u)" -eq 0 ]; then sudo=(); else sudo=(sudo); fi

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if ((${#missing[@]})); then
    echo "Installing: ${missing[*]}"
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -q
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# `locale -a` names ja_JP.UTF-8 as ja_JP.utf8.
available=$(locale -a | tr '[:upper:]' '[:lower:]' | tr -d '-')
generate=0
for l in "${locales[@]}"; do
    key=$(echo "$l" | tr '[:upper:]' '[:lower:]' | tr -d '-')
    grep -qx "$key" <<<"$available" && continue
    generate=1
    if grep -q "^# *$l UTF-8" /etc/locale.gen; then
        "${sudo[@]}" sed -i "s/^# *$l UTF-8/$l UTF-8/" /etc/locale.gen
    elif ! grep -q "^$l UTF-8" /etc/locale.gen; then
        echo "$l UTF-8" | "${sudo[@]}" tee -a /etc/locale.gen >/dev/null
    fi
done
if ((generate)); then
    echo "Generating locales: ${locales[*]}"
    "${sudo[@]}" locale-gen
fi

build=${BRYNDLE_BUILD_DIR:-build}
if [ ! -f "$build/build.ninja" ]; then
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBRYNDLE_WERROR=ON
else
    cmake -S . -B "$build" -DBRYNDLE_WERROR=ON >/dev/null
fi
cmake --build "$build"
