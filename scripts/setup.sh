#!/usr/bin/env bash
# Installs everything the build, the tests and the benchmarks need on Debian 12.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config git
    qt6-base-dev qt6-base-dev-tools qt6-httpserver-dev qt6-websockets-dev
    libcurl4-openssl-dev
    libgtest-dev libbenchmark-dev libinih-dev nlohmann-json3-dev
    clang libclang-rt-14-dev clang-format
    qt6-webengine-dev qt6-multimedia-dev xvfb xauth fonts-noto-cjk libxcb1-dev
    desktop-file-utils appstream dpkg-dev file
    qt6-charts-dev libqt6sql6-sqlite libsqlite3-dev
    openbox xdotool imagemagick python3 util-linux
    qt6-translations-l10n python3-aiosmtpd dbus dbus-session-bus-common openssl
)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
    sudo_cmd=()
    [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
    export DEBIAN_FRONTEND=noninteractive
    "${sudo_cmd[@]}" apt-get update -q
    "${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
