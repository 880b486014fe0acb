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

start_display() {  # [WIDTHxHEIGHTxDEPTH], 1024x768x24 unless given
    exec 3>"$work/display"
    Xvfb -displayfd 3 -screen 0 "${1:-1024x768x24}" -nolisten tcp >/dev/null 2>&1 &
    pids+=($!)
    exec 3>&-
    within 10 test -s "$work/display" || { echo "FAIL - Xvfb did not start"; exit 1; }
    export DISPLAY=":$(head -1 "$work/display")"
}

# Xvfb closes a new client now and then, more often on a loaded machine. The X tools try again
# when the display refused them; a program it refused is started again.
x_again() {
    local err rc attempt
    err=$(mktemp)
    for attempt in 1 2 3 4 5; do
        "$@" 2>"$err"
        rc=$?
        [ $rc -ne 0 ] && grep -qiE "can't open display|unable to open display" "$err" || break
        sleep 0.1
    done
    cat "$err" >&2
    rm -f "$err"
    return $rc
}
xdotool() { x_again command xdotool "$@"; }
xwininfo() { x_again command xwininfo "$@"; }
xprop() { x_again command xprop "$@"; }
setxkbmap() { x_again command setxkbmap "$@"; }
export -f x_again xdotool xwininfo xprop setxkbmap

# start_app LOG COMMAND...: starts COMMAND in $work, its output added to LOG, its pid in $app_pid.
start_app() {
    local log=$1 attempt before
    shift
    for attempt in 1 2 3; do
        before=$(stat -c %s "$log" 2>/dev/null || echo 0)
        (cd "$work" && exec "$@" >>"$log" 2>&1) &
        app_pid=$!
        pids+=($app_pid)
        # On the display once it has made a window, mapped or not.
        within 10 on_display_or_ended "$app_pid"
        kill -0 "$app_pid" 2>/dev/null && return 0
        tail -c +$((before + 1)) "$log" | grep -q "could not connect to display" || return 0
        echo "(the display refused the program's connection; starting it again)" >&2
    done
}
on_display_or_ended() { ! kill -0 "$1" 2>/dev/null || [ -n "$(xdotool search --pid "$1" 2>/dev/null | head -1)" ]; }

tray_up() { kill -0 "$tray_pid" 2>/dev/null && xwininfo -root -tree 2>/dev/null | grep -q '"panel": ("panel" "trayer")'; }
tray_up_or_ended() { ! kill -0 "$tray_pid" 2>/dev/null || tray_up; }
start_tray() {
    local attempt
    for attempt in 1 2 3; do
        trayer --edge bottom --align right --widthtype request --height 32 >/dev/null 2>&1 &
        tray_pid=$!
        pids+=($tray_pid)
        within 10 tray_up_or_ended
        tray_up && return 0
        kill "$tray_pid" 2>/dev/null
    done
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
icon_center() {  # prints "x y" of the icon's centre on the screen
    icon_geometry | sed -E 's/^([0-9]+)x([0-9]+)\+[-0-9]+\+[-0-9]+ \+(-?[0-9]+)\+(-?[0-9]+)$/\1 \2 \3 \4/' |
        awk '{print $3 + int($1 / 2), $4 + int($2 / 2)}'
}
menu_open() { xwininfo -root -tree 2>/dev/null | grep -q '("zelyedek" "ZEL Yedek")  1[0-9][0-9]x[0-9][0-9]+'; }
app_ended() { ! kill -0 "$app" 2>/dev/null; }
