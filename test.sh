#!/usr/bin/env bash
# The whole test suite: builds the host and the Windows preset and runs
# every test. Installs what it needs on a fresh machine.
set -euo pipefail
cd "$(dirname "$0")"
. scripts/ensure_packages.sh
ensure_packages "${BUILD_PACKAGES[@]}"

jobs=$(nproc)
cmake --preset host >/dev/null
cmake --build --preset host -j"$jobs"
cmake --preset windows >/dev/null
cmake --build --preset windows -j"$jobs"
ctest --preset host -j"$jobs"
