#!/bin/bash
# The driver message channel, driver and program as separate processes:
# - round trip of one busy inquiry (median and 99th percentile over 10 000 messages),
#   against the listener alone and against the running program (offscreen window);
# - CPU time of an idle listener over 10 s (it sleeps in its wait, 500 ms at a time).
#
# usage: bench_push_channel.sh [BUILD_DIR] [RESULTS_DIR]     (run by bench/run.sh)
set -euo pipefail
build="${1:-build}"
results="${2:-bench-results}"
here="$(cd "$(dirname "$0")" && pwd)"
export SANE_CONFIG_DIR="${SANE_CONFIG_DIR:-${here}/../data/sane}"
bin="$(cd "$build/bin" && pwd)"
[ -x "$bin/bench_push_channel" ] || { echo "bench_push_channel: not built" >&2; exit 1; }
mkdir -p "$results"
work="$(mktemp -d)"
server=""
program=""
cleanup() {
    [ -n "$server" ] && kill "$server" 2>/dev/null || true
    [ -n "$program" ] && kill -TERM "$program" 2>/dev/null && wait "$program" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

# A private user: its own runtime folder and settings.
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_RUNTIME_DIR="$work/run" TMPDIR="$work/tmp"
mkdir -p "$HOME" "$XDG_RUNTIME_DIR" "$TMPDIR"
chmod 700 "$XDG_RUNTIME_DIR"

{
    echo "driver channel (driver and program in separate processes)"
    # The listener alone.
    mkfifo "$work/hold"
    "$bin/bench_push_channel" serve < "$work/hold" &
    server=$!
    exec 3> "$work/hold"
    "$bin/bench_push_channel" roundtrip 10000 | sed 's/^/listener alone: /'
    exec 3>&-
    wait "$server" || true
    server=""

    # The running program (offscreen window, SANE test device).
    if [ -x "$bin/scanner-utility" ]; then
        QT_QPA_PLATFORM=offscreen "$bin/scanner-utility" > "$work/program.log" 2>&1 &
        program=$!
        "$bin/bench_push_channel" roundtrip 10000 | sed 's/^/running program: /'
        kill -TERM "$program"
        wait "$program" || true
        program=""
    fi

    "$bin/bench_push_channel" idle 10
} | tee "$results/push_channel.txt"
