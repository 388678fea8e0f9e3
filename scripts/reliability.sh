#!/usr/bin/env bash
# The reliability part of the test suite: the host tests under
# AddressSanitizer with UBSan and LeakSanitizer, the two-thread paths under
# ThreadSanitizer, and each fuzzer for FUZZ_SECONDS (default 60) under
# ASan and UBSan. Called by test.sh, which runs the Wine tests itself.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)
fuzz_seconds=${FUZZ_SECONDS:-60}

echo "== host tests under AddressSanitizer, UBSan and LeakSanitizer"
cmake --preset host-asan >/dev/null
cmake --build --preset host-asan -j"$jobs" >/dev/null
ctest --preset host-asan -j"$jobs" -LE wine

echo "== dialog and worker threads under ThreadSanitizer"
cmake --preset host-tsan >/dev/null
cmake --build --preset host-tsan -j"$jobs" --target setup_tests scenario_tests winsim_tests >/dev/null
ctest --preset host-tsan -j"$jobs" -LE wine \
    -R '^(RunModes|Dialogs|Scan|Removal|Installation|UserInterface)[.]|^EveryBranch/'

echo "== fuzzers, ${fuzz_seconds} s each"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j"$jobs" >/dev/null
fuzz/run.sh "$fuzz_seconds"
