#!/usr/bin/env bash
# Runs each fuzzer for the given number of seconds (default 60) on a copy of
# its seed corpus. Exits non-zero on the first finding.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
build=build/fuzz
for target in language_file_fuzzer substitution_fuzzer command_line_fuzzer; do
    corpus=$(mktemp -d)
    cp fuzz/corpus/${target%_fuzzer}/* "$corpus"/
    echo "== $target for ${seconds}s"
    "$build/fuzz/$target" -max_total_time="$seconds" -max_len=8192 -timeout=10 \
        -print_final_stats=1 "$corpus" 2>&1 | grep -E 'stat::number_of_executed_units|stat::peak_rss|ERROR|SUMMARY|#[0-9]+ *DONE' || true
    status=${PIPESTATUS[0]}
    rm -rf "$corpus"
    [ "$status" -eq 0 ] || { echo "$target found a fault"; exit 1; }
done
