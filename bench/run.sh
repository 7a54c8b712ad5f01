#!/bin/bash
# Runs every benchmark against the build folder given (default: build) and keeps the
# results under bench-results/.
#
# Each bench_*.sh prints one line per figure it measures:
#     RESULT <name> <value> <unit> goal <op> <goal>        (op: <=, <, >=, >)
# This script collects those lines from every script, whatever their names, into one
# table at the end, each marked met or NOT met, and into bench-results/summary.txt. A
# script that fails is named in the summary; the others still run.
set -uo pipefail
build="${1:-build}"
here="$(cd "$(dirname "$0")" && pwd)"
results="${here}/../bench-results"
mkdir -p "$results"
export SANE_CONFIG_DIR="${here}/../data/sane"
log="$results/all.log"
: > "$log"

echo "== file naming: cost per call against files in the folder"
"$build/bin/bench_file_naming" --benchmark_counters_tabular=true | tee "$results/file_naming.txt"

failed=()
for script in "$here"/bench_*.sh; do
    [ -e "$script" ] || continue
    name="$(basename "$script" .sh)"
    echo "== $name" | tee -a "$log"
    start=$(date +%s)
    if ! bash "$script" "$build" "$results" 2>&1 | tee -a "$log"; then
        failed+=("$name")
    fi
    echo "   ($name: $(($(date +%s) - start)) s)"
done

bash "$here/summarise.sh" "$log" "${failed[@]}" | tee "$results/summary.txt"
