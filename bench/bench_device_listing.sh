#!/bin/bash
# Device listing on a desktop's SANE configuration: every backend of /etc/sane.d/dll.conf
# plus the test backend. One headless `scan --to folder` of test:0 against one
# `scanimage -L` (hyperfine, medians), the listings each makes (SANE_DEBUG_DLL=3 logs
# every sane_get_devices), and, when Xvfb, openbox and xdotool are there, the time until
# the window shows and the listings a Scan To Folder press in the running window makes.
#
# usage: bench_device_listing.sh [BUILD_DIR] [RESULTS_DIR]     (run by bench/run.sh)
set -euo pipefail
build="${1:-build}"
results="${2:-bench-results}"
here="$(cd "$(dirname "$0")" && pwd)"
bin="$(cd "$build/bin" && pwd)"
[ -x "$bin/scanner-utility-cli" ] || { echo "bench_device_listing: $bin/scanner-utility-cli not built" >&2; exit 1; }
for tool in scanimage hyperfine python3; do
    command -v "$tool" >/dev/null || { echo "bench_device_listing: $tool missing" >&2; exit 1; }
done
[ -f /etc/sane.d/dll.conf ] || { echo "bench_device_listing: no /etc/sane.d/dll.conf" >&2; exit 1; }
mkdir -p "$results"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# The desktop's SANE configuration with the test backend added.
cp -r /etc/sane.d "$work/sane"
echo test >> "$work/sane/dll.conf"
cp "$here/../data/sane/test.conf" "$work/sane/"
export SANE_CONFIG_DIR="$work/sane"

# A private user with Scan To Folder writing into $work/out.
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config"
mkdir -p "$HOME" "$work/out"
"$bin/scanner-utility-cli" paths > /dev/null
sets="$(find "$XDG_CONFIG_HOME" -name Sets.dat | head -n 1)"
python3 - "$sets" "$work/out/" <<'PY'
import sys
path, out = sys.argv[1], sys.argv[2]
want = {"Savefolder": out, "Openfileoption": "false"}
result, section = [], None
for line in open(path).read().splitlines():
    s = line.strip()
    if s.startswith("["):
        section = s[1:s.index("]")].lower()
    elif section == "folder" and "=" in s and s.split("=", 1)[0].strip() in want:
        key = s.split("=", 1)[0].strip()
        line = f"{key}={want[key]}"
    result.append(line)
open(path, "w").write("\n".join(result) + "\n")
PY

listings() { grep -c '\[dll\] sane_get_devices$' "$1" || true; }
files() { find "$work/out" -type f | wc -l; }
scan="$bin/scanner-utility-cli scan --to folder --source test:0"
SANE_DEBUG_DLL=3 $scan > /dev/null 2> "$work/scan.log"
SANE_DEBUG_DLL=3 scanimage -L > /dev/null 2> "$work/list.log"
scan_listings=$(listings "$work/scan.log")
list_listings=$(listings "$work/list.log")
hyperfine -N --runs 5 --export-json "$work/times.json" -n scan "$scan" -n list "scanimage -L" > "$work/hyperfine.txt"

window=""
if command -v Xvfb >/dev/null && command -v openbox >/dev/null && command -v xdotool >/dev/null; then
    export XDG_RUNTIME_DIR="$work/run" DISPLAY=:97
    mkdir -m 700 "$XDG_RUNTIME_DIR"
    Xvfb :97 -screen 0 1024x768x24 > /dev/null 2>&1 &
    xvfb=$!
    sleep 1
    openbox > /dev/null 2>&1 &
    wm=$!
    sleep 1
    before=$(files)
    start=$(date +%s.%N)
    SANE_DEBUG_DLL=3 "$bin/scanner-utility" 2> "$work/window.log" &
    app=$!
    wid=""
    for _ in $(seq 1 1500); do
        wid=$(xdotool search --onlyvisible --name '^Scanner Utility$' 2>/dev/null | head -n 1 || true)
        [ -n "$wid" ] && break
        sleep 0.02
    done
    shown=$(date +%s.%N)
    # The start-up check ends once the listing is there; then press Scan To Folder.
    for _ in $(seq 1 600); do grep -q 'sane_get_devices: found' "$work/window.log" && break; sleep 0.05; done
    sleep 2
    startup=$(listings "$work/window.log")
    eval "$(xdotool getwindowgeometry --shell "$wid")"
    # Scan To Folder: the third of four columns, in the upper third of the client area.
    starts_before=$(grep -c '\[dll\] sane_start(' "$work/window.log" || true)
    pressed_at=$(date +%H:%M:%S.%N)
    xdotool mousemove $((X + WIDTH * 627 / 1000)) $((Y + HEIGHT / 3)) click 1
    pressed=$(date +%s.%N)
    for _ in $(seq 1 600); do [ "$(files)" -gt "$before" ] && break; sleep 0.01; done
    delivered=$(date +%s.%N)
    [ "$(files)" -gt "$before" ] || delivered=""
    sleep 1
    after=$(listings "$work/window.log")
    # The device starts when the SANE loader logs sane_start (its lines carry the time of day).
    started_at=$(grep '\[dll\] sane_start(' "$work/window.log" | sed -n "$((starts_before + 1))p" |
        sed -E 's/^\[([0-9:.]+)\].*/\1/')
    kill "$app" "$wm" "$xvfb" 2> /dev/null || true
    wait 2> /dev/null || true
    window="$start $shown $startup $pressed ${delivered:-none} $after $pressed_at ${started_at:-none}"
fi

python3 - "$work/times.json" "$scan_listings" "$list_listings" "$window" <<'EOF2' | tee "$results/device_listing.txt"
import json, sys
r = {x["command"]: x for x in json.load(open(sys.argv[1]))["results"]}
scan, lst = r["scan"]["median"], r["list"]["median"]
print("SANE configuration: /etc/sane.d (every backend) + test")
print("headless scan to folder: %.2f s, scanimage -L: %.2f s, ratio %.2f (aim <= 1.3)" % (scan, lst, scan / lst))
print("listings: scan %s, scanimage -L %s" % (sys.argv[2], sys.argv[3]))
if sys.argv[4]:
    start, shown, startup, pressed, delivered, after, pressed_at, started_at = sys.argv[4].split()
    print("window shown after %.2f s (aim <= 1); listings at start-up: %s" % (float(shown) - float(start), startup))
    if delivered == "none":
        print("press on Scan To Folder: no output file appeared (press missed?)")
    else:
        print("press on Scan To Folder until its output file appears: %.2f s; listings by the press: %d"
              % (float(delivered) - float(pressed), int(after) - int(startup)))
    def seconds(clock):
        h, m, s = clock.split(":")
        return int(h) * 3600 + int(m) * 60 + float(s)
    press_to_start = "none" if started_at == "none" else "%.3f" % (seconds(started_at) - seconds(pressed_at))
    print("press on Scan To Folder until the device starts: %s s (aim <= 0.2)" % press_to_start)
    print("RESULT window_shown_after_start %.2f s goal <= 1" % (float(shown) - float(start)))
    print("RESULT button_press_to_device_start %s s goal <= 0.2" % press_to_start)
else:
    print("window: not measured (needs Xvfb, openbox, xdotool)")
    print("RESULT window_shown_after_start none s goal <= 1")
    print("RESULT button_press_to_device_start none s goal <= 0.2")
print("RESULT headless_scan_vs_scanimage_L %.2f x goal <= 1.3" % (scan / lst))
EOF2
