#!/bin/bash
# One A4 300-dpi colour page from the SANE test backend, acquired and written as BMP by
# `scanner-utility-cli acquire`, against `scanimage --format=pnm` of the same page (same
# device, same options). Prints the ratio of medians from one hyperfine run, and the
# peak memory of the tool against the raw page bitmap (width x height x 3 bytes).
#
# usage: bench_acquire.sh [BUILD_DIR] [RESULTS_DIR]     (run by bench/run.sh)
set -euo pipefail
build="${1:-build}"
results="${2:-bench-results}"
here="$(cd "$(dirname "$0")" && pwd)"
export SANE_CONFIG_DIR="${SANE_CONFIG_DIR:-${here}/../data/sane}"
cli="$build/bin/scanner-utility-cli"
[ -x "$cli" ] || { echo "bench_acquire: $cli not built" >&2; exit 1; }
for tool in scanimage hyperfine identify python3; do
    command -v "$tool" >/dev/null || { echo "bench_acquire: $tool missing" >&2; exit 1; }
done
[ -x /usr/bin/time ] || { echo "bench_acquire: GNU time (/usr/bin/time) missing" >&2; exit 1; }
mkdir -p "$results"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# The same page for both: test:0, colour at 8 bits a sample, 300 dpi, A4 from the corner.
ours="$cli acquire --source test:0 --pixel-type 2 --resolution 300 --frame 0,0,8.26772,11.69291 --format 2 --out $work/ours"
theirs="scanimage -d test:0 --mode Color --depth 8 --resolution 300 -l 0 -t 0 -x 210 -y 297 --format=pnm -o $work/ref.pnm"
# The tool's own cost without a page worth speaking of (program, Qt, SANE): the baseline.
tiny="$cli acquire --source test:0 --pixel-type 2 --resolution 10 --format 2 --out $work/tiny"

# Both must produce the same page.
timeout 60 $ours >/dev/null
timeout 60 $theirs
read -r w h < <(identify -format '%w %h\n' "$work/ours/page-001.bmp")
read -r rw rh < <(identify -format '%w %h\n' "$work/ref.pnm")
if [ "$w $h" != "$rw $rh" ]; then
    echo "bench_acquire: pages differ: ours ${w}x${h}, scanimage ${rw}x${rh}" >&2
    exit 1
fi

hyperfine -N --warmup 3 --runs 30 --export-json "$work/times.json" -n ours "$ours" -n scanimage "$theirs" >"$work/hyperfine.txt"

# The SANE test backend ends its reader thread with an asynchronous pthread_cancel and,
# rarely, deadlocks in sane_cancel (scanimage as well as our tool): every run is bounded.
peak() {  # the largest of five peak resident set sizes, KiB
    local m=0 v
    for _ in 1 2 3 4 5; do
        v=$(/usr/bin/time -f '%M' timeout 60 "$@" 2>&1 >/dev/null | tail -n 1)
        [ "$v" -gt "$m" ] && m=$v
    done
    echo "$m"
}
# shellcheck disable=SC2086  # the commands are word lists on purpose
ours_kib=$(peak $ours)
# shellcheck disable=SC2086
base_kib=$(peak $tiny)
# shellcheck disable=SC2086
theirs_kib=$(peak $theirs)

python3 - "$work/times.json" "$w" "$h" "$ours_kib" "$base_kib" "$theirs_kib" <<'EOF' | tee "$results/acquire.txt"
import json, sys
times, w, h, ours, base, theirs = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), *map(int, sys.argv[4:])
r = {x["command"]: x for x in json.load(open(times))["results"]}
o, s = r["ours"]["median"], r["scanimage"]["median"]
raw = w * h * 3
print("page: %d x %d colour, raw bitmap %.1f MiB" % (w, h, raw / 2**20))
print("time, median of 30: ours %.1f ms, scanimage %.1f ms, ratio %.2f (aim <= 1.3)" % (o * 1e3, s * 1e3, o / s))
print("peak RSS: ours %.1f MiB, scanimage %.1f MiB; ours for a 10-dpi page (program baseline) %.1f MiB"
      % (ours / 1024, theirs / 1024, base / 1024))
print("memory for the page (peak - baseline) / raw bitmap: %.2f (aim <= 1.5); whole process / raw bitmap: %.2f"
      % ((ours - base) * 1024 / raw, ours * 1024 / raw))
print("RESULT acquire_vs_scanimage_pnm %.2f x goal <= 1.3" % (o / s))
print("RESULT acquire_page_memory_vs_raw_bitmap %.2f x goal <= 1.5" % ((ours - base) * 1024 / raw))
EOF
echo "command: $ours" | tee -a "$results/acquire.txt"
echo "against: $theirs" | tee -a "$results/acquire.txt"
