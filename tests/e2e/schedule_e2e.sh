#!/usr/bin/env bash
# The real program runs three scheduled backups a few seconds apart while its database server
# is frozen (every server process stopped, as on a hung machine): the window, the icon and the
# schedule must not wait for it, and "&Kapat" waits for the queued records 3 s at most.
#   schedule_e2e.sh BINARY PG_SCRIPT PG_DIR
set -uo pipefail
binary=$1
pg_script=$2
pg_dir=$3
source "$(dirname "$0")/lib.sh"

prepare_program "$binary"
zip_noting_runs 0

start_display
start_tray
bash "$pg_script" freeze "$pg_dir"
thaw() { bash "$pg_script" thaw "$pg_dir"; }
trap 'thaw; cleanup' EXIT

# Pair 1 backs up c:\brevund\belgeler; the other pairs have no source. Slots 6, 10 and 14 s after
# the start (a slot that passed before the program started is not due).
start=$(date +%s)
slot() { date -d "@$((start + $1))" +%T; }
slots=("$(slot 6)" "$(slot 10)" "$(slot 14)")
printf '%s\r\n' 'c:\brevund\belgeler' 'c:\tarvel-yedek' '' 'c:\tarvel-yedek' '' 'c:\tarvel-yedek' '' \
    'c:\tarvel-yedek' 1 "${slots[0]}" 1 "${slots[1]}" 1 "${slots[2]}" >"$work/TarvelYedek.ini"
started=$(now_ms)
start_app "$work/app.log" env ODBCSYSINI="$pg_dir/odbc" ./zelyedek
app=$app_pid
within 10 icon_docked
icon_after=$(( $(now_ms) - started ))
check "with the server frozen, the icon is in the tray ${icon_after} ms after the start at $(slot 0)" \
    test "$icon_after" -le 2000
check "the window hid itself a second after start" within 5 window_hidden

three_runs() { [ "$(runs)" -ge 3 ]; }
within 30 three_runs
check "three slots started three runs ($(runs))" test "$(runs)" -eq 3
# Each slot's run starts in its own second (or a moment after it, should a tick come late).
late_by() {  # seconds between a slot time and the first run at or after it, within 3 s
    local want=$1 t
    while read -r t; do
        local d=$(( $(date -d "$t" +%s) - $(date -d "$want" +%s) ))
        if [ $d -ge 0 ] && [ $d -lt 3 ]; then echo $d; return 0; fi
    done <"$work/runs.log"
    return 1
}
for s in "${slots[@]}"; do
    check "the slot of $s ran" late_by "$s"
done
archive=$(ls "$work"/drives/c/tarvel-yedek/tarvel-yedek*.zip 2>/dev/null | head -1)
check "the archive holds the source folder" bash -c "unzip -l '$archive' | grep -q veri.txt"
check "the program still runs" kill -0 "$app"
check "its window is hidden again after the last run" window_hidden

# "&Kapat" while the last records still wait behind logins to the frozen server.
# A right-click now and then reaches the tray host before the icon takes it: it is tried again.
for attempt in 1 2 3; do
    read -r x y <<<"$(icon_center)"
    xdotool mousemove "$x" "$y" click 3
    within 5 menu_open && break
done
xdotool key k
pressed=$(now_ms)
icon_gone_program_waits() { icon_gone && kill -0 "$app" 2>/dev/null; }
check "\"&Kapat\" removes the icon while the program waits for its records" within 2 icon_gone_program_waits
within 10 app_ended
ended_after=$(( $(now_ms) - pressed ))
check "it ends 3 s later (${ended_after} ms)" test "$ended_after" -ge 2500
check "the run log says they were not written" grep -q 'kapanırken 3 sn içinde bitmedi' "$work/TarvelYedek.log"
[ $failures -gt 0 ] && { echo "--- runs started at"; cat "$work/runs.log" 2>/dev/null; echo "--- run log"; cat "$work/TarvelYedek.log" 2>/dev/null; }

finish
