#!/usr/bin/env bash
# Builds the benchmarks optimised (build-bench/) and runs one: draw, import, export, log, manage, reports or seats.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh build-bench Release >/dev/null
exec ./build-bench/bench/tellvane-bench "$@"
