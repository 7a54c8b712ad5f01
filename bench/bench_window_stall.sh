#!/bin/bash
# The longest stall of the main window's thread (heartbeat timer, longest gap between its
# 5 ms ticks less the period) during a ten-page A4 colour feeder scan to one multi-page PDF
# started by the Scan To Folder button: at 300 dpi, at 600 dpi, and at 300 dpi with text
# recognition; then the same run to one PDF per page with recognition, and the feeder's
# time from the first page to the end of the last against the same run without
# recognition (the scanner is not to wait for recognition). One RESULT line per figure.
set -euo pipefail
build="${1:-build}"
results="${2:-bench-results}"
here="$(cd "$(dirname "$0")" && pwd)"
export SANE_CONFIG_DIR="${SANE_CONFIG_DIR:-$here/../data/sane}"
bin="$(cd "$build/bin" && pwd)"
[ -x "$bin/bench_window_stall" ] || { echo "bench_window_stall not built (needs the window build)"; exit 0; }
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir -p "$results"
export QT_QPA_PLATFORM=offscreen

run() {  # name, resolution, [languages|- [file type]]
    local name="$1"
    export HOME="$work/$name/home" XDG_CONFIG_HOME="$work/$name/home/.config" STALL_OUT="$work/$name/out"
    mkdir -p "$HOME" "$STALL_OUT"
    "$bin/scanner-utility-cli" paths > /dev/null
    "$bin/bench_window_stall" "$@" > "$work/$name.out" 2> "$work/$name.err" || { cat "$work/$name.err"; return 1; }
    local pdf pages
    pdf="$(sed -n 2p "$work/$name.out")"
    pages=$(pdfinfo "$pdf" | awk '/^Pages:/ {print $2}')
    sed -n 1p "$work/$name.out"
    echo "# $name: $pages pages in $(basename "$pdf") ($(sed -n 3p "$work/$name.out") files), feeder $(sed -n 4p "$work/$name.out") ms"
}

feed() { sed -n 4p "$work/$1.out"; }

{
    run stall_feeder_300dpi_pdf 300
    run stall_feeder_600dpi_pdf 600
    run stall_feeder_300dpi_ocr_pdf 300 eng
    run stall_feeder_300dpi_pdf_per_page 300 - PDF
    run stall_feeder_300dpi_ocr_pdf_per_page 300 eng PDF
    plain=$(feed stall_feeder_300dpi_pdf_per_page) ocr=$(feed stall_feeder_300dpi_ocr_pdf_per_page)
    echo "# feeder run, one PDF per page: $plain ms without recognition, $ocr ms with"
    awk -v p="$plain" -v o="$ocr" 'BEGIN { printf "RESULT feeder_ocr_vs_plain_pdf_per_page %.2f x goal <= 1.1\n", (p > 0 ? o / p : 0) }'
} | tee "$results/window_stall.txt"
