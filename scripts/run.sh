#!/usr/bin/env bash
# Installs what is missing, builds, lays a fresh database beside the program when none is
# there, and starts the program.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh build
exec ./build/bin/tellvane "$@"
