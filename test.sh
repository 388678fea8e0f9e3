#!/usr/bin/env bash
# The whole test suite, in groups: the checks of the shipped setup.exe, the
# end-to-end scenarios of setup.exe and the conformance suite under Wine,
# every host test (the conformance suite on winsim among them) under
# AddressSanitizer with UBSan and LeakSanitizer, the dialog and worker threads
# under ThreadSanitizer, and each fuzzer for FUZZ_SECONDS (default 60).
# Every group runs even when an earlier one failed; a summary line per group
# ends the run, which fails when any group failed. Installs what it needs on
# a fresh machine.
set -uo pipefail
cd "$(dirname "$0")"
. scripts/ensure_packages.sh
ensure_i386_architecture
ensure_packages "${BUILD_PACKAGES[@]}" "${WINE_PACKAGES[@]}" "${RELIABILITY_PACKAGES[@]}" || {
    echo "test.sh: the packages could not be installed" >&2
    exit 1
}

jobs=$(nproc)
fuzz_seconds=${FUZZ_SECONDS:-60}
summary=()
failed=0

# The Wine of the scenarios, decided once for the run.
if wine_choice=$(scripts/wine_arch.sh); then
    wine_arch=${wine_choice%% *}
    echo "Wine: the ${wine_arch}-bit one, because ${wine_choice#* }"
else
    wine_arch=""
    echo "Wine: none can run on this machine; the Wine scenarios fail"
fi

# The host build holds the CTest cases of the Wine scenarios: they run in
# the Wine chosen above.
cmake --preset host -DSETUP_WINE_ARCH="$wine_arch" >/dev/null

# Builds quietly; on failure shows the build's output.
build() {
    local preset=$1
    shift
    local output
    if ! output=$(cmake --preset "$preset" 2>&1 && cmake --build --preset "$preset" -j"$jobs" "$@" 2>&1); then
        printf '%s\n' "$output" | tail -n 60
        echo "the build of preset $preset failed"
        return 1
    fi
}

# Runs ctest with the given arguments; its count of tests goes to $tests.
run_ctest() {
    local log
    log=$(mktemp)
    ctest "$@" 2>&1 | tee "$log"
    local status=${PIPESTATUS[0]}
    tests=$(grep -oE 'tests? failed out of [0-9]+' "$log" | grep -oE '[0-9]+$' | tail -n 1)
    tests=${tests:-0}
    rm -f "$log"
    [ "$status" -eq 0 ] && [ "$tests" -gt 0 ]
}

# The plain host build holds the CTest cases of the two groups below; of its
# programs they use only setupcheck (its build also checks the shipped
# language files). The host tests themselves run in the sanitizer builds.
host_for_windows_checks=(--target setupcheck check_language_files)

group_setup_exe() {
    build host "${host_for_windows_checks[@]}" && build windows &&
        run_ctest --preset host -j"$jobs" -L setup_exe
}

group_wine() {
    [ -n "$wine_arch" ] || return 1
    local windows_preset=windows
    [ "$wine_arch" = 64 ] && windows_preset=windows64
    build host "${host_for_windows_checks[@]}" && build "$windows_preset" &&
        run_ctest --preset host -j"$jobs" -L wine
}

group_asan() {
    build host-asan && run_ctest --preset host-asan -j"$jobs" -LE 'wine|setup_exe'
}

group_tsan() {
    build host-tsan --target setup_tests scenario_tests winsim_tests &&
        run_ctest --preset host-tsan -j"$jobs" -LE wine \
            -R '^(RunModes|Dialogs|Scan|Removal|Installation|UserInterface)[.]|^EveryBranch/'
}

group_fuzz() {
    tests=$(find fuzz/corpus -mindepth 1 -maxdepth 1 -type d | wc -l)
    build fuzz && fuzz/run.sh "$fuzz_seconds"
}

run_group() {
    local name=$1 function=$2 started=$SECONDS verdict=passed
    tests=0
    echo
    echo "== $name"
    if ! "$function"; then
        verdict=failed
        failed=1
    fi
    summary+=("$(printf '%-44s %-6s %4s tests %5d s' "$name" "$verdict" "$tests" \
                 $((SECONDS - started)))")
}

run_group "checks of setup.exe" group_setup_exe
run_group "Wine scenarios (${wine_arch:-no}-bit Wine)" group_wine
run_group "host tests under ASan, UBSan and LSan" group_asan
run_group "dialog and worker threads under TSan" group_tsan
run_group "fuzzers, ${fuzz_seconds} s each" group_fuzz

echo
echo "== summary"
printf '%s\n' "${summary[@]}"
exit "$failed"
