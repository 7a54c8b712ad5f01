#!/bin/bash
# The benchmark summary: every RESULT line of any script, whatever its name, becomes one
# row marked met or NOT met against its own goal; a figure a script could not measure
# ("none") is not met; a failed script is named and makes the summary fail.
set -euo pipefail
summarise="$1/bench/summarise.sh"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cat > "$work/log" <<'LOG'
== bench_one
some other output
RESULT g4_tiff_vs_ppm2tiff 1.21 x goal <= 1.3
RESULT scan_vs_yardstick 2.66 x goal <= 1.5
== bench_window_stall
RESULT longest_stall_300dpi 0.049 s goal <= 0.05
RESULT longest_stall_600dpi 0.051 s goal <= 0.05
RESULT shown_after 0.5 s goal < 0.5
RESULT pages_per_minute 40 ppm goal >= 30
RESULT not_measured none s goal <= 1
LOG
out="$(bash "$summarise" "$work/log")" || fail "summary failed without a failed script"
# name, expected verdict
while read -r name verdict; do
    line="$(grep -E "^$name " <<<"$out")" || fail "$name missing from the summary"
    got="$(grep -oE "(NOT met|met)$" <<<"$line")"
    [ "$got" = "${verdict/_/ }" ] || fail "$name: '$got', expected '${verdict/_/ }' in: $line"
done <<'ROWS'
g4_tiff_vs_ppm2tiff met
scan_vs_yardstick NOT_met
longest_stall_300dpi met
longest_stall_600dpi NOT_met
shown_after NOT_met
pages_per_minute met
not_measured NOT_met
ROWS
grep -qx "3 of 7 goals met" <<<"$out" || fail "count line wrong: $out"

if bash "$summarise" "$work/log" bench_broken > "$work/failed"; then fail "a failed script did not fail the summary"; fi
grep -q "FAILED: bench_broken" "$work/failed" || fail "the failed script is not named"
echo "summarise: ok"
