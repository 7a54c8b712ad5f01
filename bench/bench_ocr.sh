#!/bin/bash
# Searchable PDFs: recognition time per A4 300-dpi page of running text, ours
# (scanner-utility-cli encode --ocr eng, grey PDF) against the tesseract command line
# making a PDF of the same page; and the recognition's share (ours with --ocr minus
# ours without). Medians of one hyperfine run.
# Usage: bench_ocr.sh BUILD_DIR RESULTS_DIR   (RUNS=n sets hyperfine's runs, default 5)
set -euo pipefail
build=$(realpath "${1:-build}")
results=$(realpath -m "${2:-bench-results}")
cli="$build/bin/scanner-utility-cli"
work="$results/ocr"
mkdir -p "$work"
export TMPDIR="$work"

page="$work/text_a4_300.bmp"
if [ ! -e "$page" ]; then
    line="Invoice 40721: the quick brown fox jumps over the lazy dog, 1,234.56 EUR due on 12 March."
    text=""
    for i in $(seq 40); do text+="$i. $line"$'\n'; done
    convert -size 2480x3508 -density 300 -units PixelsPerInch xc:white -fill black -font DejaVu-Sans \
        -pointsize 10 -annotate +180+260 "$text" -colorspace Gray -depth 8 -type Grayscale "BMP3:$page"
fi

runs=${RUNS:-5}
hyperfine -N --warmup 1 --runs "$runs" --style basic --export-json "$work/ocr.json" \
    -n ours_ocr "$cli encode --type PDF --colour 1 --compression 2 --ocr eng --out $work/ours $page" \
    -n ours_plain "$cli encode --type PDF --colour 1 --compression 2 --out $work/plain $page" \
    -n tesseract_pdf "tesseract $page $work/tess -l eng pdf" >/dev/null 2>&1
python3 - "$work/ocr.json" <<'PY' | tee "$results/ocr.txt"
import json, sys
r = {x['command']: x['median'] for x in json.load(open(sys.argv[1]))['results']}
ours, plain, tess = r['ours_ocr'], r['ours_plain'], r['tesseract_pdf']
print(f"ocr A4 300 dpi | ours with --ocr {ours*1000:.0f} ms, without {plain*1000:.0f} ms, "
      f"recognition {(ours-plain)*1000:.0f} ms | tesseract CLI (pdf) {tess*1000:.0f} ms | ours/tesseract {ours/tess:.2f}")
print(f"RESULT ocr_page_vs_tesseract {ours/tess:.2f} x goal <= 1.1")
PY
