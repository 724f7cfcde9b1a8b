#!/usr/bin/env bash
# Builds every libFuzzer target of tests/fuzz with clang and runs each for a bounded
# time (FUZZ_SECONDS, default 20), starting from its committed corpus when it has one
# (tests/fuzz/corpus/<name>/).  Fails when any target finds a crash.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${FUZZ_SECONDS:-20}
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=Debug \
    -DHM_TESTS=OFF -DHM_FUZZ=ON >/dev/null
targets=()
for src in tests/fuzz/*.cpp; do targets+=("$(basename "$src" .cpp)"); done
cmake --build build-fuzz -j "$(nproc)" --target "${targets[@]}"
for src in tests/fuzz/*.cpp; do
  name=$(basename "$src" .cpp)
  work=$(mktemp -d)
  corpus=()
  [ -d "tests/fuzz/corpus/$name" ] && corpus=("tests/fuzz/corpus/$name")
  echo "fuzzing $name for ${seconds}s"
  (cd "$work" && "$OLDPWD/build-fuzz/$name" -max_total_time="$seconds" -timeout=10 \
      -rss_limit_mb=4096 -print_final_stats=0 "$work" "${corpus[@]/#/$OLDPWD/}" >fuzz.log 2>&1) || {
    echo "$name: found a failure"; tail -40 "$work/fuzz.log"; exit 1; }
  rm -rf "$work"
done
echo "fuzzing: every target ran clean"
