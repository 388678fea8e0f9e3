#!/usr/bin/env bash
# The main job: builds the distribution folder (build/dist) and runs the
# setup in a throwaway Wine prefix, Windows NT 4 unless --windows names
# another version (win98, nt351, nt40, win2k, winxp, win10).
#
#   ./run.sh [--windows VERSION] [--language ger|eng|fre] [--interactive] [--keep]
#
# Headless under its own Xvfb it clicks through an installation and then a
# removal and prints after each what the machine holds; with --interactive
# and a display, you click through the dialogs yourself. Installs what it
# needs on a fresh machine.
set -euo pipefail
cd "$(dirname "$0")"
. scripts/ensure_packages.sh
ensure_i386_architecture
ensure_packages "${BUILD_PACKAGES[@]}" "${WINE_PACKAGES[@]}"

# The 32-bit program in the 32-bit Wine; on a machine that cannot execute
# 32-bit code, the 64-bit build of the same sources in the 64-bit Wine.
wine_choice=$(scripts/wine_arch.sh) || exit 1
wine_arch=${wine_choice%% *}
echo "Wine: the ${wine_arch}-bit one, because ${wine_choice#* }"
if [ "$wine_arch" = 64 ]; then
    preset=windows64 build=build/windows64 dist=build/dist64
else
    preset=windows build=build/windows dist=build/dist
fi

jobs=$(nproc)
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" -j"$jobs" >/dev/null
echo "Built: $build/setup.exe ($(stat -c %s "$build/setup.exe") bytes)," \
     "the distribution folder $dist/"

exec python3 tests/wine/demo.py --work build/run --arch "$wine_arch" --build "$build" \
    --dist "$dist" --source . "$@"
