#!/bin/bash
# Runs every fuzz target of a fuzz build for the given number of seconds each:
#   scripts/run-fuzz.sh <build folder> <seconds> [target...]
# Each target starts from its committed seeds (fuzz/corpus/<name>) and the inputs kept
# from earlier runs (<build>/fuzz-corpus/<name>); new inputs go to the latter, crashing
# or hanging ones to <build>/fuzz-findings/<name>/. A summary line per target gives the
# executions and the coverage features libFuzzer reached. Fails when any target failed.
# FUZZ_RUNS=N (environment) ends a target earlier, once it has made N executions.
set -uo pipefail
build=${1:?build folder}
seconds=${2:?seconds per target}
shift 2
root=$(cd "$(dirname "$0")/.." && pwd)
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
    for exe in "$build"/bin/fuzz_*; do targets+=("$(basename "$exe" | sed 's/^fuzz_//')"); done
fi
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
runs=()
if [ -n "${FUZZ_RUNS:-}" ] && [ "${FUZZ_RUNS}" != 0 ]; then runs=(-runs="$FUZZ_RUNS"); fi
status=0
summary=()
for name in "${targets[@]}"; do
    work="$build/fuzz-corpus/$name"
    findings="$build/fuzz-findings/$name"
    mkdir -p "$work" "$findings"
    log="$build/fuzz-findings/$name.log"
    "$build/bin/fuzz_$name" -max_total_time="$seconds" "${runs[@]}" -timeout=20 -rss_limit_mb=2560 -max_len=65536 \
        -print_final_stats=1 -artifact_prefix="$findings/" "$work" "$root/fuzz/corpus/$name" >"$log" 2>&1
    rc=$?
    execs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' | tail -1)
    features=$(grep -oE 'ft: [0-9]+' "$log" | tail -1 | grep -o '[0-9]*')
    coverage=$(grep -oE 'cov: [0-9]+' "$log" | tail -1 | grep -o '[0-9]*')
    line=$(printf '%-20s exit %-3s executions %-10s coverage %-6s features %-6s' "$name" "$rc" "${execs:-?}" "${coverage:-?}" "${features:-?}")
    echo "$line"
    summary+=("$line")
    if [ $rc -ne 0 ]; then
        status=1
        grep -E 'ERROR|SUMMARY|fuzz check failed|Test unit written' "$log" | head -5
    fi
done
echo "---- fuzz summary ($seconds s a target) ----"
printf '%s\n' "${summary[@]}"
exit $status
