#!/bin/sh
# Fails when a folder of src/ includes a folder above it. The floors, bottom first; a
# folder may include itself and any folder listed before it. Subfolders belong to their
# folder's floor (src/scancontrol/sane is scancontrol, src/output/tiffgen is output).
# tools/, tests/ and bench/ stand on top and may include anything.
FLOORS="codec platform settings core scancontrol output scan delivery pushscan ui app"

root=$(cd "$(dirname "$0")/.." && pwd)
status=0
rank() {
    i=0
    for f in $FLOORS; do
        [ "$f" = "$1" ] && { echo $i; return; }
        i=$((i + 1))
    done
    echo -1
}
for dir in "$root"/src/*/; do
    floor=$(basename "$dir")
    own=$(rank "$floor")
    if [ "$own" -lt 0 ]; then
        echo "check-floors: src/$floor is not in the list of floors (scripts/check-floors.sh)" >&2
        status=1
        continue
    fi
    # Every quoted include that names a folder: file:line:#include "folder/...
    hits=$(grep -rnE --include='*.h' --include='*.cpp' '^[[:space:]]*#[[:space:]]*include[[:space:]]*"[a-z]+/' "$dir") || continue
    wrong=$(echo "$hits" | while IFS= read -r hit; do
        target=$(echo "$hit" | sed -E 's/.*#[[:space:]]*include[[:space:]]*"([a-z]+)\/.*/\1/')
        other=$(rank "$target")
        if [ "$other" -lt 0 ] || [ "$other" -gt "$own" ]; then
            echo "check-floors: ${hit#"$root"/}: src/$floor may not include $target/"
        fi
    done)
    if [ -n "$wrong" ]; then
        echo "$wrong" >&2
        status=1
    fi
done
[ $status -ne 0 ] && echo "check-floors: the floors, bottom first: $FLOORS" >&2
[ $status -eq 0 ] && echo "check-floors: no folder includes a folder above it"
exit $status
