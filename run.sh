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

jobs=$(nproc)
cmake --preset windows >/dev/null
cmake --build --preset windows -j"$jobs" >/dev/null
echo "Built: build/windows/setup.exe ($(stat -c %s build/windows/setup.exe) bytes)," \
     "the distribution folder build/dist/"

exec python3 tests/wine/demo.py --work build/run --build build/windows --dist build/dist \
    --source . "$@"
