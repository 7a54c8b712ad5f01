#!/bin/bash
# `make run`: the program on the embedded default device, the SANE test backend.
set -euo pipefail
build="${1:-build}"
export SANE_CONFIG_DIR="${SANE_CONFIG_DIR:-$(cd "$(dirname "$0")/.." && pwd)/data/sane}"
bin="$build/bin"
if [ -x "$bin/scanner-utility" ] && { [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; }; then
    exec "$bin/scanner-utility"
fi
if [ -x "$bin/scanner-utility" ]; then
    echo "No display: running the headless Scan To Folder instead."
fi
if "$bin/scanner-utility-cli" --help 2>&1 | grep -q '^  scan '; then
    exec "$bin/scanner-utility-cli" scan --to folder
fi
"$bin/scanner-utility-cli" paths
if "$bin/scanner-utility-cli" --help 2>&1 | grep -q '^  sources '; then
    "$bin/scanner-utility-cli" sources
fi
