# Shared by the end-to-end tests: a work folder, an X display, the tray host, checks.
# shellcheck shell=bash
work=$(mktemp -d)
pids=()
cleanup() {
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done
    wait 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

failures=0
passes=0
check() {  # check "what" command...
    local what=$1
    shift
    if "$@"; then echo "ok - $what"; passes=$((passes + 1)); else echo "FAIL - $what"; failures=$((failures + 1)); fi
}
# Waits up to $1 seconds for a command to succeed.
within() {
    local limit=$1
    shift
    local end=$((SECONDS + limit))
    until "$@"; do
        [ $SECONDS -ge $end ] && return 1
        sleep 0.1
    done
}
now_ms() { echo $(( $(date +%s%N) / 1000000 )); }
finish() {
    echo "$passes passed, $failures failed"
    [ $failures -eq 0 ]
}

# The program beside a drive c holding the zip program where a run looks for it.
prepare_program() {
    cp "$1" "$work/zelyedek"
    mkdir -p "$work/drives/c/brevund/tarvel/bat" "$work/drives/c/brevund/belgeler"
    cp "$(command -v zip)" "$work/drives/c/brevund/tarvel/bat/zip.ex_"
    echo veri >"$work/drives/c/brevund/belgeler/veri.txt"
}

# Replaces the zip program with one that notes the second each run starts it in (in runs.log),
# waits $1 seconds, then does the real work.
zip_noting_runs() {
    local zip_bin
    zip_bin=$(command -v zip)
    cat >"$work/drives/c/brevund/tarvel/bat/zip.ex_" <<SH
#!/bin/sh
date +%T >>"$work/runs.log"
sleep ${1:-0}
exec "$zip_bin" "\$@"
SH
    chmod +x "$work/drives/c/brevund/tarvel/bat/zip.ex_"
}
runs() { if [ -f "$work/runs.log" ]; then wc -l <"$work/runs.log"; else echo 0; fi; }

start_display() {
    exec 3>"$work/display"
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    pids+=($!)
    exec 3>&-
    within 10 test -s "$work/display" || { echo "FAIL - Xvfb did not start"; exit 1; }
    export DISPLAY=":$(head -1 "$work/display")"
}

start_tray() {
    trayer --edge bottom --align right --widthtype request --height 32 >/dev/null 2>&1 &
    tray_pid=$!
    pids+=($tray_pid)
}

window_visible() { [ -n "$(xdotool search --onlyvisible --name '^ZEL Yedek$' 2>/dev/null)" ]; }
window_hidden() { ! window_visible; }
# The icon: a window of the program inside the tray host's panel.
icon_geometry() {
    xwininfo -root -tree 2>/dev/null | awk '/"panel": \("panel" "trayer"\)/ {inpanel=1; next}
        inpanel && /\("zelyedek"/ {print $(NF-1) " " $NF; exit}
        inpanel && /^     0x/ {inpanel=0}'
}
icon_docked() { [ -n "$(icon_geometry)" ]; }
icon_gone() { ! icon_docked; }
