#!/usr/bin/env bash
# The service with nobody watching: a slot that fails while no window is connected is heard by
# the first window that connects (with its time) and by no later one, also across a restart of
# the service; the journal gets every event with its priority; --durum exits as monitoring
# plugins expect (0 ok, 1 warnings, 2 failure, 3 no service).
#   service_warnings_e2e.sh BINARY PG_SCRIPT PG_DIR VERSION
set -uo pipefail
binary=$1
pg_dir=$3
version=$4
source "$(dirname "$0")/lib.sh"

prepare_program "$binary"
# A target that cannot be a folder: even root's run fails there.
echo "bir dosya" >"$work/drives/c/dosya"
start=$(date +%s)
slot=$(date -d "@$((start + 15))" +%T)
settings() {  # target of pair 1 [, source and target of pair 2]
    printf '%s\r\n' 'c:\brevund\belgeler' "$1" "${2:-}" "${3:-}" '' '' '' '' 1 "$slot" 0 17:00:00 0 12:00:00 \
        >"$work/TarvelYedek.ini"
}
settings 'c:\dosya'
chmod 755 "$work"
mkdir -m 700 "$work/runtime"
export XDG_RUNTIME_DIR="$work/runtime" ODBCSYSINI="$pg_dir/odbc"
log_has() { grep -q "$1" "$work/TarvelYedek.log" 2>/dev/null; }
journal_has() { grep -q "$1" "$work/journal.log" 2>/dev/null; }

# As systemd starts it: stderr is a stream of the journal, which JOURNAL_STREAM names.
start_service() {
    : >>"$work/journal.log"
    local stream
    stream=$(stat -c '%d:%i' "$work/journal.log")
    (cd "$work" && exec env -u DISPLAY RUNTIME_DIRECTORY="$work" JOURNAL_STREAM="$stream" \
        ./zelyedek --hizmet >>"$work/service.log" 2>>"$work/journal.log") &
    service=$!
    pids+=($service)
    within 10 listening
}
stop_service() {
    kill -TERM "$service"
    within 10 eval '! kill -0 "$service" 2>/dev/null'
}
socket() { ls "$work"/zelyedek-*-hizmet.sock 2>/dev/null | head -1; }
listening() { [ -S "$(socket)" ]; }
durum() {
    (cd "$work" && ./zelyedek --durum >"$work/durum.out" 2>&1)
    echo $?
}
# A window as the channel sees it: its hello, then what the service sends it in two seconds.
raw_window() { { printf 'hello\t%s\twindow\n' "$version"; sleep 2; } | socat -t 1 - "UNIX-CONNECT:$(socket)"; }

start_service
check "the journal hears the start with priority 6" journal_has '^<6>Hizmet başladı$'
ran() { log_has 'Yedekleme bitti'; }
check "the slot of $slot runs with no window connected" within 40 ran
check "the journal hears the run not recorded with priority 3" within 5 journal_has '^<3>Yedekleme kaydı yazılmadı'
check "with its failed pair's line" journal_has '^<3>Yedekleme başarısız: c:\\brevund\\belgeler -> c:\\dosya'
check "and its warning with priority 4" journal_has '^<4>Yedekleme başarısız: c:\\brevund\\belgeler -> c:\\dosya'
check "--durum exits 2 after a run that was not recorded" test "$(durum)" -eq 2
check "its first line says HATA" bash -c "head -1 '$work/durum.out' | grep -q '^HATA: Yedekleme kaydı yazılmadı'"
check "and it lists the held warning" grep -q '^  .* Yedekleme başarısız: c:\\brevund\\belgeler' "$work/durum.out"
check "the warning waits in TarvelYedek.uyari" grep -q 'Yedekleme başarısız' "$work/TarvelYedek.uyari"

# A real window client on a display with a tray: the kept warning's balloon appears beside its
# hidden window; a second client after it has nothing old to show.
start_display
start_tray
visible_of() { xdotool search --onlyvisible --pid "$1" 2>/dev/null | wc -l; }
client_windows() {  # starts a window client, waits until its window hid itself, counts what it shows
    start_app "$work/client$1.log" ./zelyedek
    within 10 icon_docked && within 5 window_hidden && sleep 1
    visible_of "$app_pid" >"$work/client$1.count"
    kill "$app_pid"
    within 5 icon_gone
}
client_windows 1
check "the first window client shows the kept warning (a balloon: $(cat "$work/client1.count") windows shown)" \
    test "$(cat "$work/client1.count")" -ge 1
check "which is kept no longer" bash -c "! grep -q . '$work/TarvelYedek.uyari'"
client_windows 2
check "a second client shows nothing old ($(cat "$work/client2.count") windows shown)" \
    test "$(cat "$work/client2.count")" -lt "$(cat "$work/client1.count")"

# With no window, a run from the shell fails again; the service restarts before anyone looks.
(cd "$work" && ./zelyedek --yedekle >/dev/null 2>&1)
failed_at=$(date +%H:%M)
stop_service
check "the journal hears the stop with priority 6" journal_has '^<6>Hizmet durduruldu'
start_service
raw_window >"$work/window1.out"
check "after a restart the next window gets the warning with its time" \
    grep -qP "^warn\tZEL Yedek\t$failed_at Yedekleme başarısız: c:\\\\\\\\brevund" "$work/window1.out"
raw_window >"$work/window2.out"
check "and the one after it does not" bash -c "! grep -q '^warn' '$work/window2.out'"

# Repaired, with a second pair whose source is missing: the run is recorded, and the missing
# source is a warning of the day.
mkdir -p "$work/drives/c/yedek"
settings 'c:\yedek' 'c:\yok' 'c:\yedek'
stop_service
start_service
(cd "$work" && ./zelyedek --yedekle >/dev/null 2>&1)
check "a recorded run goes to the journal with priority 6" journal_has '^<6>Yedekleme kaydı veritabanına yazıldı'
code=$(durum)
check "--durum exits 1 while a warning of the day is held (exit $code)" test "$code" -eq 1
check "its first line says UYARI" bash -c "head -1 '$work/durum.out' | grep -q '^UYARI: Kaynak klasör yok, atlandı: c:.yok'"
settings 'c:\yedek'
stop_service
start_service
code=$(durum)
check "--durum exits 0 with a recent verified archive and nothing held (exit $code)" test "$code" -eq 0
check "its first line names the newest archive" bash -c "head -1 '$work/durum.out' | grep -q '^TAMAM: son yedek $(date +%Y-%m-%d) '"
stop_service
code=$(durum)
check "--durum exits 3 with no service (exit $code)" test "$code" -eq 3

if [ $failures -gt 0 ]; then
    echo "--- run log"; cat "$work/TarvelYedek.log" 2>/dev/null
    echo "--- journal"; cat "$work/journal.log" 2>/dev/null
    echo "--- durum"; cat "$work/durum.out" 2>/dev/null
    echo "--- windows"; cat "$work/window1.out" "$work/window2.out" 2>/dev/null
fi
finish
