#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test (headless), on the file and on a
# throwaway PostgreSQL server started for the run in build/pg (stopped again however the run ends).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh build
export QT_QPA_PLATFORM=offscreen

cluster=build/pg
trap 'bash scripts/pgcluster.sh stop "$cluster" || true' EXIT
eval "$(bash scripts/pgcluster.sh start "$cluster" -c fsync=off -c synchronous_commit=off -c full_page_writes=off)"
export PGDATABASE=postgres
# The template every server test copies its fresh database from.
psql -q -v ON_ERROR_STOP=1 -c "drop database if exists tv_template" -c "create database tv_template"
initdb_bin=$(find build -name tellvane-initdb -type f -perm -u+x | head -n 1)
"$initdb_bin" --server dbname=tv_template >/dev/null
export TV_TEST_TEMPLATE=tv_template

ctest --test-dir build --output-on-failure -j2 "$@"
