#!/bin/bash
# Runs every benchmark against the build folder given (default: build) and keeps the
# results under bench-results/.
set -euo pipefail
build="${1:-build}"
here="$(cd "$(dirname "$0")" && pwd)"
results="${here}/../bench-results"
mkdir -p "$results"
export SANE_CONFIG_DIR="${here}/../data/sane"

echo "== file naming: cost per call against files in the folder"
"$build/bin/bench_file_naming" --benchmark_counters_tabular=true | tee "$results/file_naming.txt"

for script in "$here"/bench_*.sh; do
    [ -e "$script" ] || continue
    echo "== $(basename "$script" .sh)"
    bash "$script" "$build" "$results"
done
