#!/usr/bin/env bash
# Builds the Debian package tellvane_<version>_amd64.deb into the checkout's top folder (or the
# folder given): a release build in build-deb/ (kept, so the next run is incremental) through the
# small debian/ folder and debhelper. Installs what is missing first (Debian 12).
set -euo pipefail
cd "$(dirname "$0")/.."
out=$(realpath "${1:-.}")
mkdir -p "$out"
bash scripts/setup.sh --install-only

# The package's version is the program's: keep debian/changelog in step with CMakeLists.txt.
version=$(dpkg-parsechangelog -S Version)
project=$(sed -n 's/^project(Tellvane VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
if [ "$version" != "$project" ]; then
    echo "debian/changelog says $version, CMakeLists.txt says $project: add a changelog entry" >&2
    exit 1
fi
dpkg-checkbuilddeps

# What an earlier run left (debhelper's stamps would skip the build); build-deb/ stays.
rm -rf debian/.debhelper debian/tellvane debian/tmp debian/files debian/*.substvars debian/debhelper-build-stamp
export DEB_BUILD_OPTIONS="parallel=2 nocheck"
export TV_PACKAGE_OUT="$out"
debian/rules build
fakeroot debian/rules binary
rm -rf debian/.debhelper debian/tellvane debian/files debian/*.substvars debian/debhelper-build-stamp
echo "written: $out/tellvane_${version}_$(dpkg-architecture -qDEB_HOST_ARCH).deb"
