#!/usr/bin/env bash
# Two copies of the real program from one folder: the second says so, shows the first and ends,
# also in the middle of a backup run, and also when another user starts it; the first keeps its icon, its settings file and its
# disconnect service; after the first is killed a new start runs normally.
#   single_instance_e2e.sh BINARY PG_SCRIPT PG_DIR
set -uo pipefail
binary=$1
pg_script=$2
pg_dir=$3
source "$(dirname "$0")/lib.sh"

prepare_program "$binary"
zip_noting_runs 3
mkdir -p "$work/drives/c/progress/openedge/bin"
cat >"$work/drives/c/progress/openedge/bin/proshut.bat" <<SH
#!/bin/sh
echo "\$@" >>"$work/proshut.log"
SH
chmod +x "$work/drives/c/progress/openedge/bin/proshut.bat"
printf '%s\r\n' 'c:\brevund\belgeler' 'c:\tarvel-yedek' '' 'c:\tarvel-yedek' '' 'c:\tarvel-yedek' '' \
    'c:\tarvel-yedek' 0 05:00:00 0 17:00:00 0 12:00:00 >"$work/TarvelYedek.ini"
mkdir -m 700 "$work/runtime"
export XDG_RUNTIME_DIR="$work/runtime" ODBCSYSINI="$pg_dir/odbc"
sql() { psql -h "$pg_dir" -p "$(cat "$pg_dir/port")" -U postgres -d zel -qAt -c "$1"; }

start_display
start_tray
start_copy() {  # starts a copy and prints its pid
    start_app "$work/app.log" ./zelyedek
    echo "$app_pid"
}
icons() { xwininfo -root -tree 2>/dev/null | awk '/"panel": \("panel" "trayer"\)/ {p=1; next}
    p && /\("zelyedek"/ {n++} p && /^     0x/ {p=0} END {print n+0}'; }
# The second copy's message: a dialog window of its process (Qt on X11 shows the program's name
# where a window has no title of its own, so the title cannot tell).
message_window() { xdotool search --onlyvisible --pid "$1" 2>/dev/null | while read -r w; do
    xprop -id "$w" _NET_WM_WINDOW_TYPE 2>/dev/null | grep -q _NET_WM_WINDOW_TYPE_DIALOG && echo "$w"; done | head -1; }
message_shown() { [ -n "$(message_window "$1")" ]; }
export -f message_window message_shown
answer_ok() {  # OK is the message's only button and has the focus
    local w
    w=$(message_window "$1")
    [ -n "$w" ] && xdotool windowfocus --sync "$w" key Return 2>/dev/null
}
ended() { ! kill -0 "$1" 2>/dev/null; }
first_window_shown() { [ -n "$(xdotool search --onlyvisible --pid "$first" --name '^ZEL Yedek$' 2>/dev/null)" ]; }
served() { [ -s "$work/proshut.log" ]; }

# The first copy's start-up clears the old requests: its statement in the server's log.
pg_log="$pg_dir/log/postgresql.log"
log_before=$(stat -c %s "$pg_log" 2>/dev/null || echo 0)
old_requests_cleared() { tail -c +$((log_before + 1)) "$pg_log" | grep -q 'statement: DELETE FROM zelDisconnect$'; }

first=$(start_copy)
within 10 icon_docked
within 5 window_hidden
settings_before=$(md5sum <"$work/TarvelYedek.ini")

# A request waiting when the second copy starts belongs to the first: served once, by it.
within 15 old_requests_cleared || echo "(the first copy's start-up did not clear the old requests in 15 s)"
sql 'INSERT INTO pub."zelDisconnect" VALUES (7)'
second=$(start_copy)
check "the second copy shows its message" within 10 message_shown "$second"
check "while the message is open there is one icon ($(icons))" test "$(icons)" -eq 1
check "the first window stays hidden until OK" window_hidden
answer_ok "$second"
check "after OK the second copy ends" within 5 ended "$second"
check "after OK the first copy's window is on screen" within 5 first_window_shown
check "the first copy and its icon remain ($(icons))" bash -c "kill -0 $first && [ $(icons) -eq 1 ]"
check "the settings file is byte for byte unchanged" test "$(md5sum <"$work/TarvelYedek.ini")" = "$settings_before"
# Its database steps ran while its message was open; only the first copy tells of the connection.
connection_lines() { grep -c 'Veritabanı bağlantısı' "$work/TarvelYedek.log"; }
check "the second copy adds no line to the run log ($(connection_lines) connection lines)" \
    test "$(connection_lines)" -eq 1
check "the waiting request is served by the first copy" within 15 served
sleep 1
check "and only once ($(wc -l <"$work/proshut.log" 2>/dev/null))" test "$(wc -l <"$work/proshut.log")" -eq 1
row_gone() { [ "$(sql 'SELECT count(*) FROM pub."zelDisconnect"')" = 0 ]; }
check "the request row is gone" within 10 row_gone

# A third copy while the first is in the middle of a run (its zip takes 3 s).
win=$(xdotool search --onlyvisible --pid "$first" --name '^ZEL Yedek$' | head -1)
xdotool mousemove --window "$win" 610 171 click 1
one_run() { [ "$(runs)" -ge 1 ]; }
within 5 one_run
third=$(start_copy)
check "a copy started during a run shows its message" within 10 message_shown "$third"
answer_ok "$third"
check "and ends after OK" within 5 ended "$third"
archive_made() { ls "$work"/drives/c/tarvel-yedek/tarvel-yedek*.zip >/dev/null 2>&1; }
check "the run finishes with its archive" within 15 archive_made
check "one run, one icon ($(runs), $(icons))" bash -c "[ $(runs) -eq 1 ] && [ $(icons) -eq 1 ] && kill -0 $first"

# The same folder started by another user: that copy gives way too, though it cannot reach the
# first copy's window.
if [ "$(id -u)" -eq 0 ]; then
    chmod 755 "$work"
    mkdir -m 700 "$work/other-user" && chown nobody:nogroup "$work/other-user"
    start_app "$work/app-other-user.log" setpriv --reuid=nobody --regid=nogroup --clear-groups \
        env XDG_RUNTIME_DIR="$work/other-user" HOME="$work/other-user" ./zelyedek
    other_user=$app_pid
    check "another user's copy of the folder shows the message" within 10 message_shown "$other_user"
    answer_ok "$other_user"
    check "and ends after OK" within 5 ended "$other_user"
    check "the first copy runs on with one icon ($(icons))" bash -c "kill -0 $first && [ $(icons) -eq 1 ]"
else
    echo "(not root: the copy of another user is not tried)"
fi

# A copy killed outright must not block the next start.
kill -9 "$first"
within 5 ended "$first"
fourth=$(start_copy)
check "after kill -9 a new start shows its window" within 10 window_visible
check "and its icon" within 10 icon_docked
check "and hides itself as usual" within 5 window_hidden
check "with no message, and it runs on" bash -c "! message_shown $fourth && kill -0 $fourth"
check "one icon ($(icons))" test "$(icons)" -eq 1

finish
