#!/bin/bash
# Installs the program into a temporary root the way a package does (prefix /usr, DESTDIR)
# and runs it from there, far from the build folder: the command line scans from a clean
# home, the window starts and stays up, the desktop files pass their validators, and no
# installed file names the build or source folder.
#
# usage: installed_program_test.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build="$(cd "$1" && pwd)"
source_dir="$(cd "$2" && pwd)"
work="$(mktemp -d)"
window=""
cleanup() {
    if [ -n "$window" ]; then kill "$window" 2>/dev/null || true; wait "$window" 2>/dev/null || true; fi
    rm -rf "$work"
}
trap cleanup EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

root="$work/root"
DESTDIR="$root" "${CMAKE:-cmake}" --install "$build" --prefix /usr  >"$work/install.log"
folder="$root/usr/lib/scanner-utility"

# ---- the layout ----
for f in scanner-utility scanner-utility-help scanner-utility-cli scanner-utility-cli-data scanner-utility-cli-encode \
         scanner-utility-cli-scan; do
    [ -x "$folder/$f" ] || fail "program folder lacks the program $f"
done
for f in libTIFFGenerator.so libTextRecognition.so Str.dat Prdct.dat Def.dat Id.dat Mapping.dat Sets.dat help/Quorin.htm \
         help/index.html pics/folder_u.png pics/icon.png; do
    [ -f "$folder/$f" ] || fail "program folder lacks $f"
done
for f in scanner-utility scanner-utility-cli; do
    [ -x "$root/usr/bin/$f" ] || fail "/usr/bin/$f does not start anything"
done
for size in 16 22 24 32 48 64 128 256; do
    icon="$root/usr/share/icons/hicolor/${size}x${size}/apps/scanner-utility.png"
    [ "$(identify -format '%m %wx%h' "$icon" 2>/dev/null)" = "PNG ${size}x${size}" ] ||
        fail "no ${size}x${size} PNG icon"
done
[ -f "$root/usr/share/icons/hicolor/scalable/apps/scanner-utility.svg" ] || fail "no scalable icon"
for page in scanner-utility-cli.1.gz scanner-utility.1.gz; do
    gzip -t "$root/usr/share/man/man1/$page" 2>/dev/null || fail "manual page $page missing or damaged"
done

# ---- nothing installed refers to the build or source folder ----
# Debug information names the folders every object was compiled in (with a shared compiler
# cache, other checkouts' folders too), so an installed program carries none.
while IFS= read -r -d '' f; do
    if readelf -d "$f" 2>/dev/null | grep -qE 'RPATH|RUNPATH'; then
        fail "$f has a run path: $(readelf -d "$f" | grep -E 'RPATH|RUNPATH')"
    fi
    if readelf -S "$f" 2>/dev/null | grep -qE '\.debug_|\.zdebug_'; then fail "$f carries debug information"; fi
done < <(find "$root" -type f -print0)
while IFS= read -r -d '' f; do
    for dir in "$build" "$source_dir"; do
        if strings -a "$f" | grep -qF "$dir"; then fail "$f names $dir"; fi
    done
done < <(find "$root" -type f -print0)

# ---- desktop entry and AppStream data ----
desktop="$root/usr/share/applications/scanner-utility.desktop"
desktop-file-validate "$desktop" || fail "desktop-file-validate rejects the desktop entry"
exec_line="$(sed -n 's/^Exec=//p' "$desktop" | cut -d' ' -f1)"
case "$exec_line" in
    */*) fail "Exec= names a path ($exec_line), not a program on PATH" ;;
    *) [ -x "$root/usr/bin/$exec_line" ] || fail "Exec=$exec_line is not installed in /usr/bin" ;;
esac
icon_name="$(sed -n 's/^Icon=//p' "$desktop")"
[ -f "$root/usr/share/icons/hicolor/48x48/apps/$icon_name.png" ] || fail "Icon=$icon_name is not installed"
metainfo=("$root"/usr/share/metainfo/*.metainfo.xml)
appstreamcli validate --no-net "${metainfo[@]}" || fail "appstreamcli rejects the metainfo file"
grep -q "<caption>" "${metainfo[0]}" || fail "the screenshots have no captions"

# ---- the command line, started through its link, from a clean home ----
tools="$work/tools"
mkdir -p "$tools" "$work/run"
chmod 700 "$work/run"
# The folder destination shows the saved file in the file manager; record that instead.
printf '#!/bin/sh\nprintf "%%s\\n" "$*" >> "%s/opened"\n' "$tools" >"$tools/xdg-open"
chmod 755 "$tools/xdg-open"
# Every caller runs it in a subshell ($(...) or &): exec makes the program that subshell,
# so the pid the test keeps (and kills) is the program's own.
run_clean() {
    exec env -i PATH="$tools:/usr/bin:/bin" HOME="$1" XDG_RUNTIME_DIR="$work/run" \
        SANE_CONFIG_DIR="${SANE_CONFIG_DIR:-$source_dir/data/sane}" QT_QPA_PLATFORM=offscreen "${@:2}"
}
home="$work/home"
paths="$(run_clean "$home" "$root/usr/bin/scanner-utility-cli" paths)" || fail "paths failed: $paths"
grep -qxF "program folder     $folder/" <<<"$paths" || fail "paths shows another program folder: $paths"
if grep -q "(missing)" <<<"$(grep -v '^user ' <<<"$paths")"; then fail "paths misses data files: $paths"; fi

scanned="$(run_clean "$home" "$root/usr/bin/scanner-utility-cli" scan --to folder)" || fail "scan failed: $scanned"
file="$(tail -n 1 <<<"$scanned")"
case "$file" in
    "$home/Pictures/Scan("*")0001.PDF")
        pdfinfo "$file" | grep -q '^Pages: *1$' || fail "$file is not a one-page PDF" ;;
    *) fail "scan delivered '$scanned', not a PDF in the new home's Pictures" ;;
esac
[ -f "$home/.config/ZAV/Quorin/Sets.dat" ] || fail "the user's settings were not made from the template"

# A black-and-white PDF page goes through the library the program opens by name.
sed -i '/^\[Folder\]/,/^\[/ s/^Colormode=.*/Colormode=BW/' "$home/.config/ZAV/Quorin/Sets.dat"
scanned="$(run_clean "$home" "$root/usr/bin/scanner-utility-cli" scan --to folder)" ||
    fail "black-and-white scan failed: $scanned"
file="$(tail -n 1 <<<"$scanned")"
pdfimages -list "$file" 2>/dev/null | grep -q ' ccitt ' || fail "black-and-white scan gave no CCITT page: $scanned"

# ---- the window, started through its link ----
window_home="$work/window-home"
run_clean "$window_home" "$root/usr/bin/scanner-utility" >"$work/window.log" 2>&1 &
window=$!
# The help viewer, from the program folder, on the page the window's help links name.
run_clean "$work/help-home" "$folder/scanner-utility-help" "mk:@MSITStore:${folder}/Help.chm::/Quorin.htm#option" \
    >"$work/help.log" 2>&1 &
help=$!
sleep 3
if kill -0 "$help" 2>/dev/null; then
    kill "$help"
else
    help_status=0
    wait "$help" || help_status=$?
    fail "the installed help viewer ended early (status $help_status): $(cat "$work/help.log")"
fi
wait "$help" 2>/dev/null || true
if kill -0 "$window" 2>/dev/null; then
    [ -S "$work/run/scanner-utility.sock" ] || fail "the window runs but does not hold the instance"
    [ -f "$window_home/.config/ZAV/Quorin/Sets.dat" ] || fail "the window did not find its settings template"
else
    wait "$window" || true
    fail "the installed window ended early: $(cat "$work/window.log")"
fi
kill "$window" 2>/dev/null || true
wait "$window" 2>/dev/null || true
window=""
# Nothing started from the installed tree may outlive the test.
sleep 1
if pgrep -f "^$root/" >/dev/null; then
    fail "programs of the installed tree still run: $(pgrep -af "^$root/")"
    pkill -9 -f "^$root/" || true
fi

if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed" >&2
    exit 1
fi
echo "installed program: all checks passed"
