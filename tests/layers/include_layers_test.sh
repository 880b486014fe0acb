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

# plant NAME FILE LINE EXPECTED: appends LINE to FILE and expects the check to fail naming EXPECTED.
plant() {
    local name=$1 file=$2 line=$3 expected=$4 out
    fresh
    mkdir -p "$(dirname "$work/tree/$file")"
    printf '%s\n' "$line" >>"$work/tree/$file"
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
fresh
python3 - "$work/tree/README.md" <<'PY'
import sys
path = sys.argv[1]
text = open(path, encoding="utf-8").read()
text = text.replace("- `src/text`:", "- `src/unused`:").replace("- `src/engine`:", "- `src/text`: moved\n- `src/engine`:")
open(path, "w", encoding="utf-8").write(text)
PY
if out=$(python3 "$check" "$work/tree"); then
    echo "FAIL the order is README's: the check passed"; exit 1
fi
grep -qF 'from src/text, above src/platform' <<<"$out" || { echo "FAIL the order is README's:"; echo "$out"; exit 1; }
echo "ok   the order is README's"
