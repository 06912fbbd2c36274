#!/usr/bin/env bash
# Installs what is missing (Debian 12), then configures and builds into build/ (or $1).
# With --install-only it only installs.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(g++ cmake ninja-build pkg-config qt6-base-dev libqt6sql6-sqlite libsqlite3-dev
          libxlsxwriter-dev libminizip-dev zlib1g-dev libfreexl-dev python3 python3-xlwt fonts-wqy-zenhei unzip
          qt6-translations-l10n qt6-charts-dev libqt6opengl6-dev
          libqt6sql6-psql postgresql libpq-dev libsodium-dev
          libphonenumber-dev baresip-core sip-tester
          qt6-multimedia-dev gstreamer1.0-plugins-base gstreamer1.0-plugins-good
          debhelper fakeroot lintian desktop-file-utils appstream)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "installing: ${missing[*]}"
    sudo_cmd=()
    [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
    "${sudo_cmd[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

[ "${1:-}" != "--install-only" ] || exit 0

build_dir=${1:-build}
build_type=${2:-Debug}
if [ ! -f "$build_dir/build.ninja" ]; then
    launcher=()
    command -v ccache >/dev/null 2>&1 && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
    cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE="$build_type" "${launcher[@]}"
fi
cmake --build "$build_dir"
