# Shared by the Wine end-to-end tests, sourced after lib.sh:
#   wine_setup TEMPLATE ZIP_EXE PG_SCRIPT
# A Wine prefix of the test's own in $work/prefix, hard-linked from the booted TEMPLATE (the
# registry files copied: Wine writes them in place, and the template keeps its own); drive c ($c)
# with the Windows zip where a run looks for it and a folder to back up; PostgreSQL through Wine's
# ODBC (sql runs a statement as its owner); and a persistent Wine server. All of it is stopped
# when the test ends. The caller sets WINEDLLOVERRIDES and starts the display and the tray first.
# shellcheck shell=bash
wine_setup() {
    local template=$1 zip_exe=$2
    pg_script=$3
    export WINEPREFIX="$work/prefix" WINEDEBUG=-all
    cp -al "$template" "$WINEPREFIX"
    for reg in "$WINEPREFIX"/*.reg; do cp "$reg" "$reg.own" && mv "$reg.own" "$reg"; done
    c="$WINEPREFIX/drive_c"
    mkdir -p "$c/brevund/tarvel/bat" "$c/brevund/belgeler"
    cp "$zip_exe" "$c/brevund/tarvel/bat/zip.ex_"
    echo veri >"$c/brevund/belgeler/veri.txt"

    chmod 755 "$work"  # the database runs as the postgres user
    bash "$pg_script" start "$work/pg" >/dev/null || echo "FAIL - PostgreSQL did not start"
    # A service inherits the environment of Wine's services.exe, which the first Wine program
    # starts: the data source is set before it.
    export ODBCSYSINI="$work/pg/odbc"
    # Wine's ODBC does not pass the connection string's uid and pwd on to unixODBC (the server
    # then sees the Linux user); the data source carries them as well, as the program's string
    # gives them.
    printf 'Username = zelrpt\nPassword = qapfin\n' >>"$ODBCSYSINI/odbc.ini"

    # Up before any Wine program: one that came first would start a server of its own, which
    # ends (and takes the services with it) seconds after the last program. Returns once it listens.
    trap wine_stop_all EXIT
    wineserver -p >/dev/null 2>&1 || { echo "FAIL - no persistent Wine server"; failures=$((failures + 1)); }
    # The first Wine program starts the prefix's services, and each service inherits its
    # environment and its standard error: a test that wants Wine's debug output of a service sets
    # services_debug (a WINEDEBUG) and services_log (a file) before.
    WINEDEBUG=${services_debug:-$WINEDEBUG} wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f \
        >/dev/null 2>>"${services_log:-/dev/null}"
}

# The copies of the program that this test started (in $work/app unless given a folder), their
# windows and the tray icon Wine docks for them.
# This test's copies, oldest first: Wine names each copy's process after its exe, and other tests
# on the machine may run theirs in other prefixes. By start time, not by number: numbers wrap.
copy_pids() {
    local pid
    for pid in $(ps -o pid= --sort=start_time -C zelyedek.exe); do
        tr '\0' '\n' 2>/dev/null <"/proc/$pid/environ" | grep -qxF "WINEPREFIX=$WINEPREFIX" && echo "$pid"
    done
}
copies() { copy_pids | wc -l; }
newest_copy_windows() { xdotool search --onlyvisible --pid "$(copy_pids | tail -1)" 2>/dev/null; }
start_copy() { (cd "${1:-$work/app}" && exec wine zelyedek.exe >>"$work/app.log" 2>&1) & pids+=($!); }
main_window() { xdotool search --onlyvisible --name '^ZEL Yedek$' 2>/dev/null | head -1; }
wine_icon() {
    xwininfo -root -tree 2>/dev/null | awk '/"panel": \("panel" "trayer"\)/ {p=1; next}
        p && /\("explorer.exe"/ {print $(NF-1) " " $NF; exit} p && /^     0x/ {p=0}'
}
icon_docked() { [ -n "$(wine_icon)" ]; }
icon_gone() { ! icon_docked; }
icon_center() {
    wine_icon | sed -E 's/^([0-9]+)x([0-9]+)\+[-0-9]+\+[-0-9]+ \+(-?[0-9]+)\+(-?[0-9]+)$/\1 \2 \3 \4/' |
        awk '{print $3 + int($1 / 2), $4 + int($2 / 2)}'
}
click_in_window() { xdotool mousemove --window "$(main_window)" "$1" "$2" click 1; }
untitled_window() {  # a shown window of the program without a title: a tooltip, a menu
    for w in $(newest_copy_windows); do
        [ -z "$(xdotool getwindowname "$w" 2>/dev/null)" ] && return 0
    done
    return 1
}
sql() { psql -h "$work/pg" -p "$(cat "$work/pg/port")" -U postgres -d zel -qAt -c "$1"; }
wine_stop_all() {
    wineserver -k >/dev/null 2>&1
    bash "$pg_script" stop "$work/pg" >/dev/null 2>&1
    cleanup
}
