#!/usr/bin/env bash
# The main job. Until the program's entry point exists it builds both
# presets and says what it built.
set -euo pipefail
cd "$(dirname "$0")"
. scripts/ensure_packages.sh
ensure_packages "${BUILD_PACKAGES[@]}"

jobs=$(nproc)
cmake --preset host >/dev/null
cmake --build --preset host -j"$jobs" >/dev/null
cmake --preset windows >/dev/null
cmake --build --preset windows -j"$jobs" >/dev/null

echo "Built:"
echo "  host:    $(ls build/host/libproduct.a build/host/winsim/libwinsim.a | tr '\n' ' ')"
echo "           test programs: $(cd build/host/tests && ls *_tests | tr '\n' ' ')"
echo "  windows: $(ls build/windows/libproduct.a) (i686 PE objects; setup.exe comes with the entry point)"
