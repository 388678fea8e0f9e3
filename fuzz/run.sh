#!/usr/bin/env bash
# Runs each fuzzer for the given number of seconds (default 60) on a copy of
# its seed corpus, as many at once as the machine has cores (each fuzzer is
# one process on one core, so each still gets its seconds of a whole core).
# Prints each fuzzer's statistics in turn; exits non-zero when one found a
# fault.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
build=build/fuzz
targets=(language_file_fuzzer substitution_fuzzer command_line_fuzzer)
at_once=$(nproc)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# One fuzzer: its output to $work/<target>.log, its exit status to .status.
fuzz() {
    local target=$1 corpus=$work/$1.corpus
    mkdir "$corpus"
    cp fuzz/corpus/${target%_fuzzer}/* "$corpus"/
    local status=0
    "$build/fuzz/$target" -max_total_time="$seconds" -max_len=8192 -timeout=10 \
        -print_final_stats=1 "$corpus" >"$work/$target.log" 2>&1 || status=$?
    echo "$status" >"$work/$target.status"
}

running=0
for target in "${targets[@]}"; do
    if [ "$running" -ge "$at_once" ]; then
        wait -n || true
        running=$((running - 1))
    fi
    fuzz "$target" &
    running=$((running + 1))
done
wait

failed=0
for target in "${targets[@]}"; do
    echo "== $target for ${seconds}s"
    grep -E 'stat::number_of_executed_units|stat::peak_rss|ERROR|SUMMARY|#[0-9]+ *DONE' \
        "$work/$target.log" || true
    if [ "$(cat "$work/$target.status" 2>/dev/null)" != 0 ]; then
        echo "$target found a fault"
        failed=1
    fi
done
exit "$failed"
