#!/bin/sh
# Fails when a C++ file under src/, tools/, tests/, bench/ or fuzz/ differs from the house style
# (.clang-format); lists the files that do. `clang-format -i --style=file <file>` fixes one.
# One clang-format run over the tracked files, without writing anything.
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root" || exit 2
if ! command -v clang-format >/dev/null 2>&1; then
    echo "check-format: clang-format is not installed (make deps installs it)" >&2
    exit 2
fi
files=$(git ls-files 'src/*.cpp' 'src/*.h' 'tools/*.cpp' 'tools/*.h' 'tests/*.cpp' 'tests/*.h' \
    'bench/*.cpp' 'bench/*.h' 'fuzz/*.cpp' 'fuzz/*.h' 2>/dev/null)
if [ -z "$files" ]; then
    files=$(find src tools tests bench fuzz -name '*.cpp' -o -name '*.h')
fi
# shellcheck disable=SC2086
out=$(clang-format --style=file --dry-run $files 2>&1)
if [ -n "$out" ]; then
    echo "$out" | sed -n 's/^\([^:]*\):[0-9]*:[0-9]*: .*code should be clang-formatted.*/check-format: \1 differs from .clang-format/p' | sort -u >&2
    exit 1
fi
echo "check-format: every file follows .clang-format"
