#!/usr/bin/env bash
# Installs what is missing, builds the release configuration (the deliverables and
# benchmarks, warnings as errors) and the sanitizer configuration, and runs every
# test under AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
jobs=$(nproc)
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DHM_TESTS=ON -DHM_BENCH=ON >/dev/null
cmake --build build -j "$jobs"
cmake -S . -B build-san -G Ninja -DCMAKE_BUILD_TYPE=Debug -DHM_SANITIZE=ON >/dev/null
cmake --build build-san -j "$jobs"
# Every parser of outside input is fuzzed for a bounded time (clang's libFuzzer).
FUZZ_SECONDS=${FUZZ_SECONDS:-15} scripts/fuzz.sh
# Every unit program once with its tests in a random order (the seed is printed;
# --gtest_shuffle --gtest_random_seed=SEED repeats that order): no test may depend on
# what another one left behind.  The release build runs them fastest.
for unit in common base world server client game game_sv game_cl game_ui; do
  seed=$((RANDOM % 99999 + 1))
  echo "test_$unit in a random order: --gtest_shuffle --gtest_random_seed=$seed"
  "build/test_$unit" --gtest_shuffle --gtest_random_seed="$seed" --gtest_brief=1
done
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
ctest --test-dir build-san -j "$jobs" --output-on-failure --timeout 600
