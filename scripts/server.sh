#!/usr/bin/env bash
# Installs what is missing, builds the engine and the game module, and starts a
# dedicated server on the default map (planet) with the game data in data/.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)" --target engine game_linux
# The engine writes its configuration back at shutdown: it runs in a copy of the
# default data, so the checkout stays as it is.  Data files changed in the checkout
# since the last run replace their copies.
mkdir -p build/run
cp -ru data/. build/run/
cd build/run
# The default map, unless the arguments start one ("+set map arena").
map=(+set map planet)
for ((i = 1; i < $#; i++)); do
    if [[ ${!i} == [+-]set ]]; then
        next=$((i + 1))
        [[ ${!next} == map ]] && map=()
    fi
done
# The shipped data are loose files; a pure server would let its clients read media only
# from packs.  A later +set on the command line overrides this.
exec ../engine -dedicated -basedir "$PWD" +set sv_pure 0 "$@" "${map[@]}"
