#!/usr/bin/env bash
# Installs what is missing, builds the engine and the game module, and starts a
# dedicated server on the default world with the game data in data/.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DHM_TESTS=OFF >/dev/null
cmake --build build -j "$(nproc)" --target engine game_linux
cd build
exec ./engine -dedicated -basedir ../data "$@"
