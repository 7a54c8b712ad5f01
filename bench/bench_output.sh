#!/bin/bash
# Image output: our encoders (scanner-utility-cli encode, the real encoder code) against
# public tools on A4 300-dpi pages, as ratios of medians measured in one run, and the
# peak memory of long documents against that of one page.
# Usage: bench_output.sh BUILD_DIR RESULTS_DIR   (RUNS=n sets hyperfine's runs, default 10)
set -euo pipefail
build=$(realpath "${1:-build}")
results=$(realpath -m "${2:-bench-results}")
shared=${SU_BENCH_SHARED:-/work/shared/bench}
cli="$build/bin/scanner-utility-cli"
pages="$results/pages"
out="$results/output"
mkdir -p "$results" "$out"
export SANE_CONFIG_DIR="${SANE_CONFIG_DIR:-$(dirname "$0")/../data/sane}"
# The encoder's temporary page files are hard links to the pages: keep them on one file system.
export TMPDIR="$results/tmp"
mkdir -p "$TMPDIR"

if [ ! -e "$pages/doc_bw_g4.tif" ]; then
    echo "making pages in $pages"
    sh "$shared/make_pages.sh" "$pages" >/dev/null
fi
C=$pages/doc_color.bmp
W=$pages/doc_bw.bmp
C100=$(for i in $(seq 100); do printf '%s ' "$C"; done)
W100=$(for i in $(seq 100); do printf '%s ' "$W"; done)
W10=$(for i in $(seq 10); do printf '%s ' "$W"; done)

echo "== inside the program: per page, from the page bitmap to the finished page (no process start-up)"
SU_BENCH_PAGES="$pages" "$build/bin/bench_output" --benchmark_counters_tabular=true | tee "$results/output_inprocess.txt"

echo "== start-up of scanner-utility-cli alone (it links every subsystem), against cjpeg's"
hyperfine -N -i --warmup 3 --runs 20 --style basic --export-json "$results/startup.json" \
    "$cli message 1" "cjpeg -version" >/dev/null 2>&1
python3 -c "import json; r=json.load(open('$results/startup.json'))['results']; print('startup    | ' + ' | '.join(f\"{x['command']}: median {x['median']*1000:.1f} ms\" for x in r))" | tee "$results/output_startup.txt"

echo "== single pages through scanner-utility-cli encode against the public tools, both started bare"
# No shell around either command: a shell's own start-up would weigh on pages this small.
mkdir -p "$out/bare_t" "$out/bare_j"
# Rounds of 10 runs of each command after 3 warm-up runs, the order reversed every other
# round, all runs pooled: a burst of load on the machine then weighs on both sides alike.
rounds="${ROUNDS_SINGLE:-5}"
single=(-n g4_ours "$cli encode --type TIFF --colour 2 --compression 2 --out $out/bare_t $W"
    -n g4_ppm2tiff "ppm2tiff -c g4 -r 3508 -R 300 $pages/doc_bw.pbm $out/bare_y.tif"
    -n jpeg_ours "$cli encode --type JPEG --level 30 --out $out/bare_j $C"
    -n jpeg_cjpeg "cjpeg -quality 70 -outfile $out/bare_y.jpg $C")
reversed=()
for ((i = ${#single[@]} - 3; i >= 0; i -= 3)); do reversed+=("${single[@]:i:3}"); done
for ((r = 1; r <= rounds; r++)); do
    if ((r % 2)); then order=("${single[@]}"); else order=("${reversed[@]}"); fi
    hyperfine -N --warmup 3 --runs 10 --style basic --export-json "$results/single$r.json" "${order[@]}" >/dev/null
done
rm -rf "$out/bare_t" "$out/bare_j"
python3 - "$results" "$rounds" <<'PY' | tee "$results/output_single.txt"
import json, statistics, sys
results, rounds = sys.argv[1], int(sys.argv[2])
times = {}
for n in range(1, rounds + 1):
    for x in json.load(open(f"{results}/single{n}.json"))['results']:
        times.setdefault(x['command'], []).extend(x['times'])
r = {name: statistics.median(t) for name, t in times.items()}
print(f"medians of {rounds * 10} runs each, {rounds} rounds")
for kind, tool in (("g4", "ppm2tiff"), ("jpeg", "cjpeg")):
    print(f"{kind:5s} | ours {r[kind + '_ours']*1000:6.1f} ms | {tool} {r[kind + '_' + tool]*1000:6.1f} ms")
print(f"RESULT g4_tiff_vs_ppm2tiff {r['g4_ours']/r['g4_ppm2tiff']:.2f} x goal <= 1.3")
print(f"RESULT jpeg_vs_cjpeg {r['jpeg_ours']/r['jpeg_cjpeg']:.2f} x goal <= 1.05")
PY

echo "== ours against the public yardsticks (ours/yardstick < 1 means we are faster)"
# Colour PDF pages use compression kind 2 (JPEG quality 80); the yardsticks use quality 70.
OURS_JPEG="sh -c 'mkdir -p $out/j && exec $cli encode --type JPEG --level 30 --out $out/j $C >/dev/null'" \
OURS_PDF1="sh -c 'mkdir -p $out/p && exec $cli encode --type PDF --compression 2 --out $out/p $C >/dev/null'" \
OURS_PDF100="sh -c 'mkdir -p $out/m && exec $cli encode --type \"Multi-page PDF\" --compression 2 --out $out/m $C100 >/dev/null'" \
OURS_G4TIFF="sh -c 'mkdir -p $out/t && exec $cli encode --type TIFF --colour 2 --compression 2 --out $out/t $W >/dev/null'" \
OURS_G4PDF="sh -c 'mkdir -p $out/g && exec $cli encode --type PDF --colour 2 --compression 2 --out $out/g $W >/dev/null'" \
OURS_TIFF100="sh -c 'mkdir -p $out/n && exec $cli encode --type \"Multi-page TIFF\" --colour 2 --compression 2 --out $out/n $W100 >/dev/null'" \
OURS_LZW="sh -c 'mkdir -p $out/l && exec $cli encode --type TIFF --colour 0 --out $out/l $C >/dev/null'" \
RUNS=${RUNS:-10} bash "$shared/bench_public.sh" "$pages" "$results/public" | tee "$results/output_public.txt"

echo "== ours against ImageMagick (Debian's ImageMagick may not write PDF: its policy forbids it)"
peak() { /usr/bin/time -f '%M' -o "$results/rss" "$@" >/dev/null 2>&1; cat "$results/rss"; }   # KiB
HF="hyperfine -N --warmup 1 --runs ${IM_RUNS:-3} --style basic"
im_row() {   # im_row NAME IMAGEMAGICK_CMD OURS_CMD
    local name=$1
    $HF --export-json "$results/im_$name.json" -n imagemagick "$2" -n ours "$3" >/dev/null
    local mi mo
    mi=$(peak sh -c "$2")
    mo=$(peak sh -c "$3")
    python3 - "$results/im_$name.json" "$name" "$mi" "$mo" <<'PY'
import json, sys
r = json.load(open(sys.argv[1]))['results']
print(f"{sys.argv[2]:8s} | imagemagick {r[0]['median']*1000:8.1f} ms, peak {int(sys.argv[3])/1024:6.1f} MiB"
      f" | ours {r[1]['median']*1000:8.1f} ms, peak {int(sys.argv[4])/1024:6.1f} MiB | ours/imagemagick {r[1]['median']/r[0]['median']:.2f}")
PY
}
mkdir -p "$out/im"
{
im_row JPEG    "convert $C -quality 70 $out/im/a.jpg" \
               "sh -c 'mkdir -p $out/j && exec $cli encode --type JPEG --level 30 --out $out/j $C'"
im_row G4TIFF  "convert $W -compress Group4 $out/im/a.tif" \
               "sh -c 'mkdir -p $out/t && exec $cli encode --type TIFF --colour 2 --compression 2 --out $out/t $W'"
# ImageMagick needs about 2 s a page here and its resource policy refuses 100 A4 pages in one
# file, so the multi-page row uses 10 pages.
im_row TIFF10  "convert $W10 -compress Group4 $out/im/m.tif" \
               "sh -c 'mkdir -p $out/n && exec $cli encode --type \"Multi-page TIFF\" --colour 2 --compression 2 --out $out/n $W10'"
im_row LZW     "convert $C -compress LZW $out/im/l.tif" \
               "sh -c 'mkdir -p $out/l && exec $cli encode --type TIFF --colour 0 --out $out/l $C'"
} | tee "$results/output_imagemagick.txt"

echo "== peak memory: one page against 500 pages in one document (nothing may accumulate per page)"
C500=$(for i in $(seq 500); do printf '%s ' "$C"; done)
W500=$(for i in $(seq 500); do printf '%s ' "$W"; done)
{
for row in "colour-pdf|Multi-page PDF|0|2|$C|$C500" "bw-pdf-g4|Multi-page PDF|2|2|$W|$W500" "bw-tiff-g4|Multi-page TIFF|2|2|$W|$W500"; do
    IFS='|' read -r name type colour kind one many <<<"$row"
    rm -rf "$out/mem"; mkdir -p "$out/mem"
    p1=$(peak "$cli" encode --type "$type" --colour "$colour" --compression "$kind" --out "$out/mem" $one)
    rm -rf "$out/mem"; mkdir -p "$out/mem"
    start=$(date +%s.%N)
    p500=$(peak "$cli" encode --type "$type" --colour "$colour" --compression "$kind" --out "$out/mem" $many)
    end=$(date +%s.%N)
    awk -v n="$name" -v a="$p1" -v b="$p500" -v s="$start" -v e="$end" 'BEGIN {
        printf "%-11s | 1 page %6.1f MiB | 500 pages %6.1f MiB (+%.1f MiB) in %.1f s\n", n, a/1024, b/1024, (b-a)/1024, e-s }'
done
} | tee "$results/output_memory.txt"
rm -rf "$out/mem" "$TMPDIR"
