#!/usr/bin/env bash
# Builds the libFuzzer targets of tests/fuzz with Clang (AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs each for SECONDS on a scratch copy of
# its seed corpus, up to nproc targets at a time. Exits non-zero, naming the
# target and the input kept by the fuzzer, when any target finds something.
# Usage: scripts/fuzz.sh [SECONDS] [BUILD_DIR]
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-30}
build=${2:-$repo/build-fuzz}
jobs=$(nproc)

CC=clang CXX=clang++ cmake -S "$repo" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DOXSMS_FUZZ=ON -DOXSMS_BUILD_TESTS=OFF -DOXSMS_BUILD_BENCH=OFF -DOXSMS_PRECOMPILED_HEADERS=OFF \
  ${CMAKE_CXX_COMPILER_LAUNCHER:+-DCMAKE_CXX_COMPILER_LAUNCHER=$CMAKE_CXX_COMPILER_LAUNCHER} >/dev/null
targets=()
for source in "$repo"/tests/fuzz/*_fuzz.cpp; do
  targets+=("$(basename "$source" .cpp)")
done
cmake --build "$build" -j"${FUZZ_BUILD_JOBS:-$jobs}" --target "${targets[@]}"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$build/fuzz-findings"

# Runs one target; leaves "<target>.found" naming the kept input on a finding.
run_target() {
  local target=$1 name=${1%_fuzz}
  local corpus="$work/$name/corpus" artifacts="$build/fuzz-findings/$name/"
  mkdir -p "$corpus" "$artifacts"
  cp -r "$repo/tests/fuzz/corpus/$name/." "$corpus/" 2>/dev/null || true
  if "$build/tests/fuzz/$target" -max_total_time="$seconds" -artifact_prefix="$artifacts" \
       "$corpus" >"$work/$name.log" 2>&1; then
    echo "fuzz: $target: $(grep -Eo 'Done [0-9]+ runs' "$work/$name.log" | tail -1)"
  else
    echo "fuzz: $target FOUND a fault; log tail:"
    tail -40 "$work/$name.log" | sed 's/^/    /'
    ls -t "$artifacts" | head -1 | sed "s|^|    input: $artifacts|" | tee "$work/$target.found"
  fi
}

for target in "${targets[@]}"; do
  while [ "$(jobs -rp | wc -l)" -ge "$jobs" ]; do wait -n || true; done
  run_target "$target" &
done
wait

# (find, not ls: with no finding ls fails, and pipefail would end the script)
found=$(find "$work" -maxdepth 1 -name '*.found' | wc -l)
if [ "$found" -gt 0 ]; then
  echo "fuzz: $found target(s) found faults"
  exit 1
fi
echo "fuzz: no findings in ${#targets[@]} targets"
