#!/usr/bin/env bash
# Builds the datagram fuzz target with clang's libFuzzer (AddressSanitizer and
# UndefinedBehaviorSanitizer on) and runs it for a bounded time, starting from the
# committed seeds in tests/fuzz/corpus/datagram.  New inputs it finds go to
# build-fuzz/corpus, never into the committed seeds.  A crash leaves its input in
# build-fuzz/ and ends the script with a non-zero status.
#
#   tests/fuzz/run.sh [seconds]      (default 60; needs clang)
set -euo pipefail
cd "$(dirname "$0")/../.."
seconds="${1:-60}"
out=build-fuzz
mkdir -p "$out/corpus"
clang++ -std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all -I. \
  tests/fuzz/fuzz_datagram.cpp base/net_wire.cpp common/com_msg.cpp -o "$out/fuzz_datagram"
"$out/fuzz_datagram" -max_total_time="$seconds" -max_len=16384 -timeout=10 \
  -artifact_prefix="$out/" "$out/corpus" tests/fuzz/corpus/datagram
