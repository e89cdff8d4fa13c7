#!/usr/bin/env bash
# Sets up and builds, starts the private test servers (a MariaDB server on
# loopback; Firebird files are opened embedded in SuperClassic mode), runs
# every test with CTest and stops what it started.
# Usage: scripts/test.sh [BUILD_DIR] [extra cmake args...]
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$repo/build}
shift || true

bash "$repo/scripts/setup.sh" "$build" "$@"

eval "$(bash "$repo/scripts/firebird-env.sh" "$build/firebird-sc")"
mysql_dir=$(mktemp -d /tmp/oxsms-mariadb-XXXXXX)
cleanup() { bash "$repo/scripts/mariadb-test-server.sh" stop "$mysql_dir" || true; rm -rf "$mysql_dir"; }
trap cleanup EXIT
eval "$(bash "$repo/scripts/mariadb-test-server.sh" start "$mysql_dir")"

cd "$build"
ctest --output-on-failure -j"$(nproc)" --timeout 600
