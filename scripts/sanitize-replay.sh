#!/bin/bash
# The parsers under AddressSanitizer and UBSan, in a small build of their own: the replay
# of the fuzz corpora (seeds and every input that once broke something) and the unit tests
# of the parsers of settings, texts, page images and encoder parameters.
#   scripts/sanitize-replay.sh [build folder] [jobs]
# Any sanitizer report fails the run (halt_on_error, abort_on_error).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
build=${1:-build-replay}
jobs=${2:-2}
launcher=()
if command -v ccache >/dev/null; then
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Debug -DSU_SANITIZE=ON -DSU_BUILD_BENCH=OFF -DSU_BUILD_UI=OFF \
    "${launcher[@]}" >/dev/null
cmake --build "$build" -j"$jobs" --target fuzz_replay settings_tests core_tests output_tests
# Parser suites only: the encoders' end-to-end tests and the kill tests run in the
# ordinary suite.
parsers='^fuzz_replay\.|^(Cases/|Forms/|Kinds/|Keys/|Table/|Injections/)?(AppList|CApiWrapper|ScanMethodText|SplitTable|ChoiceList|ColorModeRegistry|ConfigFlag|DecimalToInt|Directions|IniHandler|IniSection|Join|MethodRepair|PaperLookup|Placeholders|Profile|ProfileRefusal|ProfileChange|ProfileCopy|RefusedKey|TextToValue|ValueToText|ScanMethodArr|Records|CompressionLevel|FileName|SaveFolder|Texts|Ids|DataFiles|EncoderParameters|FormatNames|Codec|Bmp|TiffStrips|PdfPageWriter)'
cd "$build"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:fast_unwind_on_malloc=0 \
LSAN_OPTIONS=suppressions=$root/scripts/lsan.supp:print_suppressions=0 \
UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --no-tests=error --output-on-failure -j"$jobs" --timeout 600 -R "$parsers"
