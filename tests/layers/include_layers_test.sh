#!/usr/bin/env bash
# The include check on copies of the tree with one fault planted in each: every plant must fail it
# with its line, and the tree as it is must pass.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
check="$here/include_layers.py"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

python3 "$check" "$root"

fresh() {
    rm -rf "$work/tree"
    mkdir -p "$work/tree"
    cp -r "$root/src" "$root/README.md" "$work/tree/"
}

# plant NAME FILE LINE EXPECTED [README-EDIT]: appends LINE to FILE (none when FILE is empty), edits
# README's list with sed, and expects the check to fail naming EXPECTED.
plant() {
    local name=$1 file=$2 line=$3 expected=$4 out
    fresh
    if [ -n "$file" ]; then
        mkdir -p "$(dirname "$work/tree/$file")"
        printf '%s\n' "$line" >>"$work/tree/$file"
    fi
    [ -z "${5:-}" ] || sed -i "$5" "$work/tree/README.md"
    if out=$(python3 "$check" "$work/tree"); then
        echo "FAIL $name: the check passed"; echo "$out"; exit 1
    fi
    if ! grep -qF -- "$expected" <<<"$out"; then
        echo "FAIL $name: expected \"$expected\" in:"; echo "$out"; exit 1
    fi
    echo "ok   $name"
}

plant "upward, one level" src/view/mail_form.cpp '#include "channel/protocol.h"' \
    'src/view/mail_form.cpp:'
plant "upward, from the ground floor" src/platform/system/clock.cpp '#include "engine/schedule.h"' \
    'includes "engine/schedule.h", from src/engine, above src/platform'
plant "upward, from the bottom" src/text/base64.cpp '#  include "window/machine.h"' \
    'from src/window, above src/text'
plant "between peers" src/win32/main_win.cpp '#include "qt/main_window.h"' \
    'from src/qt, beside src/win32'
plant "a folder not in the list" src/extra/thing.cpp '#include "engine/schedule.h"' \
    'src/extra: not in README'

# The order is README's: with src/text listed just above src/engine, the platform's use of it climbs.
plant "the order is README's" "" "" 'from src/text, above src/platform' \
    's/^- `src\/text`:/- `src\/unused`:/; s/^- `src\/engine`:/- `src\/text`: moved\n- `src\/engine`:/'
