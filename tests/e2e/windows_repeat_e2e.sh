#!/usr/bin/env bash
# The tray program's start, a double-click, a run that fails (the target's parent is missing, so
# zip ends with 15) and "&Kapat", again and again with both cores kept busy and Wine's heap checks
# on: a crash around a run's start (the database and mail threads, the runner's waits, the
# follower) or a damaged heap shows here, with the backtrace Wine's debugger prints.
#   windows_repeat_e2e.sh ZELYEDEK_EXE ZIP_EXE PG_SCRIPT [TIMES]   (WINEPREFIX: a booted prefix)
set -uo pipefail
exe=$1
zip_exe=$2
pg_script=$3
times=${4:-3}
template=${WINEPREFIX:?a booted Wine prefix to copy}
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/wine_lib.sh"

export WINEDLLOVERRIDES="mscoree,mshtml="
start_display
start_tray
wine_setup "$template" "$zip_exe" "$pg_script"
mkdir -p "$work/app"
cp "$exe" "$work/app/zelyedek.exe"
printf '%s\r\n' 'c:\brevund\belgeler' 'c:\yok\hedef' '' '' '' '' '' '' 0 05:00:00 0 17:00:00 0 12:00:00 \
    >"$work/app/TarvelYedek.ini"
run_log() { cat "$work/app/TarvelYedek.log" 2>/dev/null; }
count() { run_log | grep -c "$1"; }
at_least() { [ "$(count "$1")" -ge "$2" ]; }
no_copy() { [ "$(copies)" -eq 0 ]; }

# Both cores busy, as on the machine where the crash was seen; niced, so that the program and
# Wine still get their turns.
for _ in 1 2; do
    nice -n 10 bash -c 'while :; do :; done' &
    pids+=($!)
done

export WINEDEBUG=warn+heap
clean=0
for ((i = 1; i <= times; i++)); do
    start_copy
    # A step that fails ends this round: the rest would only fail after it.
    step() {
        if "${@:2}"; then check "$i: $1" true; else check "$i: $1" false; return 1; fi
    }
    {
        step "the icon docks" within 30 icon_docked &&
            step "and the window hides itself" within 10 window_hidden &&
            read -r x y <<<"$(icon_center)" &&
            xdotool mousemove "$x" "$y" click --repeat 2 --delay 80 1 &&
            step "a double-click shows the window" within 10 window_visible &&
            step "the database connection is in the run log" within 60 at_least 'Veritabanı bağlantısı' "$i" &&
            click_in_window 613 193 &&
            step "\"Yedekle\" runs and fails with zip's code 15" within 60 at_least 'zip hata kodu 15' "$i" &&
            step "and the run ends" within 30 at_least 'Yedekleme bitti' "$i" &&
            read -r x y <<<"$(icon_center)" &&
            xdotool mousemove "$x" "$y" click 3 &&
            step "the icon's menu opens" within 10 untitled_window &&
            xdotool key k &&
            step "\"&Kapat\" ends the program" within 20 no_copy &&
            clean=$((clean + 1))
    } || {
        wineserver -k >/dev/null 2>&1
        within 20 no_copy
    }
done
check "$clean of $times starts, runs and ends were clean" test "$clean" -eq "$times"
# Wine's own words for a crash, and what its heap checks say of a block freed twice or damaged.
crash='wine: Unhandled|:heap:'
check "Wine saw no crash and no damaged heap" bash -c "! grep -qE '$crash' '$work/app.log'"
grep -E -A30 "$crash" "$work/app.log" | head -60 | sed 's/^/#   /'
finish
