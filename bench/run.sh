#!/bin/sh
# Builds bench/daily_run in Release and runs it for both sizes (a large
# practice and a group), writing the figures to bench/results.json or to the
# file given as first argument. Further arguments go to daily_run.
#
#   bench/run.sh [RESULTS.json] [daily_run options...]
#
# OXSMS_BENCH_BUILD chooses the build folder (default: build-bench).
set -eu

repo=$(cd "$(dirname "$0")/.." && pwd)
build=${OXSMS_BENCH_BUILD:-$repo/build-bench}
results=$repo/bench/results.json
case ${1:-} in
  ''|-*) ;;
  *) results=$1; shift ;;
esac

cmake -S "$repo" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j2 --target daily_run
# The practice's files are opened embedded as every process that shares them
# must open them (SuperClassic, see scripts/firebird-env.sh): the desktop
# programs of a practice work on the same files.
eval "$("$repo/scripts/firebird-env.sh" "$build/firebird-sc")"
echo "load average before the run: $(cut -d' ' -f1-3 /proc/loadavg)"
exec "$build/bench/daily_run" --work "$build/daily_run-work" --json "$results" "$@"
