#!/usr/bin/env bash
# The whole test suite: builds the host and the Windows preset and runs
# every test, the end-to-end tests of setup.exe under Wine (label wine)
# among them, the host tests under AddressSanitizer and UBSan, the thread
# paths under ThreadSanitizer, and the fuzzers. Installs what it needs on a
# fresh machine.
set -euo pipefail
cd "$(dirname "$0")"
. scripts/ensure_packages.sh
ensure_i386_architecture
ensure_packages "${BUILD_PACKAGES[@]}" "${WINE_PACKAGES[@]}" "${RELIABILITY_PACKAGES[@]}"

jobs=$(nproc)
cmake --preset host >/dev/null
cmake --build --preset host -j"$jobs"
cmake --preset windows >/dev/null
cmake --build --preset windows -j"$jobs"
# Here the checks of setup.exe and its runs under Wine; every other host
# test runs once, under the sanitizers, in reliability.sh.
ctest --preset host -j"$jobs" -L 'wine|setup_exe'

# The host tests under the sanitizers, and the fuzzers.
scripts/reliability.sh
