#!/usr/bin/env bash
# Builds the tests of the program's threads with ThreadSanitizer and runs them
# under it: the service loop and its scheduler (service_test) and the email
# worker with the in-progress slot (email_database_test, on embedded Firebird
# and the private MariaDB server). Any report fails the run.
# Usage: scripts/test-tsan.sh [BUILD_DIR]
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$repo/build-tsan}

cmake -S "$repo" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DOXSMS_SANITIZE_THREAD=ON \
  -DOXSMS_BUILD_BENCH=OFF -DOXSMS_PRECOMPILED_HEADERS=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target service_test email_database_test

eval "$(bash "$repo/scripts/firebird-env.sh" "$build/firebird-sc")"
mysql_dir=$(mktemp -d /tmp/oxsms-mariadb-XXXXXX)
cleanup() { bash "$repo/scripts/mariadb-test-server.sh" stop "$mysql_dir" || true; rm -rf "$mysql_dir"; }
trap cleanup EXIT
eval "$(bash "$repo/scripts/mariadb-test-server.sh" start "$mysql_dir")"

# The deadlock detector runs out of room in Firebird's nested locks, so only
# races are looked for. Without address randomisation TSan's shadow memory
# fits on kernels that randomise more bits than it expects.
export TSAN_OPTIONS="suppressions=$repo/tests/tsan.supp detect_deadlocks=0 exitcode=66"
cd "$build"
setarch "$(uname -m)" -R \
  ctest --output-on-failure -j"$(nproc)" --timeout 600 \
  -R '^(ServiceLoopTest|TOXSMSTest|JournalSchedulerTest|EmailSendsTest|Backends/TVelkEmailTest)\.'
