#!/usr/bin/env bash
# Installs what is missing, builds, lays a fresh database beside the program when none is
# there (or brings an existing one to the current schema, keeping every row), and starts the program.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh build
# the build lays it too, but only when it links the program
./build/src/tools/tellvane-initdb build/bin/dhyx.dat
exec ./build/bin/tellvane "$@"
