#!/usr/bin/env bash
# The real program on a real X display with a real tray host: start-up hide, the icon docking
# when the tray comes late and after it restarts, double-click, right-click menu, "&Kapat".
set -uo pipefail
binary=$1
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

cp "$binary" "$work/zelyedek"
# Drive c beside the program: the zip program where a run looks for it, and a folder to back up.
mkdir -p "$work/drives/c/brevund/tarvel/bat" "$work/drives/c/brevund/belgeler"
cp "$(command -v zip)" "$work/drives/c/brevund/tarvel/bat/zip.ex_"
echo veri >"$work/drives/c/brevund/belgeler/veri.txt"
exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
exec 3>&-
within 10 test -s "$work/display" || { echo "FAIL - Xvfb did not start"; exit 1; }
export DISPLAY=":$(head -1 "$work/display")"

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
app_ended() { ! kill -0 "$app" 2>/dev/null; }
now_ms() { echo $(( $(date +%s%N) / 1000000 )); }
icon_center() {  # prints "x y" of the icon's centre on the screen
    icon_geometry | sed -E 's/^([0-9]+)x([0-9]+)\+[-0-9]+\+[-0-9]+ \+(-?[0-9]+)\+(-?[0-9]+)$/\1 \2 \3 \4/' |
        awk '{print $3 + int($1 / 2), $4 + int($2 / 2)}'
}
menu_open() { xwininfo -root -tree 2>/dev/null | grep -q '("zelyedek" "ZEL Yedek")  1[0-9][0-9]x[0-9][0-9]+'; }

# Started before the tray host exists.
(cd "$work" && exec ./zelyedek >"$work/app.log" 2>&1) &
app=$!
pids+=($app)
check "the window is shown at start" within 10 window_visible
shown=$(now_ms)
within 5 window_hidden
hidden_after=$(( $(now_ms) - shown ))
check "the window hides itself about a second after it is shown (${hidden_after} ms)" \
    test "$hidden_after" -ge 500 -a "$hidden_after" -le 3000
check "the program lives on hidden" kill -0 $app

start_tray
check "started before the tray host, the icon appears once the tray runs" within 10 icon_docked
kill $tray_pid
wait $tray_pid 2>/dev/null
start_tray
check "after the tray host restarts, the icon is back" within 10 icon_docked

read -r x y <<<"$(icon_center)"
xdotool mousemove "$x" "$y" click --repeat 2 --delay 80 1
check "a double-click on the icon shows the window" within 5 window_visible

# "Yedekle": the button's middle, in the window's own coordinates.
win=$(xdotool search --onlyvisible --name '^ZEL Yedek$' | head -1)
xdotool mousemove --window "$win" 610 171 click 1
archive_made() { ls "$work"/drives/c/tarvel-yedek/tarvel-yedek*.zip >/dev/null 2>&1; }
check "\"Yedekle\" makes the archive" within 10 archive_made
check "the archive holds the source folder" bash -c "unzip -l $work/drives/c/tarvel-yedek/tarvel-yedek*.zip | grep -q belgeler/veri.txt"

xdotool mousemove "$x" "$y" click 3
check "a right-click opens the menu" within 5 menu_open
import -window root "$work/menu.png" 2>/dev/null
xdotool key k  # the access key of "&Kapat"
check "\"&Kapat\" ends the process" within 5 app_ended
check "\"&Kapat\" removes the icon" within 5 icon_gone

echo "$passes passed, $failures failed"
[ $failures -eq 0 ]
