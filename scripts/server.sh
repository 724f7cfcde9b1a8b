#!/usr/bin/env bash
# Installs what is missing, builds the engine and the game module, and starts a
# dedicated server on the default world with the game data in data/.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)" --target engine game_linux
# The engine writes its configuration back at shutdown: it runs in a copy of the
# default data, so the checkout stays as it is.
mkdir -p build/run
cp -rn data/. build/run/
cd build/run
exec ../engine -dedicated -basedir "$PWD" "$@"
