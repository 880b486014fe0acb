#!/usr/bin/env bash
# The program as a machine service with no display at all, the real zip and PostgreSQL: a slot
# fires and its archive is read back and recorded, a disconnect request is served, --durum and
# --yedekle answer from a shell, clients that send garbage, too much or never read cost only
# their own connection. Then window clients on Xvfb: a typed folder lands in the service's file,
# "Yedekle" runs in the service, two windows see each other's changes, a stopped service is
# told and found again. A user outside the group is refused, a watcher may run but not change, a
# manager may change; a shutdown utility others may write is not run; the same user, hostile,
# gets nowhere with a link loop, planted archives and names, or a flood of connections; SIGTERM
# ends it with its log line. With nobody watching, a failed run's warning waits for the first window that connects
# (also across a restart) and no later one; the journal gets every event with its priority;
# --durum exits as monitoring plugins expect (0 ok, 1 warnings, 2 failure, 3 no service). Mail set
# up by a manager through the socket goes to a real SMTP server over STARTTLS: the failed run's,
# and with "hepsi" a good run's; the password is in no answer, log or status. Each run is pinged
# to a dead man's switch over HTTPS (one that hangs costs the run nothing) and node_exporter reads
# its metrics file. Commands before and after a run run from a folder only root may write, never
# from one others may.
#   service_e2e.sh BINARY PG_SCRIPT PG_DIR VERSION
set -uo pipefail
binary=$1
pg_script=$2
pg_dir=$3
version=$4
source "$(dirname "$0")/lib.sh"

prepare_program "$binary"
zip_noting_runs 0
mkdir -p "$work/drives/c/progress/openedge/bin"
cat >"$work/drives/c/progress/openedge/bin/proshut.bat" <<SH
#!/bin/sh
echo "\$@" >>"$work/proshut.log"
SH
chmod +x "$work/drives/c/progress/openedge/bin/proshut.bat"
start=$(date +%s)
slot=$(date -d "@$((start + 20))" +%T)
printf '%s\r\n' 'c:\brevund\belgeler' 'c:\tarvel-yedek' '' 'c:\tarvel-yedek' '' 'c:\tarvel-yedek' '' \
    'c:\tarvel-yedek' 1 "$slot" 0 17:00:00 0 12:00:00 >"$work/TarvelYedek.ini"
chmod 755 "$work"
mkdir -m 700 "$work/runtime"
export XDG_RUNTIME_DIR="$work/runtime" ODBCSYSINI="$pg_dir/odbc"
sql() { psql -h "$pg_dir" -p "$(cat "$pg_dir/port")" -U postgres -d zel -qAt -c "$1"; }
settings_line() { sed -n "$1p" "$work/TarvelYedek.ini" | tr -d '\r'; }
log_has() { grep -q "$1" "$work/TarvelYedek.log" 2>/dev/null; }
# The service runs the system's zip, not zip.ex_ (which would note its runs): its runs are counted
# in the log.
runs() { cat "$work/TarvelYedek.log" 2>/dev/null | grep -c 'Yedekleme başladı'; }

# The service as systemd would start it: its runtime folder given, here the program folder, which
# every user can reach; its stderr a stream of the journal, which JOURNAL_STREAM names; the unit's umask.
start_service() {
    : >>"$work/journal.log"
    local stream
    stream=$(stat -c '%d:%i' "$work/journal.log")
    (cd "$work" && umask 077 && exec env -u DISPLAY RUNTIME_DIRECTORY="$work" JOURNAL_STREAM="$stream" \
        ./zelyedek --hizmet >>"$work/service.log" 2>>"$work/journal.log") &
    service=$!
    pids+=($service)
}
journal_has() { grep -q "$1" "$work/journal.log" 2>/dev/null; }
socket() { ls "$work"/zelyedek-*-hizmet.sock 2>/dev/null | head -1; }
listening() { [ -S "$(socket)" ]; }
status() { (cd "$work" && ./zelyedek --durum); }
# The first line's performance data as monitoring plugins read it ('label'=value[UOM];warn;crit;min;max):
# perfdata AGE WARNINGS, each a pattern for its value.
perfdata() { head -1 "$work/durum.out" | sed -n 's/.* | //p' | grep -qE "^son_yedek_yas=$1;[0-9]*;[0-9]*;0 uyari=$2;;;0\$"; }
answers() { status >/dev/null; [ $? -le 2 ]; }  # 3: nobody answered

start_service
check "the service listens without any display" within 10 listening
status >"$work/durum.out"
check "--durum answers with exit code 0" test $? -eq 0
check "and names the next slot ($slot)" grep -q "Sonraki yedekleme: $slot (bugün)" "$work/durum.out"
check "the journal hears the start with priority 6" journal_has '^<6>Hizmet başladı$'

# Clients that break the rules, then one that never reads what the service sends it.
printf '\x01\xfe garbage\n' | socat -t 2 - "UNIX-CONNECT:$(socket)" >/dev/null 2>&1
head -c 1048576 /dev/zero | tr '\0' a | socat -t 2 - "UNIX-CONNECT:$(socket)" >/dev/null 2>&1
(printf 'hello\t%s\twindow\n' "$version"; sleep 120) | socat -u - "UNIX-CONNECT:$(socket)" &
pids+=($!)
drops() { grep -c "Hizmet bir bağlantıyı kesti" "$work/TarvelYedek.log" 2>/dev/null; }
two_drops() { [ "$(drops)" -ge 2 ]; }
check "garbage and a 1 MB message each cost one connection and one log line" within 5 two_drops
check "the service still answers" answers

slot_ran() { [ "$(runs)" -ge 1 ]; }
check "the slot of $slot fires in the service" within 40 slot_ran
check "its archive is read back" within 10 log_has 'dosya doğrulandı'
check "made by the system's zip: zip.ex_ was neither run nor copied" \
    test ! -e "$work/runs.log" -a ! -e "$work/drives/c/brevund/tarvel/bat/zip.exe"
archive=$(ls "$work"/drives/c/tarvel-yedek/*.zip | head -1)
check "the archive has no group or other read ($(stat -c %a "$archive"))" test "$(stat -c %a "$archive")" = 600
recorded() { [ -n "$(sql 'SELECT zelparametervalue FROM pub.zelparameter WHERE zelparameterid=1000')" ]; }
check "and recorded in the history" within 15 recorded
check "the journal hears the recorded run with priority 6" within 5 journal_has '^<6>Yedekleme kaydı veritabanına yazıldı'
sql 'INSERT INTO pub."zelDisconnect" VALUES (7)' >/dev/null
served() { grep -q 'disconnect 7' "$work/proshut.log" 2>/dev/null; }
check "a disconnect request is served" within 25 served
chmod o+w "$work/drives/c/progress/openedge/bin"
sql 'INSERT INTO pub."zelDisconnect" VALUES (8)' >/dev/null
check "a shutdown utility in a folder others may write is not run" \
    within 25 log_has 'Kapatma programı güvenli bir klasörde değil: c:\\progress\\openedge\\bin\\proshut.bat (.*bin: herkes)'
check "and its request stays in the table" test "$(sql 'SELECT count(*) FROM pub."zelDisconnect"')" -eq 1
served8() { grep -q 'disconnect 8' "$work/proshut.log" 2>/dev/null; }
chmod o-w "$work/drives/c/progress/openedge/bin"
check "once only administrators may change it again, the request is served" within 25 served8

(cd "$work" && ./zelyedek --yedekle) >"$work/yedekle.out" 2>&1
check "--yedekle runs and exits 0 once the run is recorded" test $? -eq 0
check "printing each pair's line" grep -q 'brevund\\belgeler' "$work/yedekle.out"
check "up to the run's last before it ends" grep -q 'Yedekleme bitti' "$work/yedekle.out"

if [ "$(id -u)" -eq 0 ]; then
    created_group=0
    getent group zelyedek >/dev/null || { groupadd --system zelyedek && created_group=1; }
    as_nobody() { setpriv --reuid=nobody --regid=nogroup "$@" env -u XDG_RUNTIME_DIR ./zelyedek --durum; }
    (cd "$work" && as_nobody --clear-groups) >"$work/stranger.out" 2>&1
    check "a user outside the group is refused (exit $?)" grep -q "Bu hizmete bağlanma izniniz yok" "$work/stranger.out"
    # Membership as adduser gives it: the group's member list.
    gpasswd -a nobody zelyedek >/dev/null
    (cd "$work" && as_nobody --clear-groups) >/dev/null 2>&1
    # 0 to 2: the service's own answer (the day's warnings make it 1); 3 would be no answer.
    check "a member of the group zelyedek is served (exit $?)" test $? -le 2
    # A watcher's change is refused and told; its "Yedekle" runs. The same user as a manager changes
    # the folder, but not to a text that would break zip's command line.
    # Its messages, then two seconds to hear the answers before it hangs up.
    as_window() {
        { cat; sleep 2; } |
            (cd "$work" && setpriv --reuid=nobody --regid=nogroup --clear-groups socat -t 1 - "UNIX-CONNECT:$(socket)")
    }
    message() { local IFS=$'\t'; printf '%s\n' "${*//\\/\\\\}"; }  # fields by tabs, \ as \\
    runs_before=$(runs)
    { message hello "$version" window; message source 1 'c:\izleyici'; message run; } | as_window >"$work/watcher.out"
    check "a member of zelyedek is welcomed as a watcher" grep -qP '^welcome\twatcher$' "$work/watcher.out"
    check "whose change is refused with its message" grep -qP '^denied\tBu ayarı değiştirme izniniz yok$' "$work/watcher.out"
    check "and the run log's line" log_has 'Ayar değişikliği reddedildi (kullanıcı [0-9]*): Bu ayarı'
    check "the settings file keeps its line" test -z "$(settings_line 3)"
    watcher_ran() { [ "$(runs)" -gt "$runs_before" ]; }
    check "the watcher's \"Yedekle\" runs a backup" within 15 watcher_ran
    created_managers=0
    getent group zelyedek-yonetim >/dev/null || { groupadd --system zelyedek-yonetim && created_managers=1; }
    gpasswd -a nobody zelyedek-yonetim >/dev/null
    attack='c:\out" -T -TT "sh /tmp/x #'
    { message hello "$version" window; message source 1 'c:\yonetici'; message target 1 "$attack"; } |
        as_window >"$work/manager.out"
    check "a member of zelyedek-yonetim is welcomed as a manager" grep -qP '^welcome\tmanager$' "$work/manager.out"
    typed_by_manager() { [ "$(settings_line 3)" = 'c:\yonetici' ]; }
    check "and changes the folder" within 5 typed_by_manager
    check "the settings file it saved is the service's alone ($(stat -c %a "$work/TarvelYedek.ini"))" \
        test "$(stat -c %a "$work/TarvelYedek.ini")" = 600
    check "but a target that would break zip's line is refused" \
        grep -qF "$(message denied "Geçersiz klasör adı: $attack")" "$work/manager.out"
    check "and not saved" test "$(settings_line 4)" = 'c:\tarvel-yedek'

    # The same user turns hostile, first as a watcher, then in neither group. The manager sets up
    # what it will attack: two archives kept, and a slot a minute or two ahead (in a minute of its
    # own, so that its archive's name is no earlier run's) that must still run.
    slot2_at=$(( ($(date +%s) + 45) / 60 * 60 + 65 ))
    slot2=$(date -d "@$slot2_at" +%T)
    { message hello "$version" window; message keep 2; message time 1 "$slot2"; message switch 1 1; } |
        as_window >/dev/null
    gpasswd -d nobody zelyedek-yonetim >/dev/null
    as_nobody_run() { setpriv --reuid=nobody --regid=nogroup --clear-groups "$@"; }
    flood() {  # flood UNTIL: connections opened and dropped as fast as one process can, until then
        as_nobody_run /usr/bin/python3 -c 'import socket, sys, time
while time.time() < float(sys.argv[2]):
    s = socket.socket(socket.AF_UNIX)
    try: s.connect(sys.argv[1])
    except OSError: pass
    s.close()' "$(socket)" "$1"
    }
    rss_kb() { awk '/^VmRSS/ {print $2}' "/proc/$service/status"; }
    flood $(($(date +%s) + 3))
    check "a watcher's flood of connections leaves the service answering" answers
    gpasswd -d nobody zelyedek >/dev/null

    # 1: a link loop in a folder of the source that the attacker may write.
    mkdir "$work/drives/c/brevund/belgeler/ortak" && chown nobody "$work/drives/c/brevund/belgeler/ortak"
    as_nobody_run ln -s . "$work/drives/c/brevund/belgeler/ortak/s1"
    as_nobody_run ln -s . "$work/drives/c/brevund/belgeler/ortak/s2"
    timeout 60 bash -c "cd '$work' && ./zelyedek --yedekle" >"$work/loop.out" 2>&1
    check "a link loop in the source fails the pair at once (exit $?)" \
        grep -q 'kaynakta kendi üst klasörüne dönen bir bağlantı var' "$work/loop.out"
    check "and costs the service no memory ($(rss_kb) kB)" test "$(rss_kb)" -lt 200000
    rm -rf "$work/drives/c/brevund/belgeler/ortak"

    # 2 and 3: in a target folder everybody may write, an archive of the attacker's under the
    # slot's names, and names from the future for retention to count.
    target="$work/drives/c/tarvel-yedek"
    chmod 1777 "$target"
    real_before=$(find "$target" -name '*.zip' -user root | wc -l)
    planted=()
    for at in "$slot2_at" "$((slot2_at + 60))"; do
        planted+=("$target/tarvel-yedek$(date -d "@$at" +%Y%m%d.%H%M).zip")
    done
    as_nobody_run /usr/bin/python3 -c 'import os, sys, zipfile
os.umask(0)
for name in sys.argv[1:]:
    with zipfile.ZipFile(name, "w") as z: z.writestr("saldiri.txt", "benim")' \
        "${planted[@]}" "$target/tarvel-yedek20991231.2358.zip" "$target/tarvel-yedek20991231.2359.zip"
    # 5: a flood of refused connections over the slot's second.
    flood $((slot2_at + 5)) &
    flooder=$!
    slot2_ran() { log_has "zamanlama 2, $slot2"; }
    check "the slot of $slot2 still runs" within 150 slot2_ran
    wait $flooder
    check "the flood is told in the log a few times, not once a connection" \
        test "$(grep -c 'Hizmete bağlanma reddedildi' "$work/TarvelYedek.log")" -le 4
    check "the log keeps its start line" log_has 'Hizmet başladı'
    check "the service's memory stays small ($(rss_kb) kB)" test "$(rss_kb)" -lt 100000
    own_sound() {
        local own
        own=$(find "$target" -name '*.zip' -user root -newer "$work/loop.out" | head -1)
        [ -n "$own" ] && [ "$(stat -c %a "$own")" = 600 ] && ! unzip -l "$own" | grep -q saldiri
    }
    check "the slot's archive is the service's own, 0600, without the attacker's entry" within 30 own_sound
    check "the attacker's file under its name was set aside unopened" log_has 'açılmadan kenara alındı'
    check "names from the future did not age out the real archives" \
        test "$(find "$target" -name '*.zip' -user root | wc -l)" -ge "$((real_before < 2 ? real_before + 1 : 2))"
    check "nor were they deleted" test -e "$target/tarvel-yedek20991231.2359.zip"
    find "$target" -user nobody -delete
    chmod 755 "$target"
    check "the service still answers" answers
    [ $created_managers -eq 1 ] && groupdel zelyedek-yonetim
    [ $created_group -eq 1 ] && groupdel zelyedek
else
    echo "(not root: users other than this one are not tried)"
fi

# A window client: its user's session, a display, a tray.
start_display
start_tray
main_window() { xdotool search --onlyvisible --name '^ZEL Yedek$' 2>/dev/null | head -1; }
show_window() {
    xdotool search --name '^ZEL Yedek$' | head -1 | xargs -r xdotool windowmap --sync
    within 5 window_visible && xdotool windowfocus --sync "$(main_window)"
}
# Into source box $1 (0..3): the text $2, then Tab.
type_source() {
    xdotool mousemove --window "$(main_window)" 250 $((21 + 34 * $1)) click 1
    xdotool key ctrl+a type "$2"
    xdotool key Tab
}
start_app "$work/client.log" ./zelyedek
client=$app_pid
check "the window client shows its window and icon" within 10 icon_docked
check "and hides itself after a second" within 5 window_hidden
show_window
type_source 1 'c:\istemci'
typed() { [ "$(settings_line "$1")" = "$2" ]; }  # line 3 is source box 1, line 5 box 2
check "a folder typed in the client (then Tab) lands in the service's file" within 5 typed 3 'c:\istemci'
runs_before=$(runs)
xdotool mousemove --window "$(main_window)" 610 171 click 1
ran_again() { [ "$(runs)" -gt "$runs_before" ]; }
check "\"Yedekle\" in the client makes a run in the service" within 10 ran_again

# A second window in another session on another display: it must have seen the first one's
# change, or leaving its box would write the old folder back.
mkdir -m 700 "$work/runtime2"
exec 3>"$work/display2"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
exec 3>&-
within 10 test -s "$work/display2"
display2=":$(head -1 "$work/display2")"
on2() { DISPLAY=$display2 "$@"; }
DISPLAY=$display2 XDG_RUNTIME_DIR="$work/runtime2" start_app "$work/client2.log" ./zelyedek
check "a second window client starts in another session" kill -0 "$app_pid"
client2=$app_pid
show_window
type_source 2 'c:\birinci'
within 5 typed 5 'c:\birinci'
sleep 1
on2 show_window
on2 xdotool mousemove --window "$(on2 main_window)" 250 $((21 + 34 * 2)) click 1
on2 xdotool key Tab
sleep 0.5
check "the second window had the first one's change within a second" typed 5 'c:\birinci'

# A second service on the folder gives way, and says so in the run log.
(cd "$work" && exec env -u DISPLAY RUNTIME_DIRECTORY="$work" ./zelyedek --hizmet >"$work/second.out" 2>&1)
code=$?
check "a second service on the folder exits 1 (exit $code)" test "$code" -eq 1
check "and the run log says why" log_has 'Program zaten çalışıyor! Hizmet başlamadı: bu klasörün hizmeti zaten çalışıyor'

# The service stopped: it says so in its log, and the windows say so too; started again, they
# come back by themselves and their changes land again.
key=$(basename "$(socket)" -hizmet.sock)
kill -TERM "$service"
stopped_at=$(now_ms)
service_ended() { ! kill -0 "$service" 2>/dev/null; }
within 10 service_ended
check "SIGTERM ends the service in $(( $(now_ms) - stopped_at )) ms (at most 5 s)" test $(( $(now_ms) - stopped_at )) -le 5000
check "with its line in the log" log_has 'Hizmet durduruldu'
check "the window client runs on" kill -0 "$client"
# A user in neither group holds the lock file that every copy may open: the service starts all the
# same, and its log names who holds it.
setpriv --reuid=nobody --regid=nogroup --clear-groups flock "/tmp/$key.lock" sleep 60 &
squatter=$!
pids+=($squatter)
squatting() { grep -q ":$(stat -c '%i' "/tmp/$key.lock" 2>/dev/null) " /proc/locks 2>/dev/null; }
within 5 squatting
start_service
within 10 listening
check "the service starts while another user holds /tmp/$key.lock" kill -0 "$service"
check "and its log names the holder" log_has "Kilit başka bir program tarafından tutuluyor: /tmp/$key.lock (pid [0-9]*, kullanıcı $(id -u nobody), /usr/bin/flock)"
kill "$squatter" 2>/dev/null
sleep 11  # the clients try again every 10 s
show_window
type_source 1 'c:\geri'
check "the window found the service again by itself" within 5 typed 3 'c:\geri'

# A stop in the middle of a big zip: zip ends with it, and nothing unread keeps a .zip name.
kill -TERM "$service"
within 10 service_ended
mkdir -p "$work/drives/c/buyuk"
head -c 150000000 /dev/urandom >"$work/drives/c/buyuk/veri.db"
printf '%s\r\n' 'c:\buyuk' 'c:\buyuk-yedek' '' '' '' '' '' '' 0 05:00:00 0 17:00:00 0 12:00:00 >"$work/TarvelYedek.ini"
start_service
within 10 listening
(cd "$work" && ./zelyedek --yedekle >/dev/null 2>&1 &)
zipping() { pgrep -f '/usr/bin/zip .*buyuk-yedek' >/dev/null; }
check "a big zip runs" within 10 zipping
kill -TERM "$service"
within 10 service_ended
check "the stop ended zip too" within 2 eval '! zipping'
check "and its end line says so" log_has 'Hizmet durduruldu; yarıda kalan yedekleme kaydedilmedi: c:\\buyuk -> c:\\buyuk-yedek (zip durduruldu'
check "no archive nor work file of it is left as if good" \
    test -z "$(ls "$work/drives/c/buyuk-yedek" | grep -E '\.zip$|^zi.{6}$')"
check "the journal hears the stop with priority 6" journal_has '^<6>Hizmet durduruldu'

# With nobody watching: the windows closed, a run that fails (a target that is a file, which even
# root cannot make a folder of).
kill "$client" "$client2" 2>/dev/null
clients_ended() { ! kill -0 "$client" 2>/dev/null && ! kill -0 "$client2" 2>/dev/null; }
within 10 clients_ended
echo "bir dosya" >"$work/drives/c/dosya"
settings() {  # target of pair 1 [, source and target of pair 2]
    printf '%s\r\n' 'c:\brevund\belgeler' "$1" "${2:-}" "${3:-}" '' '' '' '' 0 05:00:00 0 17:00:00 0 12:00:00 \
        >"$work/TarvelYedek.ini"
}
restart_service() {
    kill -TERM "$service" 2>/dev/null
    within 10 service_ended
    start_service
    within 10 listening
}
durum() {
    (cd "$work" && ./zelyedek --durum >"$work/durum.out" 2>&1)
    echo $?
}
# A mail server over STARTTLS with a password, its CA trusted by the service alone.
bash "$(dirname "$0")/make_test_ca.sh" "$work/certs"
free_port() { /usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'; }
smtp_port=$(free_port)
/usr/bin/python3 "$(dirname "$0")/smtp_server.py" --port "$smtp_port" --cert "$work/certs/server.pem" \
    --key "$work/certs/server.key" --user yedek@ornek.com --password 'gizli parola' --out "$work/mail" \
    >"$work/smtp.txt" 2>&1 &
pids+=($!)
export SSL_CERT_FILE="$work/certs/ca.pem"
smtp_ready() { grep -q ready "$work/smtp.txt"; }
within 10 smtp_ready
# A dead man's switch over HTTPS, one that never answers, and node_exporter's textfile collector
# reading the metrics folder the extra settings file names.
ping_port=$(free_port)
hang_port=$(free_port)
node_port=$(free_port)
/usr/bin/python3 "$(dirname "$0")/ping_server.py" "$ping_port" "$work/pings" "$work/certs/server.pem" \
    "$work/certs/server.key" >"$work/ping.txt" 2>&1 &
pids+=($!)
/usr/bin/python3 "$(dirname "$0")/ping_server.py" "$hang_port" hang >"$work/hang.txt" 2>&1 &
pids+=($!)
mkdir "$work/metrik"
prometheus-node-exporter --web.listen-address="127.0.0.1:$node_port" --collector.disable-defaults \
    --collector.textfile --collector.textfile.directory="$work/metrik" >"$work/node.txt" 2>&1 &
pids+=($!)
pinged() { grep -qP "$1" "$work/pings" 2>/dev/null; }
scrape() { curl -s "http://127.0.0.1:$node_port/metrics" >"$work/metrics.txt"; }
scraped() { local line; for line in "$@"; do grep -qF "$line" "$work/metrics.txt" || return 1; done; }
metric() { grep -F "$1 " "$work/metrics.txt" | sed "s/.* //" | xargs printf "%.0f"; }
pair_labels() { printf '{pair="%s",source="%s",target="%s"}' "$1" "$2" "$3"; }
settings 'c:\dosya'
restart_service
# Root is a manager: its window's "Tamam" in the settings dialog, as the socket carries it. The server by
# its address: "localhost" may also be ::1, where the port picked above need not be this server's.
# Its "İzleme" page sets the metrics folder and the switch's address.
mail_dialog() {  # what: hata or hepsi; the password: typed, or empty to keep it; the second place's folder
    { printf 'hello\t%s\twindow\n' "$version"
      printf 'mailsave\t127.0.0.1\t%s\tstarttls\tyedek@ornek.com\t%s\t\tbt@ornek.com\t%s\t%s\t%s\t%s\t%s\t\t\t\t\t\t\t0\t0\tuyum\t\t\totomatik\n' \
          "$smtp_port" "$2" "$1" "$work/metrik" "https://127.0.0.1:$ping_port/ping/abc" "${3:+klasor}" "${3:-}"
      sleep 1; } | socat -t 1 - "UNIX-CONNECT:$(socket)"
}
mail_dialog hata 'gizli parola' >"$work/mail_dialog.out"
check "a manager's mail settings are saved through the socket" \
    grep -q "^EpostaSunucu=127.0.0.1" "$work/TarvelYedekEk.ini"
check "and the monitoring's, whose new metrics folder gets its file at once" test -s "$work/metrik/zelyedek.prom" -a \
    "$(grep -c "^IzlemeAdresi=https://127.0.0.1:$ping_port/ping/abc" "$work/TarvelYedekEk.ini")" = 1
check "the file holding the password is its owner's alone ($(stat -c %a "$work/TarvelYedekEk.ini"))" \
    test "$(stat -c %a "$work/TarvelYedekEk.ini")" = 600
check "and the window is told the settings with the password only as set" \
    grep -qP "^mail\t127.0.0.1\t$smtp_port\tstarttls\tyedek@ornek.com\t1\t" "$work/mail_dialog.out"
(cd "$work" && ./zelyedek --yedekle >/dev/null 2>&1)
# Each mail's subject and body as a mail program shows them.
mail_texts() {
    for f in "$work"/mail/*.eml; do
        [ -e "$f" ] && /usr/bin/python3 -c 'import email, sys; from email import policy
m = email.message_from_binary_file(open(sys.argv[1], "rb"), policy=policy.default)
print("Subject:", m["subject"]); print(m.get_content())' "$f"
    done
}
# Whole, before grep: grep -q would end the pipe while python still writes.
mailed() { mail_texts >"$work/mail.txt"; grep -qF "$1" "$work/mail.txt"; }
check "the failed run's start is pinged" within 20 pinged '^GET\t/ping/abc/start\t$'
check "and its end at /fail, with its failed pair's line in the body" \
    within 20 pinged '^POST\t/ping/abc/fail\t.*Yedekleme başarısız: c:\\brevund\\belgeler -> c:\\dosya'
scrape
failed_pair=$(pair_labels 1 'c:\\brevund\\belgeler' 'c:\\dosya')
check "node_exporter reads the metrics: up as the service, the pair's last run and the record failed" \
    scraped "zelyedek_info{mode=\"service\",version=\"$version\"} 1" "zelyedek_last_run_success$failed_pair 0" \
    "zelyedek_last_history_record_success 0"
check "and the pair has no last success" bash -c "! grep -qF 'zelyedek_last_success_timestamp_seconds$failed_pair' '$work/metrics.txt'"
check "promtool accepts the file" promtool check metrics <"$work/metrik/zelyedek.prom"
check "which every user may read under the service's umask ($(stat -c %a "$work/metrik/zelyedek.prom"))" \
    test "$(stat -c %a "$work/metrik/zelyedek.prom")" = 644
check "the failed run is mailed over STARTTLS" within 20 mailed "Subject: [ZEL Yedek] $(hostname): Yedekleme başarısız"
check "with its failed pair's line in the body" mailed 'Yedekleme başarısız: c:\brevund\belgeler -> c:\dosya'
check "and the state --durum gives" mailed "Durum: HATA: "
check "the journal hears the run not recorded with priority 3" journal_has '^<3>Yedekleme kaydı yazılmadı'
check "with its failed pair's line" journal_has '^<3>Yedekleme başarısız: c:\\brevund\\belgeler -> c:\\dosya'
check "and its warning with priority 4" journal_has '^<4>Yedekleme başarısız: c:\\brevund\\belgeler -> c:\\dosya'
code=$(durum)
check "--durum exits 2 after a run that was not recorded (exit $code)" test "$code" -eq 2
check "its first line says HATA" bash -c "head -1 '$work/durum.out' | grep -q '^HATA: Yedekleme kaydı yazılmadı'"
check "with performance data: an age or U, and the held warnings ($(head -1 "$work/durum.out" | sed 's/.* | //'))" \
    perfdata '([0-9]+s|U)' '[1-9][0-9]*'
check "and it lists the held warning" grep -q '^  .* Yedekleme başarısız: c:\\brevund\\belgeler' "$work/durum.out"
check "the warning waits in TarvelYedek.uyari" grep -q 'Yedekleme başarısız' "$work/TarvelYedek.uyari"
check "which is the service's alone ($(stat -c %a "$work/TarvelYedek.uyari"))" \
    test "$(stat -c %a "$work/TarvelYedek.uyari")" = 600
# A window client shows it as a balloon beside its hidden window; a second one after it has
# nothing old to show.
client_windows() {  # starts a window client, waits until its window hid itself, counts what it shows
    start_app "$work/client$1.log" ./zelyedek
    within 10 icon_docked && within 5 window_hidden && sleep 1
    xdotool search --onlyvisible --pid "$app_pid" 2>/dev/null | wc -l >"$work/shown$1"
    kill "$app_pid"
    within 5 icon_gone
}
client_windows 3
check "the next window client shows the kept warning (a balloon: $(cat "$work/shown3") windows shown)" \
    test "$(cat "$work/shown3")" -ge 1
check "which is kept no longer" bash -c "! grep -q . '$work/TarvelYedek.uyari'"
client_windows 4
check "a window client after it shows nothing old ($(cat "$work/shown4") windows shown)" \
    test "$(cat "$work/shown4")" -lt "$(cat "$work/shown3")"
# Kept across a restart: the next window (as the channel sees it) gets it with its time.
(cd "$work" && ./zelyedek --yedekle >/dev/null 2>&1)
failed_at=$(date +%H:%M)
restart_service
raw_window() { { printf 'hello\t%s\twindow\n' "$version"; sleep 2; } | socat -t 1 - "UNIX-CONNECT:$(socket)"; }
raw_window >"$work/window1.out"
check "after a restart the next window gets the warning with its time" \
    grep -qP "^warn\tZEL Yedek\t$failed_at Yedekleme başarısız: c:\\\\\\\\brevund" "$work/window1.out"
raw_window >"$work/window2.out"
check "and the one after it does not" bash -c "! grep -q '^warn' '$work/window2.out'"
# Repaired, beside a pair whose source is missing: recorded, and the day's warning held.
mkdir -p "$work/drives/c/yedek"
settings 'c:\yedek' 'c:\yok' 'c:\yedek'
restart_service
mkdir "$work/uzak"
mail_dialog hepsi '' "$work/uzak" >/dev/null
(cd "$work" && ./zelyedek --yedekle >/dev/null 2>&1)
check "with every run mailed, the good one is too, its password kept" \
    within 20 mailed "Subject: [ZEL Yedek] $(hostname): Yedekleme tamamlandı"
run_ended=$(date +%s)
check "the good run is pinged at the address itself" within 20 pinged '^POST\t/ping/abc\t.*Yedekleme kaydı veritabanına yazıldı'
scrape
good_pair=$(pair_labels 1 'c:\\brevund\\belgeler' 'c:\\yedek')
succeeded=$(metric "zelyedek_last_success_timestamp_seconds$good_pair")
check "its pair's last success lies within the run ($succeeded)" \
    test "${succeeded:-0}" -ge $((run_ended - 60)) -a "${succeeded:-0}" -le "$run_ended"
archive=$(ls -t "$work"/drives/c/yedek/yedek*.zip | head -1)
check "its run succeeded with the archive's $(stat -c %s "$archive") bytes, one kept, recorded; the missing source's did not" \
    scraped "zelyedek_last_run_success$good_pair 1" "zelyedek_last_archive_bytes$good_pair $(stat -c %s "$archive")" \
    "zelyedek_archives_kept$good_pair 1" "zelyedek_last_run_success$(pair_labels 2 'c:\\yok' 'c:\\yedek') 0" \
    "zelyedek_last_history_record_success 1"
# The second place, a folder the dialog named: the archive there, whole, and --durum says when.
copied="$work/uzak/c_yedek/$(basename "$archive")"
copied_whole() { [ -f "$copied" ] && unzip -tq "$copied" >/dev/null && cmp -s "$copied" "$archive"; }
check "the run's archive is copied to the second place and reads back there" within 20 copied_whole
durum >/dev/null
check "--durum names the pair's copy" grep -qF '1. çift: Uzak kopya: c:\yedek\'"$(basename "$archive") -> $work/uzak (" "$work/durum.out"
# The second place unplugged for a run: the backup recorded as before, the copy's failure a warning
# kept for the next window, and no folder made in its place; plugged in again, the service's next
# start copies what it is owed.
mv "$work/uzak" "$work/uzak-takili-degil"
records_logged() { grep -c 'Yedekleme kaydı veritabanına yazıldı' "$work/TarvelYedek.log"; }
records=$(records_logged)
sleep $((61 - $(date +%-S)))  # a minute of its own, so that the run's archive gets a new name
(cd "$work" && ./zelyedek --yedekle >/dev/null 2>&1)
owed=$(ls -t "$work"/drives/c/yedek/yedek*.zip | head -1)
check "unplugged, the run's archive is made and recorded" test "$owed" != "$archive" -a "$(records_logged)" -gt "$records"
copy_warned() { grep -qF "Uzak kopya alınamadı: $work/uzak (" "$work/TarvelYedek.uyari" && [ ! -e "$work/uzak" ]; }
check "the copy's failure is a warning kept for the next window, no folder made for it" within 20 copy_warned
mv "$work/uzak-takili-degil" "$work/uzak"
restart_service
owed_copied() { [ -f "$work/uzak/c_yedek/$(basename "$owed")" ] && cmp -s "$work/uzak/c_yedek/$(basename "$owed")" "$owed"; }
check "plugged in again, the next start copies it" within 20 owed_copied
# A switch that never answers: the run ends as soon as ever, and after the tries one line says so.
sed -i "s|^IzlemeAdresi=.*|IzlemeAdresi=http://127.0.0.1:$hang_port/ping/abc\r|" "$work/TarvelYedekEk.ini"
restart_service
run_began=$(date +%s)
(cd "$work" && ./zelyedek --yedekle >/dev/null 2>&1)
check "a hanging switch costs the run nothing ($(($(date +%s) - run_began)) s)" test $(($(date +%s) - run_began)) -le 15
start_unsent() { [ "$(grep -c 'İzleme adresine bildirim gönderilemedi (/start)' "$work/TarvelYedek.log")" -eq 1 ]; }
check "after three tries one line of the run log says the start was not received" within 60 start_unsent
code=$(durum)
check "--durum exits 1 while a warning of the day is held (exit $code)" test "$code" -eq 1
check "its first line says UYARI" bash -c "head -1 '$work/durum.out' | grep -q '^UYARI: Kaynak klasör yok, atlandı: c:.yok'"
check "its performance data counts the held warnings" perfdata '([0-9]+s|U)' '[1-9][0-9]*'
settings 'c:\yedek'
restart_service
code=$(durum)
check "--durum exits 0 with a recent verified archive and nothing held (exit $code)" test "$code" -eq 0
check "its first line names the newest archive" bash -c "head -1 '$work/durum.out' | grep -q '^TAMAM: son yedek $(date +%Y-%m-%d) '"
check "its performance data gives the archive's age in seconds and no warning ($(head -1 "$work/durum.out" | sed 's/.* | //'))" \
    perfdata '[0-9]+s' 0
# Files that change while zip reads them. A large file keeps zip busy; while it reads it, a helper
# appends to canli.db and deletes the temporary files zip has yet to reach (zip's own order, -sf).
src="$work/drives/c/brevund/belgeler"
head -c 100000000 /dev/urandom >"$src/buyuk.db"
echo baslangic >"$src/canli.db"
late=
for i in $(seq 10 99); do
    echo "$i" >"$src/gecici$i.tmp"
    late=$(cd "$work/drives/c" && zip -sf -r "$work/yok.zip" brevund/belgeler | sed -n 's|^  brevund/belgeler/||p' |
        sed -n '/^buyuk\.db$/,$p' | grep '^gecici' | tr '\n' ' ')
    [ -n "$late" ] && [ "$i" -ge 12 ] && break
done
big=$(readlink -f "$src/buyuk.db")
zip_reads() {
    local pid
    for pid in $(pgrep -x zip); do
        ls -l "/proc/$pid/fd" 2>/dev/null | grep -qF -- "-> $big" && return 0
    done
    return 1
}
(
    within 60 zip_reads || exit 1
    for f in $late; do rm -f "$src/$f"; done
    while zip_reads; do echo ek >>"$src/canli.db"; sleep 0.05; done
) &
helper=$!
records=$(records_logged)
(cd "$work" && ./zelyedek --yedekle >/dev/null 2>&1)
wait "$helper"
late_count=$(wc -w <<<"$late")
check "a file appended to while zip ran is named in the run log" \
    grep -qF 'Yedekleme sırasında değişti: c:\brevund\belgeler\canli.db' "$work/TarvelYedek.log"
deleted_named() { for f in $late; do grep -qF "Yedekleme sırasında silindi: c:\\brevund\\belgeler\\$f" "$work/TarvelYedek.log" || return 1; done; }
check "the $late_count temporary files deleted while zip ran are named as deleted" deleted_named
check "the pair is archived and recorded, its line counting $((late_count + 1)) changed files" \
    bash -c "grep -q '  Arşivlendi: c:.brevund.belgeler -> .*(değişen dosya: $((late_count + 1)))' '$work/TarvelYedek.log' &&
        [ \$(grep -c 'Yedekleme kaydı veritabanına yazıldı' '$work/TarvelYedek.log') -gt $records ]"
code=$(durum)
check "--durum counts the run as a warning (exit $code)" test "$code" -eq 1
# Left alone, the same source gives no such line; a file zip cannot open (a socket, which root
# cannot read either) still fails the pair.
rm -f "$src/buyuk.db"
lines_before=$(grep -c 'Yedekleme sırasında' "$work/TarvelYedek.log")
(cd "$work" && ./zelyedek --yedekle >/dev/null 2>&1)
check "a source left alone gives no line of change" test "$(grep -c 'Yedekleme sırasında' "$work/TarvelYedek.log")" -eq "$lines_before"
/usr/bin/python3 -c 'import socket, sys; socket.socket(socket.AF_UNIX).bind(sys.argv[1])' "$src/soket"
(cd "$work" && ./zelyedek --yedekle >/dev/null 2>&1)
check "a file zip cannot open still fails the pair" \
    bash -c "tail -5 '$work/TarvelYedek.log' | grep -q 'Yedekleme başarısız: c:.brevund.belgeler -> .*zip hata kodu 18'"
rm -f "$src/soket"
# Commands before and after a run, set by hand in the settings file. In a folder only root may
# write they run, with the run's facts and their output in the run log; in one anybody may write
# neither runs, and the pairs are not started.
own_dir=$(mktemp -d) open_dir=$(mktemp -d)
chmod 777 "$open_dir"
printf '#!/bin/sh\nprintf "durduruluyor %%s -> %%s\\n" "$ZELYEDEK_KAYNAK1" "$ZELYEDEK_HEDEF1"\n' >"$own_dir/once.sh"
printf '#!/bin/sh\necho "sonuc $ZELYEDEK_SONUC"\ntouch "$(dirname "$0")/sonra-calisti"\n' >"$own_dir/sonra.sh"
cp "$own_dir/once.sh" "$own_dir/sonra.sh" "$open_dir/"
chmod 755 "$own_dir"/*.sh "$open_dir"/*.sh
printf 'OncekiKomut=%s\r\nSonrakiKomut=%s\r\n' "$own_dir/once.sh" "$own_dir/sonra.sh" >>"$work/TarvelYedekEk.ini"
restart_service
(cd "$work" && ./zelyedek --yedekle >/dev/null 2>&1)
check "the command before talks into the run log with the run's pairs" \
    grep -qF 'Önceki komut: durduruluyor c:\brevund\belgeler -> c:\yedek' "$work/TarvelYedek.log"
check "the command after hears that the run went well" grep -qF 'Sonraki komut: sonuc tamam' "$work/TarvelYedek.log"
sed -i "s|$own_dir/|$open_dir/|g" "$work/TarvelYedekEk.ini"
restart_service
(cd "$work" && ./zelyedek --yedekle >/dev/null 2>&1)
check "a command in a folder anybody may write is refused, and the pair with it" \
    grep -qF "Yedekleme başarısız: c:\brevund\belgeler -> c:\yedek (Komut güvenli bir klasörde değil: $open_dir/once.sh ($open_dir: herkes))" \
    "$work/TarvelYedek.log"
check "and neither command ran" test ! -e "$open_dir/sonra-calisti"
sed -i '/^OncekiKomut=\|^SonrakiKomut=/d' "$work/TarvelYedekEk.ini"
rm -rf "$own_dir" "$open_dir"
kill -TERM "$service"
within 10 service_ended
check "the stopped service's metrics say it is down" grep -qx 'zelyedek_up 0' "$work/metrik/zelyedek.prom"
check "the password is in no log, status or answer" \
    bash -c "! cat '$work'/*.log '$work'/*.out 2>/dev/null | grep -q 'gizli parola'"
check "--durum exits 3 once no service answers" bash -c "cd '$work' && ./zelyedek --durum >/dev/null 2>&1; [ \$? -eq 3 ]"

if [ $failures -gt 0 ]; then
    echo "--- run log"; cat "$work/TarvelYedek.log" 2>/dev/null
    echo "--- service"; cat "$work/service.log" 2>/dev/null
    echo "--- durum"; cat "$work/durum.out" 2>/dev/null
    echo "--- yedekle"; cat "$work/yedekle.out" 2>/dev/null
    echo "--- journal"; cat "$work/journal.log" 2>/dev/null
    echo "--- windows"; cat "$work/window1.out" "$work/window2.out" 2>/dev/null
    echo "--- mail"; mail_texts
    echo "--- mail server"; cat "$work/smtp.txt" 2>/dev/null
    echo "--- pings"; cat "$work/pings" "$work/ping.txt" 2>/dev/null
    echo "--- metrics"; grep zelyedek "$work/metrics.txt" 2>/dev/null; cat "$work/node.txt" 2>/dev/null
fi
finish
