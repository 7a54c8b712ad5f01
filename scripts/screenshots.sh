#!/bin/bash
# `make screenshots`: the main window, a button tip, the About box, the scanner selection,
# the four pages of the button settings, the Option and application-entry dialogs, the
# scanner options, a scan under way and a searchable scan being recognised, drawn on a
# virtual display with a window manager,
# saved under screenshots/.
set -euo pipefail
build="${1:-build}"
root="$(cd "$(dirname "$0")/.." && pwd)"
export SANE_CONFIG_DIR="${SANE_CONFIG_DIR:-$root/data/sane}"
out="$root/screenshots"
mkdir -p "$out"
# A private home, so the pictures show the settings a new user starts with.
home="$(mktemp -d)"
trap 'rm -rf "$home"' EXIT
export HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_RUNTIME_DIR="$home/run"
mkdir -m 700 "$XDG_RUNTIME_DIR"
# The test scanners deliver their pages slowly (in pieces, with a pause after each), so
# that a scan can be photographed in the middle of a page.
mkdir "$home/sane"
cp "$SANE_CONFIG_DIR/dll.conf" "$home/sane/"
sed -e 's/^read-limit .*/read-limit true/' -e 's/^read-limit-size .*/read-limit-size 16384/' \
    -e 's/^read-delay .*/read-delay true/' -e 's/^read-delay-duration .*/read-delay-duration 30000/' \
    "$SANE_CONFIG_DIR/test.conf" > "$home/sane/test.conf"
export SANE_CONFIG_DIR="$home/sane"
unset QT_QPA_PLATFORM
xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
    openbox >/dev/null 2>&1 &
    wm=$!
    sleep 1
    "$0/bin/screenshot_tool" "$1"
    rc=$?
    kill "$wm" 2>/dev/null || true
    exit $rc' "$build" "$out"
echo "Screenshots in $out"
