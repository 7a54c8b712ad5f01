#!/bin/bash
# The fixed cost of one command:
# - one A4 150-dpi colour flatbed page through `scanner-utility-cli scan --to folder` (the
#   shipped Folder defaults: PDF) against `scanimage` to JPEG of the same page, with the
#   number of data files opened during that scan (each settings read used to open and
#   parse its file again);
# - `scanner-utility-cli message 153` against `cjpeg -version` (start-up alone).
# Ratios of medians over several rounds of hyperfine, the two sides taking turns to go
# first, so that a stretch of load on the shared machine falls on both.
#
# usage: bench_command_overhead.sh [BUILD_DIR] [RESULTS_DIR] [ROUNDS]     (run by bench/run.sh)
set -euo pipefail
build="${1:-build}"
results="${2:-bench-results}"
rounds="${3:-5}"
here="$(cd "$(dirname "$0")" && pwd)"
export SANE_CONFIG_DIR="${SANE_CONFIG_DIR:-${here}/../data/sane}"
cli="$(cd "$build/bin" && pwd)/scanner-utility-cli"
[ -x "$cli" ] || { echo "bench_command_overhead: $cli not built" >&2; exit 1; }
for tool in scanimage cjpeg hyperfine strace pdfimages python3; do
    command -v "$tool" >/dev/null || { echo "bench_command_overhead: $tool missing" >&2; exit 1; }
done
mkdir -p "$results"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# A private user with the shipped settings; pages go to its pictures folder.
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config"
mkdir -p "$HOME"
"$cli" paths > /dev/null

ours="$cli scan --to folder --source test:0"
theirs="scanimage -d test:0 --mode Color --resolution 150 --format=jpeg -o $work/ref.jpg"

# Both must produce the same page.
pdf="$(timeout 60 $ours | head -n 1)"
timeout 60 $theirs
read -r w h < <(pdfimages -list "$pdf" | awk 'NR == 3 {print $4, $5}')
read -r rw rh < <(python3 - "$work/ref.jpg" <<'PY'
import struct, sys
data = open(sys.argv[1], "rb").read()
i = 2
while i < len(data):
    marker, length = data[i + 1], struct.unpack(">H", data[i + 2:i + 4])[0]
    if marker in (0xC0, 0xC1, 0xC2):
        h, w = struct.unpack(">HH", data[i + 5:i + 9])
        print(w, h)
        break
    i += 2 + length
PY
)
if [ "$w $h" != "$rw $rh" ]; then
    echo "bench_command_overhead: pages differ: ours ${w}x${h}, scanimage ${rw}x${rh}" >&2
    exit 1
fi

# Files opened by one scan, counted by the kernel's view of the process.
strace -f -qq -e trace=openat,open -o "$work/opens" $ours > /dev/null
opens=$(grep -c 'open' "$work/opens" || true)
dat=$(grep -c '\.dat"' "$work/opens" || true)
mapping=$(grep -c '/Mapping\.dat"' "$work/opens" || true)

# Each round: 10 runs of each side after 3 warm-up runs, the order swapped every round.
for ((r = 1; r <= rounds; r++)); do
    if ((r % 2)); then
        hyperfine -N --warmup 3 --runs 10 --export-json "$work/scan$r.json" -n ours "$ours" -n scanimage "$theirs"
        hyperfine -N --warmup 3 --runs 10 --export-json "$work/start$r.json" -n ours "$cli message 153" \
            -n cjpeg "cjpeg -version"
    else
        hyperfine -N --warmup 3 --runs 10 --export-json "$work/scan$r.json" -n scanimage "$theirs" -n ours "$ours"
        hyperfine -N --warmup 3 --runs 10 --export-json "$work/start$r.json" -n cjpeg "cjpeg -version" \
            -n ours "$cli message 153"
    fi
done > /dev/null 2>&1

python3 - "$work" "$rounds" "$opens" "$dat" "$mapping" <<'PY' | tee "$results/command_overhead.txt"
import json, statistics, sys
work, rounds = sys.argv[1], int(sys.argv[2])
def medians(kind):
    times = {}
    for r in range(1, rounds + 1):
        for result in json.load(open(f"{work}/{kind}{r}.json"))["results"]:
            times.setdefault(result["command"], []).extend(result["times"])
    return {name: statistics.median(t) for name, t in times.items()}
scan, start = medians("scan"), medians("start")
opens, dat, mapping = sys.argv[3:6]
runs = rounds * 10
print(f"fixed cost of one command (medians of {runs} runs each, {rounds} rounds)")
print(f"{'command':44} {'ms':>8} {'yardstick ms':>13} {'ratio':>6} {'goal':>5}")
print(f"{'scan --to folder, A4 150 dpi colour -> PDF':44} {scan['ours']*1e3:8.1f} {scan['scanimage']*1e3:13.1f}"
      f" {scan['ours']/scan['scanimage']:6.2f} {'1.5':>5}")
print(f"{'message 153 (against cjpeg -version)':44} {start['ours']*1e3:8.1f} {start['cjpeg']*1e3:13.1f}"
      f" {start['ours']/start['cjpeg']:6.2f} {'4':>5}")
print(f"files opened by that scan: {opens}, data files {dat}, Mapping.dat {mapping}")
print(f"RESULT scan_to_pdf_vs_scanimage_jpeg {scan['ours']/scan['scanimage']:.2f} x goal <= 1.5")
print(f"RESULT message_153_vs_cjpeg_version {start['ours']/start['cjpeg']:.2f} x goal <= 4")
PY
