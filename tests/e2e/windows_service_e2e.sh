#!/usr/bin/env bash
# zelyedek-hizmet.msi under Wine as an administrator runs it silently: the exe in Program Files,
# the service ZELYedek registered to start by itself as LocalSystem with /hizmet and started, the
# shortcuts to the window client, settings and logs that an upgrade and a removal leave alone, an
# upgrade that restarts the service, a removal that takes the service. With the service running:
# a slot zips with the zip.exe installed beside it and records through Wine's ODBC, a disconnect
# request runs the shutdown utility only while nobody else may change it, "sc stop" ends it with
# its log line, and a window client started with /pencere shows its window and drives it. A
# program that holds the pipe's name first costs the windows only: the service still backs up,
# and no window talks to that program. A window that the service welcomes as a watcher says so.
# "sc stop" in the middle of a zip ends zip.exe and leaves no .zip nor work file of it. The
# package registers the event source "ZEL Yedek" with the exe's message table, and the service
# reports its start, its runs and its stop to it.
#   windows_service_e2e.sh ZELYEDEK_EXE ZIP_EXE PG_SCRIPT PIPE_PEER_EXE
#                          (the msis beside the exe; WINEPREFIX: a booted prefix to copy)
set -uo pipefail
exe=$1
zip_exe=$2
pg_script=$3
peer_exe=$4  # tests/support/win/pipe_peer.cpp
template=${WINEPREFIX:?a booted Wine prefix to copy}
here=$(dirname "$0")
source "$here/lib.sh"
source "$here/wine_lib.sh"
msi="$(dirname "$exe")/zelyedek-hizmet.msi"
user_msi="$(dirname "$exe")/zelyedek.msi"

export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"  # no menu entries on this machine
# The service inherits the display of Wine's services.exe, which the first Wine program starts.
start_display
start_tray
# Wine's event log functions are stubs that print what they were given (fixme:advapi), and the
# text (channel eventlog), in the standard error of the service that calls them.
services_debug=-all,fixme+advapi,+eventlog
services_log="$work/services.log"
wine_setup "$template" "$zip_exe" "$pg_script"
installed="$c/Program Files/ZEL Yedek"

# --- Helpers.
windows_path() { echo "Z:${1//\//\\}"; }
msi_table() { msiinfo export "$1" "$2" | tr -d '\r' | tail -n +4; }
msi_property() { msi_table "$1" Property | awk -v k="$2" '$1 == k {print $2}'; }
# msiexec's exit code is cut to 8 bits: 91 is 1627, a failed action; the first service start in
# a new prefix may miss Wine's time-out while the prefix's own services still start. One more try.
msi_install() {  # MSI LOG
    local rc
    wine msiexec /i "$1" /qn /l*v "$(windows_path "$2")"
    rc=$?
    if [ $rc -eq 91 ]; then
        echo "(msiexec exited 91; once more)"
        wine msiexec /i "$1" /qn /l*v "$(windows_path "$2.again")"
        rc=$?
    fi
    return $rc
}
service_key='HKLM\System\CurrentControlSet\Services\ZELYedek'
# Wine's sc has no "qc": the service manager keeps the same configuration in the registry.
service_value() { wine reg query "$service_key" /v "$1" 2>/dev/null | tr -d '\r' | sed -nE "s/^ +$1 +REG_[A-Z_]+ +//p"; }
service_configured() {
    [ "$(service_value Start)" = 0x2 ] &&        # automatic
        [ "$(service_value Type)" = 0x10 ] &&    # its own process
        [ "$(service_value ErrorControl)" = 0x1 ] &&
        [ "$(service_value ObjectName)" = LocalSystem ] &&
        [ "$(service_value DisplayName)" = 'ZEL Yedek' ] &&
        # The path in quotes or not: Wine's msi leaves them out.
        service_value ImagePath | grep -qxE '"?C:\\Program Files\\ZEL Yedek\\zelyedek\.exe"? /hizmet'
}
service_known() { wine sc query ZELYedek >/dev/null 2>&1; }
service_gone() { ! service_known && ! wine reg query "$service_key" >/dev/null 2>&1; }
service_state() { wine sc query ZELYedek 2>/dev/null | tr -d '\r' | awk '$1 == "STATE" {print $4}'; }
service_is() { [ "$(service_state)" = "$1" ]; }
# This prefix's processes of the program $2 (zelyedek.exe unless given) whose command line holds
# $1: other tests may run theirs.
program_pids() {
    local pid
    for pid in $(pgrep -x "${2:-zelyedek.exe}"); do
        tr '\0' '\n' 2>/dev/null <"/proc/$pid/environ" | grep -qxF "WINEPREFIX=$WINEPREFIX" &&
            tr '\0' ' ' 2>/dev/null <"/proc/$pid/cmdline" | grep -qF -- "$1" && echo "$pid"
    done
}
no_service_process() { [ -z "$(program_pids /hizmet)" ]; }
no_window_client() { [ -z "$(program_pids /pencere)" ]; }
listed() {  # in "Apps & features" with version $2 and publisher ZEL
    wine reg query "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$(msi_property "$1" ProductCode)" \
        2>/dev/null | tr -d '\r' | grep -Ec "^ +(DisplayVersion +REG_SZ +$2|Publisher +REG_SZ +ZEL)\$" | grep -qx 2
}
replaced() { listed "$1" "$2" && ! listed "$3" "$4"; }
all_gone() { for f in "$@"; do [ ! -e "$f" ] || return 1; done; }

# A .lnk's string field (MS-SHLLINK StringData) by its flag bit: 16 the working folder, 32 the
# arguments. ASCII only; Wine counts the terminating NUL, Windows does not.
lnk_string() {
    local -a b
    read -ra b <<<"$(od -An -tu1 -v "$1" | tr '\n' ' ')"
    local flags=$((b[20] | b[21] << 8)) pos=76 bit n i ch out=""
    local width=$(((flags & 0x80) ? 2 : 1))
    ((flags & 1)) && pos=$((pos + 2 + (b[pos] | b[pos + 1] << 8)))                            # ID list
    ((flags & 2)) && pos=$((pos + (b[pos] | b[pos + 1] << 8 | b[pos + 2] << 16 | b[pos + 3] << 24)))  # link info
    for bit in 4 8 16 32 64; do
        ((flags & bit)) || continue
        n=$((b[pos] | b[pos + 1] << 8))
        pos=$((pos + 2))
        if ((bit == $2)); then
            for ((i = 0; i < n; i++)); do
                ch=${b[pos + i * width]}
                ((ch)) || break
                out+=$(printf "\\x$(printf %x "$ch")")
            done
            printf '%s\n' "$out"
            return 0
        fi
        pos=$((pos + n * width))
    done
    return 1
}
# Windows puts a per-machine package's shortcuts in the all-users folders; Wine's msi resolves
# ProgramMenuFolder and StartupFolder to the installing user's in any case.
link_in() {  # the shortcut in Programs/$1, all users' if there, else the installing user's
    local all="$c/ProgramData/Microsoft/Windows/Start Menu/Programs/$1ZEL Yedek.lnk"
    local own="$c/users/$(id -un)/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/$1ZEL Yedek.lnk"
    if [ -e "$all" ]; then echo "$all"; else echo "$own"; fi
}
shortcuts_start_window_client() {
    local l
    for l in "${links[@]}"; do
        grep -aqF 'C:\Program Files\ZEL Yedek\zelyedek.exe' "$l" &&
            [ "$(lnk_string "$l" 32)" = /pencere ] &&
            [ "$(lnk_string "$l" 16)" = 'C:\Program Files\ZEL Yedek\' ] || return 1
    done
}
log_has() { grep -q "$1" "$installed/TarvelYedek.log" 2>/dev/null; }
log_count() { grep -c "$1" "$installed/TarvelYedek.log" 2>/dev/null; }
event_source='HKLM\SYSTEM\CurrentControlSet\Services\EventLog\Application\ZEL Yedek'
source_registered() {
    local values
    values=$(wine reg query "$event_source" 2>/dev/null | tr -d '\r')
    grep -qxE ' +EventMessageFile +REG_(EXPAND_)?SZ +C:\\Program Files\\ZEL Yedek\\zelyedek\.exe' <<<"$values" &&
        grep -qxE ' +TypesSupported +REG_DWORD +0x7' <<<"$values"
}
source_gone() { ! wine reg query "$event_source" >/dev/null 2>&1; }
# The service's reports to the event log as Wine's stub printed them: "TYPE ID TEXT" a report,
# TEXT's first line as Wine escapes it, from the line that follows in the same thread.
reported_events() {
    sed -nE 's/^([0-9a-f]+):fixme:advapi:ReportEventW \([0-9A-Fa-f]+,0x([0-9a-f]{4}),0x[0-9a-f]{4},0x([0-9a-f]{8}),.*/\1 \2 \3/p
             s/^([0-9a-f]+):(trace|warn|err):eventlog:ReportEventW L"(.*)"$/\1 text \3/p' "$services_log" 2>/dev/null |
        awk '$2 != "text" { pending[$1] = $2 " " $3; next }
             $1 in pending { text = $0; sub(/^[^ ]+ text /, "", text); print pending[$1], text; delete pending[$1] }'
}
reports() { reported_events | grep -c "^$1 $2 $3"; }  # TYPE ID TEXT-START: how many
reported_more() { [ "$(reports "$1" "$2" "$3")" -gt "$4" ]; }  # ... than $4

# --- The package as built: per machine, its own product, the exe as its key.
check "zelyedek-hizmet.msi installs per machine (ALLUSERS=1)" test "$(msi_property "$msi" ALLUSERS)" = 1
check "its UpgradeCode is not the per-user package's" \
    test "$(msi_property "$msi" UpgradeCode)" != "$(msi_property "$user_msi" UpgradeCode)"
keyed_on_exe() {  # Component: 64-bit (256), key path the exe; no registry value under HKCU (1)
    [ "$(msi_table "$msi" Component | cut -f4,6)" = $'256\tZelYedekExe' ] &&
        ! msi_table "$msi" Registry 2>/dev/null | cut -f2 | grep -qx 1
}
check "its one component is 64-bit and keys on the exe, not on HKCU" keyed_on_exe
# Under ALLUSERS=1 these two are the all-users Start menu and Startup folder on Windows.
check "its shortcuts go to ProgramMenuFolder and StartupFolder" \
    test "$(msi_table "$msi" Shortcut | cut -f2 | sort | tr '\n' ' ')" = "ProgramMenuFolder StartupFolder "
# Registry rows: "*" makes the key and removes it whole with the package.
source_rows() {
    local key='SYSTEM\CurrentControlSet\Services\EventLog\Application\ZEL Yedek'
    [ "$(msi_table "$msi" Registry | cut -f2- | sort)" = "$(printf '2\t%s\t%s\t%s\tService\n' \
        "$key" '*' '' "$key" EventMessageFile '[#ZelYedekExe]' "$key" TypesSupported '#7' | sort)" ]
}
check "it registers the event source \"ZEL Yedek\" with the exe's messages, removed with it" source_rows
# Without elevation a per-user install cannot write HKLM, and Windows Installer would fail it.
no_hklm() { ! msi_table "$user_msi" Registry | cut -f2 | grep -qvx 1; }
check "the per-user package writes nothing under HKLM" no_hklm

# --- Install.
version=$(msi_property "$msi" ProductVersion)
wine sc query >/dev/null 2>&1  # the prefix's services up before the first install
msi_install "$msi" "$work/install.log"
rc=$?
check "zelyedek-hizmet.msi $version is installed silently (exit $rc)" test $rc -eq 0
if [ $rc -ne 0 ]; then
    # A failed install is rolled back: nothing after it can be seen. Wine's log ends before the
    # installed actions run and so names none (StartServices fails when the service does not start).
    echo "--- the install log's last lines"
    grep -ah . "$work"/install.log* | tail -4 | iconv -f CP1254
    echo "--- run log"; cat "$installed/TarvelYedek.log" 2>/dev/null
    finish
    exit
fi
check "the exe is in C:\\Program Files\\ZEL Yedek" test -f "$installed/zelyedek.exe"
zip_installed() {
    cmp -s "$zip_exe" "$installed/zip.exe" && cmp -s "$(dirname "$zip_exe")/zip-LICENSE.txt" "$installed/zip-LICENSE.txt"
}
check "Info-ZIP's zip.exe and its licence are installed beside it" zip_installed
links=("$(link_in "")" "$(link_in StartUp/)")
check "the service ZELYedek starts by itself, as LocalSystem, with /hizmet" service_configured
check "the Start menu's and the Startup folder's shortcuts start the window client with /pencere" \
    shortcuts_start_window_client
check "Apps & features lists version $version by ZEL" listed "$msi" "$version"
check "the event source \"ZEL Yedek\" names the installed exe for its messages" source_registered

# --- The service at work. Each function below needs zelyedek.exe's service mode (/hizmet) or its
# window client (/pencere).

service_mode_runs() {
    check "the install leaves the service running" within 30 service_is RUNNING
    check "as one process" test "$(program_pids /hizmet | wc -l)" -eq 1
    # A service has no desktop: no window and no tray icon of its own, even for a moment.
    no_window_shown() { ! within 3 window_visible; }
    check "the service shows no window" no_window_shown
    check "and no tray icon" icon_gone
    opened_source() { grep -aqE ':fixme:advapi:RegisterEventSourceW \(.*,L"ZEL Yedek"\)' "$services_log"; }
    check "it opens the event source \"ZEL Yedek\"" within 10 opened_source
    check "and reports its start there: event 1003, information, \"Hizmet başladı\"" \
        within 10 reported_more 0004 000003eb 'Hizmet ba' 0
}

# Stopped, given settings and started again, as the README tells an administrator to.
service_mode_stops_and_starts() {
    local stops_reported
    stops_reported=$(reports 0004 000003ec 'Hizmet durduruldu')
    wine sc stop ZELYedek >/dev/null 2>&1
    check "\"sc stop ZELYedek\" stops the service" within 15 service_is STOPPED
    check "its process ends" within 5 no_service_process
    check "and the run log says \"Hizmet durduruldu\"" log_has 'Hizmet durduruldu'
    check "as does the event log: event 1004, information" reported_more 0004 000003ec 'Hizmet durduruldu' "$stops_reported"
    slot=$(date -d '+25 sec' +%T)
    printf '%s\r\n' 'c:\brevund\belgeler' 'c:\tarvel-yedek' '' '' '' '' '' '' 1 "$slot" 0 17:00:00 0 12:00:00 \
        >"$installed/TarvelYedek.ini"
    printf 'SaklanacakYedek=3\r\nKacanYedek=0\r\n' >"$installed/TarvelYedekEk.ini"
    # The service runs only the zip installed beside it: one that drive c's users could replace
    # would fail every run.
    echo 'zip değil' >"$c/brevund/tarvel/bat/zip.ex_"
    mkdir -p "$c/progress/openedge/bin"
    printf '@echo %%* >> c:\\progress\\openedge\\bin\\proshut.log\r\n' >"$c/progress/openedge/bin/proshut.bat"
    # In the way of the slot's archive, whichever minute it starts in: folders under its names.
    local at
    for at in "$slot" "$(date -d "$slot 1 minute" +%T)"; do
        mkdir -p "$c/tarvel-yedek/tarvel-yedek$(date -d "$at" +%Y%m%d.%H%M).zip"
    done
    wine sc start ZELYedek >/dev/null 2>&1
    check "\"sc start ZELYedek\" starts it again" within 30 service_is RUNNING
}

service_mode_backs_up() {
    archived() { find "$c/tarvel-yedek" -maxdepth 1 -type f -name 'tarvel-yedek*.zip' | grep -q .; }
    check "the slot of $slot fires in the service and the Windows zip writes the archive" within 60 archived
    check "the archive is read back" within 15 log_has 'dosya doğrulandı'
    # As the service it may take a shadow copy; Wine's vssapi has none to give, and the run reads live.
    check "Wine's shadow copy service fails at its first step, and the live files are backed up" \
        log_has 'Gölge kopya alınamadı: vssapi.dll (0x[0-9A-F]*); canlı dosyalar yedeklendi'
    check "the folder in its way under its name was set aside unopened" log_has 'açılmadan kenara alındı'
    check "zip wrote it in a work folder of the service's own, gone after" \
        bash -c "! ls -d '$c'/tarvel-yedek/zelyedek-is.* 2>/dev/null"
    recorded() { [ -n "$(sql 'SELECT zelparametervalue FROM pub.zelparameter WHERE zelparameterid=1000')" ]; }
    check "and recorded in the history through Wine's ODBC" within 20 recorded
    check "the event log has the run's end: event 1000, information" within 10 reported_more 0004 000003e8 '' 0
    check "by the installed zip: drive c's zip.ex_ was neither copied nor run" test ! -e "$c/brevund/tarvel/bat/zip.exe"
    # Wine's access lists follow the Unix modes: the stand-in's file and folders are the user's
    # own, whose account the service runs as under Wine, and give the others read only.
    local utility="$c/progress/openedge/bin/proshut.bat"
    sql 'INSERT INTO pub."zelDisconnect" VALUES (7)' >/dev/null
    served() { grep -q "disconnect $1" "$c/progress/openedge/bin/proshut.log" 2>/dev/null; }
    check "a disconnect request runs the shutdown utility that only its owner may change" within 25 served 7
    chmod o+w "$utility"
    sql 'INSERT INTO pub."zelDisconnect" VALUES (8)' >/dev/null
    refused() { log_has 'Kapatma programı güvenli bir klasörde değil: .*proshut\.bat: S-1-1-0)'; }
    check "one that everyone may write is not run, and the log names who may" within 25 refused
    check "so request 8 was not served" bash -c "! grep -q 'disconnect 8' '$c/progress/openedge/bin/proshut.log'"
    chmod o-w "$utility"
}

window_client_mode() {
    (cd "$installed" && exec wine 'C:\Program Files\ZEL Yedek\zelyedek.exe' /pencere >>"$work/client.log" 2>&1) &
    pids+=($!)
    check "the window client started with /pencere shows its window" within 20 window_visible
    check "and its tray icon" within 15 icon_docked
    within 5 window_hidden  # the start-up hide
    read -r x y <<<"$(icon_center)"
    xdotool mousemove "$x" "$y" click --repeat 2 --delay 80 1
    within 5 window_visible
    # A folder typed into the second source box, then Tab: the service saves it.
    xdotool mousemove --window "$(xdotool search --onlyvisible --name '^ZEL Yedek$' | head -1)" 255 76 click 1
    xdotool key End shift+Home
    xdotool type --delay 60 'c:\istemci'
    xdotool key Tab
    typed_saved() { sed -n 3p "$installed/TarvelYedek.ini" | tr -d '\r' | grep -qx 'c:\\istemci'; }
    check "a folder typed in the window client lands in the service's settings file" within 10 typed_saved
    local runs_before
    runs_before=$(log_count 'dosya doğrulandı')
    xdotool mousemove --window "$(xdotool search --onlyvisible --name '^ZEL Yedek$' | head -1)" 613 193 click 1
    ran_again() { [ "$(log_count 'dosya doğrulandı')" -gt "$runs_before" ]; }
    check "\"Yedekle\" in the window client makes a run in the service" within 30 ran_again
    # A window client never runs alone, so it holds nothing the service needs to start.
    wine sc stop ZELYedek >/dev/null 2>&1
    within 15 service_is STOPPED
    check "the window client outlives a stopped service" test -n "$(program_pids /pencere)"
    wine sc start ZELYedek >/dev/null 2>&1
    check "and the service starts again beside it" within 30 service_is RUNNING
    read -r x y <<<"$(icon_center)"
    xdotool mousemove "$x" "$y" click 3
    sleep 1
    xdotool key k  # "&Kapat"
    check "\"&Kapat\" ends the window client" within 10 no_window_client
    check "and leaves the service running" service_is RUNNING
}

# The prompt's commands, and a per-user copy of another folder beside the machine's service.
shell_and_per_user_copy() {
    (cd "$installed" && wine 'C:\Program Files\ZEL Yedek\zelyedek.exe' /durum) >"$work/durum.out" 2>&1
    check "/durum answers with exit code 0 ($?)" test $? -eq 0
    check "and names the next slot" grep -q 'Sonraki yedekleme:' "$work/durum.out"
    mkdir -p "$c/kisisel"
    cp "$exe" "$c/kisisel/zelyedek.exe"
    (cd "$c/kisisel" && exec wine 'C:\kisisel\zelyedek.exe' >>"$work/peruser.log" 2>&1) &
    pids+=($!)
    peruser_pid() { program_pids 'kisisel'; }
    message_up() { local p; p=$(peruser_pid); [ -n "$p" ] && [ -n "$(xdotool search --onlyvisible --pid "$p" 2>/dev/null)" ]; }
    check "a per-user copy of another folder says the machine's service runs" within 20 message_up
    xdotool windowfocus --sync "$(xdotool search --onlyvisible --pid "$(peruser_pid)" | head -1)" key Return 2>/dev/null
    peruser_gone() { [ -z "$(peruser_pid)" ]; }
    check "and ends after OK" within 10 peruser_gone
    check "without ever loading settings of its own" test ! -e "$c/kisisel/TarvelYedek.ini"
}

# A program that took the pipe's name before the service started: the service logs it once and
# backs up all the same, and a window opens that pipe but sends it nothing.
service_without_its_pipe() {
    wine sc stop ZELYedek >/dev/null 2>&1
    within 15 service_is STOPPED
    local squat_log="$work/squatter.log" runs_before
    (exec wine "$peer_exe" squat 'C:\Program Files\ZEL Yedek' "$(windows_path "$squat_log")" >/dev/null 2>&1) &
    pids+=($!)
    local squatter_pid=$!
    within 15 grep -q dinliyor "$squat_log" 2>/dev/null
    slot=$(date -d '+25 sec' +%T)
    sed -i "10s/.*/$slot\r/" "$installed/TarvelYedek.ini"
    runs_before=$(log_count 'dosya doğrulandı')
    wine sc start ZELYedek >/dev/null 2>&1
    check "with another program on its pipe's name the service starts" within 30 service_is RUNNING
    check "and logs that its windows' channel could not be opened" within 10 log_has 'Pencere kanalı açılamadı'
    ran_again() { [ "$(log_count 'dosya doğrulandı')" -gt "$runs_before" ]; }
    check "its slot of $slot still makes an archive" within 60 ran_again
    (cd "$installed" && exec wine 'C:\Program Files\ZEL Yedek\zelyedek.exe' /pencere >>"$work/client.log" 2>&1) &
    pids+=($!)
    opened() { grep -q bağlantı "$squat_log"; }
    check "a window client opens the other program's pipe" within 20 opened
    sleep 2
    check "but sends it nothing" bash -c "! grep -q veri '$squat_log'"
    for pid in $(program_pids /pencere); do kill "$pid"; done
    kill "$squatter_pid" 2>/dev/null  # wine execs the program itself in this process
    # /durum exits 3 when no service answers; 1 here, as the run above warned of c:\istemci.
    durum_ok() {
        (cd "$installed" && wine 'C:\Program Files\ZEL Yedek\zelyedek.exe' /durum) >/dev/null 2>&1
        [ $? -le 2 ]
    }
    check "once the name is free the service's next poll opens its channel" within 30 durum_ok
    check "and the failure was logged once" test "$(log_count 'Pencere kanalı açılamadı')" -eq 1
}

# A window that the service welcomes as a watcher: greyed settings, "Yedekle" live, its caption
# says so. The "service" here is a stand-in on the pipe of another folder's copy.
watcher_window() {
    local watcher_log="$work/watcher.log"
    mkdir -p "$c/izleme"
    cp "$exe" "$c/izleme/zelyedek.exe"
    (exec wine "$peer_exe" watcher 'C:\izleme' "$(windows_path "$watcher_log")" >/dev/null 2>&1) &
    pids+=($!)
    local watcher_pid=$!
    within 15 grep -q dinliyor "$watcher_log" 2>/dev/null
    (cd "$c/izleme" && exec wine 'C:\izleme\zelyedek.exe' /pencere >>"$work/watcher-client.log" 2>&1) &
    pids+=($!)
    watcher_caption() { xdotool search --name '^ZEL Yedek \(izleme\)$' 2>/dev/null | head -1; }
    watcher_up() { [ -n "$(watcher_caption)" ]; }
    check "a window welcomed as a watcher is captioned \"ZEL Yedek (izleme)\"" within 20 watcher_up
    local window
    window=$(watcher_caption)
    check "as xdotool reads its name" bash -c "xdotool getwindowname '$window' | grep -q ' (izleme)\$'"
    within 15 icon_docked
    within 5 bash -c "! xdotool search --onlyvisible --name '^ZEL Yedek \(izleme\)\$' >/dev/null"  # the start-up hide
    read -r x y <<<"$(icon_center)"
    xdotool mousemove "$x" "$y" click --repeat 2 --delay 80 1
    shown() { [ -n "$(xdotool search --onlyvisible --name '^ZEL Yedek \(izleme\)$' 2>/dev/null)" ]; }
    within 5 shown
    sleep 1
    import -window root "$work/watcher.png" 2>/dev/null && cp "$work/watcher.png" "$(dirname "$exe")/windows-service-e2e-watcher.png"
    check "its screenshot is saved beside the exe" test -s "$(dirname "$exe")/windows-service-e2e-watcher.png"
    # Its tray menu's "Ayarları değiştir..." starts the program again elevated (Wine has no
    # elevation: it starts it as it is); the watcher makes way once that window reached the
    # service, and the new one holds the session's place.
    local watcher
    watcher=$(program_pids izleme)
    read -r x y <<<"$(icon_center)"
    xdotool mousemove "$x" "$y" click 3
    sleep 1
    xdotool key Down Down Return
    successor_up() { [ -n "$(program_pids devral)" ]; }
    check "\"Ayarları değiştir...\" starts the window again with /pencere /devral" within 20 successor_up
    watcher_gone() { ! kill -0 "$watcher" 2>/dev/null; }
    check "and the watcher's window makes way for it" within 20 watcher_gone
    successor_holds() { successor_up && watcher_up && [ "$(program_pids izleme | wc -l)" -eq 1 ]; }
    check "which stays, the one window of its folder" within 20 successor_holds
    for pid in $(program_pids izleme); do kill "$pid"; done
    kill "$watcher_pid" 2>/dev/null
}

# A stop in the middle of a big zip: zip ends with the service, its work file goes, and nothing
# unread keeps a .zip name. The settings of the cases above come back before the service starts.
service_stop_in_mid_zip() {
    wine sc stop ZELYedek >/dev/null 2>&1
    within 15 service_is STOPPED
    mkdir -p "$work/settings"
    cp "$installed"/TarvelYedek*.ini "$work/settings/"
    mkdir -p "$c/buyuk"
    # Random bytes do not shrink: zip.exe runs for several seconds under Wine.
    head -c 150000000 /dev/urandom >"$c/buyuk/veri.db"
    printf '%s\r\n' 'c:\buyuk' 'c:\buyuk-yedek' '' '' '' '' '' '' 0 05:00:00 0 17:00:00 0 12:00:00 \
        >"$installed/TarvelYedek.ini"
    wine sc start ZELYedek >/dev/null 2>&1
    within 30 service_is RUNNING
    (cd "$installed" && exec wine 'C:\Program Files\ZEL Yedek\zelyedek.exe' /yedekle >>"$work/yedekle.log" 2>&1) &
    pids+=($!)
    zipping() { [ -n "$(program_pids buyuk-yedek zip.exe)" ]; }
    check "\"/yedekle\" makes the service zip a big folder" within 30 zipping
    sleep 1
    wine sc stop ZELYedek >/dev/null 2>&1
    check "\"sc stop ZELYedek\" stops the service in the middle of it" within 15 service_is STOPPED
    within 5 no_service_process
    check "the stop ended zip.exe too" within 3 eval '! zipping'
    check "and its end line says so" \
        log_has 'Hizmet durduruldu; yarıda kalan yedekleme kaydedilmedi: c:\\buyuk -> c:\\buyuk-yedek (zip durduruldu, iş dosyası silindi: zi'
    check "no archive nor work file of it is left as if good" \
        test -z "$(ls "$c/buyuk-yedek" 2>/dev/null | grep -E '\.zip$|^zi.{6}$')"
    rm -rf "$c/buyuk" "$c/buyuk-yedek"
    cp "$work/settings"/TarvelYedek*.ini "$installed/"
    wine sc start ZELYedek >/dev/null 2>&1
    check "the service starts again with the settings it had" within 30 service_is RUNNING
}

service_mode_runs
service_mode_stops_and_starts
service_mode_backs_up
window_client_mode
shell_and_per_user_copy
service_without_its_pipe
watcher_window
service_stop_in_mid_zip

# --- The settings written above and an old log, then an upgrade and a removal that leave them.
# The service may save the settings in its own layout: their values are compared, the hand-made
# old log byte for byte.
echo 'eski günlük' >"$installed/TarvelYedek.log.1"
old_log=$(md5sum <"$installed/TarvelYedek.log.1")
settings_kept() {
    head -1 "$installed/TarvelYedek.ini" 2>/dev/null | tr -d '\r' | grep -qxF 'c:\brevund\belgeler' &&
        grep -q '^SaklanacakYedek=3' "$installed/TarvelYedekEk.ini" 2>/dev/null &&
        [ "$(md5sum <"$installed/TarvelYedek.log.1")" = "$old_log" ]
}

# Wine has no Restart Manager to end a window client before msiexec replaces or removes the exe.
for pid in $(program_pids /pencere); do kill "$pid"; done
service_before=$(program_pids /hizmet)
stops_before=$(log_count 'Hizmet durduruldu')
next=$(awk -F. '{print $1 "." $2 "." $3 + 1}' <<<"$version")
bash "$here/../../scripts/package-windows" --wxs zelyedek-hizmet.wxs --zip "$(dirname "$zip_exe")" "$exe" \
    "$work/zelyedek-hizmet-next.msi" "$next" >/dev/null
msi_install "$work/zelyedek-hizmet-next.msi" "$work/upgrade.log"
rc=$?
check "an upgrade to $next is installed silently (exit $rc)" test $rc -eq 0
check "Apps & features lists $next instead of $version" replaced "$work/zelyedek-hizmet-next.msi" "$next" "$msi" "$version"
check "the service is still registered as it was" service_configured
check "and so is the event source" source_registered
check "the upgrade keeps the settings files and the old log" settings_kept

service_mode_restarted_by_upgrade() {
    stopped_once_more() { [ "$(log_count 'Hizmet durduruldu')" -gt "$stops_before" ]; }
    check "the upgrade stopped the service (its log line)" within 10 stopped_once_more
    restarted() {
        local now
        now=$(program_pids /hizmet)
        service_is RUNNING && [ -n "$now" ] && [ "$now" != "$service_before" ]
    }
    check "and started it again in a new process" within 30 restarted
}
service_mode_restarted_by_upgrade

wine msiexec /x "$work/zelyedek-hizmet-next.msi" /qn /l*v "$(windows_path "$work/remove.log")"
rc=$?
check "the removal runs silently (exit $rc)" test $rc -eq 0
check "it stops and deletes the service" within 15 service_gone
check "and its process ends" within 10 no_service_process
check "it removes the exe and both shortcuts" all_gone "$installed/zelyedek.exe" "${links[@]}"
check "and the event source" source_gone
not_listed() { ! listed "$@"; }
check "Apps & features no longer lists it" not_listed "$work/zelyedek-hizmet-next.msi" "$next"
check "it leaves the settings files, the old log and so their folder" settings_kept
# Each start after the first follows a stop: a service that ended without its log line was killed.
starts_follow_stops() {
    awk '/Hizmet başladı/ { if (up) bad = 1; up = 1 } /Hizmet durduruldu/ { up = 0 } END { exit bad }' \
        "$installed/TarvelYedek.log"
}
check "the service never ended without its log line" starts_follow_stops

if [ $failures -gt 0 ]; then
    echo "--- run log"; cat "$installed/TarvelYedek.log" 2>/dev/null
    echo "--- window client"; tail -20 "$work/client.log" 2>/dev/null
    echo "--- the event log's reports (type, event, text)"; reported_events
    for log in "$work"/{install,upgrade,remove}.log*; do
        # Written in the ANSI code page, Windows-1254 under the Turkish locale the tests run in.
        [ -f "$log" ] && { echo "--- the last lines of $(basename "$log")"; grep -ah . "$log" | tail -4 | iconv -f CP1254; }
    done
fi
finish
