#!/usr/bin/env bash
# zelyedek.exe under Wine on Xvfb with the tray host trayer, as a Windows user meets it: the icon,
# the start-up hide, a double-click, "Yedekle" with a Windows zip program, the history row in
# PostgreSQL through Wine's ODBC, a disconnect request served by a proshut.bat stand-in through
# Wine's cmd, Turkish letters typed into a folder box saved as Windows-1254, the last row saving
# TarvelYedekEk.ini, "Ayarlar..." with a test mail over STARTTLS to a local server and the mail
# settings saved with a DPAPI-protected password, its "İzleme" page naming the metrics folder, its
# "Uzak kopya" page naming a folder on another drive as the second place, then S3-compatible storage
# over HTTPS through Schannel, its secret kept by DPAPI and in no log line, the archive copied into
# the bucket and logged, a read-only settings file told, a settings file that is a link kept one, a
# picker's tooltip, a second copy started through a link to the folder giving way, "&Kapat" keeping
# a typed folder, and at 144 DPI the last row and the settings dialog, and the end of the session
# during a scheduled run; then three starts, failing runs and ends under load with Wine's heap checks
# on, each pinged over HTTPS and told in the metrics file.
# The dialog's screenshots go to screenshots/ beside the exe.
#   windows_e2e.sh ZELYEDEK_EXE ZIP_EXE PG_SCRIPT   (WINEPREFIX: a booted prefix to copy)
set -uo pipefail
exe=$1
zip_exe=$2
pg_script=$3
template=${WINEPREFIX:?a booted Wine prefix to copy}
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/wine_lib.sh"

export WINEDLLOVERRIDES="mscoree,mshtml="
start_display 1600x1000x24  # room for the window at 144 DPI
setxkbmap -display "$DISPLAY" tr 2>/dev/null  # Turkish letters typed as a Turkish user types them
start_tray
wine_setup "$template" "$zip_exe" "$pg_script"
# The test mail server: STARTTLS and AUTH, its certificate signed by a test CA that Wine's crypt32
# trusts while the test runs.
here=$(dirname "$0")
mail_password='Gizli-şifre.ğü'
bash "$here/make_test_ca.sh" "$work/ca" >/dev/null
remove_test_ca() { bash "$here/wine_test_ca.sh" remove "$work/ca/ca.pem" >/dev/null 2>&1; }
trap 'remove_test_ca; wine_stop_all' EXIT
check "the test CA is trusted for Wine's crypt32" bash "$here/wine_test_ca.sh" add "$work/ca/ca.pem"
free_port() { /usr/bin/python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'; }
smtp_port=$(free_port)
/usr/bin/python3 "$here/smtp_server.py" --port "$smtp_port" --cert "$work/ca/server.pem" --key "$work/ca/server.key" \
    --user yedek --password "$mail_password" --out "$work/mail" --mode starttls >"$work/smtp.log" 2>&1 &
pids+=($!)
smtp_ready() { grep -qx ready "$work/smtp.log"; }
check "the test mail server listens on port $smtp_port" within 15 smtp_ready
# The test S3 server, moto, over HTTPS with the same certificate; it checks every request's signature.
stop_s3() { bash "$here/../support/s3/moto.sh" stop "$work/moto" >/dev/null 2>&1; }
trap 'remove_test_ca; stop_s3; wine_stop_all' EXIT
check "the test S3 server answers over HTTPS" env MOTO_CERT="$work/ca/server.pem" MOTO_KEY="$work/ca/server.key" \
    MOTO_CA="$work/ca/ca.pem" bash "$here/../support/s3/moto.sh" start "$work/moto"
mkdir -p "$c/progress/openedge/bin" "$work/app"
echo gizli >"$c/brevund/belgeler/.gizli"  # Wine counts a dot file as hidden, as Windows' attrib +h
mkdir -p "$c/eski yedek/alt"
echo q >"$c/eski yedek/alt/q.txt"
printf '@echo %%* >> c:\\progress\\openedge\\bin\\proshut.log\r\n' >"$c/progress/openedge/bin/proshut.bat"
cp "$exe" "$work/app/zelyedek.exe"
# The second pair's folder is typed with a trailing backslash, and both hold a space.
printf '%s\r\n' 'c:\brevund\belgeler' 'c:\tarvel-yedek' 'c:\eski yedek\' 'c:\eski hedef' '' 'c:\tarvel-yedek' '' \
    'c:\tarvel-yedek' 0 05:00:00 0 17:00:00 0 12:00:00 >"$work/app/TarvelYedek.ini"
# A hand-made extra settings file: a comment in Windows-1254 ("; Yedek sayısı"), LF line ends.
extra="$work/app/TarvelYedekEk.ini"
printf '; Yedek say\xfds\xfd\nSaklanacakYedek=3\n' >"$extra"
hex() { od -An -tx1 | tr -d ' \n'; }
# The file's bytes: the given ones, then the mail settings' lines once the mail dialog saved them.
mail_hex=
extra_is() { [ "$(hex <"$extra")" = "$(printf "$1" | hex)$mail_hex" ]; }

settings_before=$(md5sum <"$work/app/TarvelYedek.ini")
extra_before=$(md5sum <"$extra")
start_copy
check "the window is shown at start" within 15 window_visible
# The window's size at 96 DPI, to compare with 144 DPI at the end.
window_size() { xdotool getwindowgeometry "$(main_window)" 2>/dev/null | awk '/Geometry:/ {sub("x", " ", $2); print $2}'; }
read -r width96 height96 <<<"$(window_size)"
check "the icon docks in the tray" within 10 icon_docked
check "the window hides itself after a second" within 5 window_hidden
check "a start and its hide leave the settings file's bytes" test "$(md5sum <"$work/app/TarvelYedek.ini")" = "$settings_before"
check "and the extra settings file's" test "$(md5sum <"$extra")" = "$extra_before"
read -r x y <<<"$(icon_center)"
xdotool mousemove "$x" "$y" click --repeat 2 --delay 80 1
check "a double-click on the icon shows the window" within 5 window_visible

# "Yedekle": the button's middle in the window Wine frames itself.
click_in_window 613 193
archive() { ls "$c"/tarvel-yedek/tarvel-yedek*.zip 2>/dev/null | head -1; }
archived() { [ -n "$(archive)" ]; }
check "\"Yedekle\" makes the archive with the Windows zip program" within 10 archived
check "its entries start at the drive root" bash -c "unzip -Z1 '$(archive)' | head -1 | grep -qx 'brevund/belgeler/'"
recorded() { [ -n "$(sql 'SELECT zelparametervalue FROM pub.zelparameter WHERE zelparameterid=1000')" ]; }
run_log() { cat "$work/app/TarvelYedek.log" 2>/dev/null; }
# A loaded machine can take a while for Wine's first ODBC connection; the log tells why if not.
check "the history row is written through Wine's ODBC" within 40 recorded || run_log | tail -8 | sed 's/^/#   /'
spaced_archive() { ls "$c"/eski\ hedef/eski\ hedef*.zip 2>/dev/null | head -1; }
check "a folder typed with a trailing backslash is archived by the real zip" \
    bash -c "unzip -Z1 \"$(spaced_archive)\" | grep -qx 'eski yedek/alt/q.txt'"
check "each pair's log line tells how many files were read back" \
    test "$(run_log | grep -c 'dosya doğrulandı')" = 2
check "and the hidden file that zip leaves out is counted, not failed" \
    bash -c "unzip -Z1 '$(archive)' | grep -q gizli && exit 1; grep -q '1 gizli ya da sistem dosyası alınmadı' '$work/app/TarvelYedek.log'"
check "empty pairs write no log line" bash -c "! grep -q atlandı '$work/app/TarvelYedek.log'"
# Wine has no shadow copy service: the run says why it read the live files, and archived them.
check "without a shadow copy the run warns and backs up the live files ($(run_log | grep -o 'Gölge kopya alınamadı: [^;]*' | head -1))" \
    bash -c "grep -q 'Gölge kopya alınamadı: .*; canlı dosyalar yedeklendi' '$work/app/TarvelYedek.log'"

sql 'INSERT INTO pub."zelDisconnect" VALUES (7)'
served() { grep -q 'disconnect 7' "$c/progress/openedge/bin/proshut.log" 2>/dev/null; }
check "a disconnect request is served by proshut.bat through Wine's cmd" within 20 served
gone() { [ "$(sql 'SELECT count(*) FROM pub."zelDisconnect"')" = 0 ]; }
check "and the request row is gone" within 10 gone

# Turkish letters typed into the second source box, then Tab: Windows-1254 bytes, CR LF.
click_in_window 255 76
xdotool key End shift+Home
xdotool type --delay 60 'c:\yedekğüşıöçİ'
xdotool key Tab
turkish_saved() { head -3 "$work/app/TarvelYedek.ini" | tail -1 | od -An -tx1 | tr -d ' \n' | grep -q '633a5c796564656bf0fcfefdf6e7dd0d0a'; }
check "the typed folder is saved as Windows-1254 with CR LF" within 5 turkish_saved

# --- A settings file that is a symbolic link: the file it names is replaced, the link stays.
mkdir -p "$c/ayarlar"
mv "$work/app/TarvelYedek.ini" "$c/ayarlar/TarvelYedek.ini"
ln -s "$c/ayarlar/TarvelYedek.ini" "$work/app/TarvelYedek.ini"
switch_saved() { sed -n 9p "$c/ayarlar/TarvelYedek.ini" | tr -d '\r' | grep -qx "$1"; }
click_in_window 40 181  # "Yedek - 1"
check "a switch click with a linked settings file writes the file the link names" within 5 switch_saved 1
check "and the link stays a link" test -L "$work/app/TarvelYedek.ini"
click_in_window 40 181  # off again; the link stays for the rest of the test
within 5 switch_saved 0

# The last row: its up-down's arrow key, typing and the check box each save TarvelYedekEk.ini at
# once, as Windows-1254 with CR LF, the comment kept; TarvelYedek.ini keeps its bytes.
settings_now=$(hex <"$work/app/TarvelYedek.ini")
click_in_window 321 328  # udSakla
xdotool key Up
check "udSakla's up arrow saves the loaded 3 as 4, the comment kept, CR LF" \
    within 5 extra_is '; Yedek say\xfds\xfd\r\nSaklanacakYedek=4\r\nKacanYedek=0\r\n'
xdotool key End shift+Home
xdotool type --delay 60 12
xdotool key Up
click_in_window 427 328  # chkKacan
check "typing 12, the up arrow and chkKacan save 13 and 1 as Windows-1254 with CR LF" \
    within 5 extra_is '; Yedek say\xfds\xfd\r\nSaklanacakYedek=13\r\nKacanYedek=1\r\n'
check "and TarvelYedek.ini keeps its fourteen lines byte for byte" test "$(hex <"$work/app/TarvelYedek.ini")" = "$settings_now"
import -window root "$work/window.png" 2>/dev/null && cp "$work/window.png" "$(dirname "$exe")/windows-e2e.png"

# --- "Ayarlar...", the last row's button: the settings dialog, filled by typing (the server box has the
# focus). "Deneme gönder" mails the test server; "Tamam" saves the settings into TarvelYedekEk.ini,
# the password protected by DPAPI. "Gönderilecek: Hiçbir şey", so that no run of this test mails.
shots="$(dirname "$exe")/screenshots"
mkdir -p "$shots"
mail_dialog() { xdotool search --onlyvisible --name '^Ayarlar$' 2>/dev/null | head -1; }
mail_dialog_shown() { [ -n "$(mail_dialog)" ]; }
mail_dialog_gone() { ! mail_dialog_shown; }
shot_dialog() {  # shot_dialog NAME: the dialog's window as screenshots/NAME.png; with none, import would wait for a click
    mail_dialog_shown && import -window "$(mail_dialog)" "$shots/$1.png" 2>/dev/null && test -s "$shots/$1.png"
}
# The dialog's bottom row at the DPI $dpi: "Deneme gönder" from its left edge, "Tamam" and "Vazgeç"
# from its right, each button at least 90 pixels wide at 96 DPI with 12 of margin.
dpi=96
dialog_button() {
    local w h x
    read -r w h <<<"$(xdotool getwindowgeometry "$(mail_dialog)" 2>/dev/null | awk '/Geometry:/ {sub("x", " ", $2); print $2}')"
    case $1 in
    Deneme) x=$((60 * dpi / 96)) ;;
    Tamam) x=$((w - 160 * dpi / 96)) ;;
    Vazgec) x=$((w - 62 * dpi / 96)) ;;
    esac
    xdotool mousemove --window "$(mail_dialog)" "$x" $((h - 31 * dpi / 96)) click 1
}
click_in_window 678 328  # cmdEposta
check "\"Ayarlar...\" opens the settings dialog" within 5 mail_dialog_shown
sleep 0.5
check "at 96 DPI it is shown as $shots/mail-96dpi.png" shot_dialog mail-96dpi
xdotool type --delay 60 localhost
xdotool key Tab End shift+Home
xdotool type --delay 60 "$smtp_port"
xdotool key Tab Tab  # "Güvenlik" keeps STARTTLS
xdotool type --delay 60 yedek
xdotool key Tab
xdotool type --delay 60 "$mail_password"
xdotool key Tab
xdotool type --delay 60 'yedek@ornek.com.tr'
xdotool key Tab
xdotool type --delay 60 'yonetici@ornek.com.tr'
xdotool key Tab End  # "Gönderilecek": the last choice
dialog_button Deneme
test_mail_arrived() { [ -s "$work/mail/1.eml" ]; }
check "\"Deneme gönder\" mails the test server over STARTTLS, as yedek with the typed password" \
    within 30 test_mail_arrived || sed 's/^/#   /' "$work/smtp.log"
computer=$(wine cmd /c 'echo %COMPUTERNAME%' 2>/dev/null | tr -d '\r')
mail_subject() {
    /usr/bin/python3 -c 'import email, email.policy, sys
print(email.message_from_binary_file(open(sys.argv[1], "rb"), policy=email.policy.default)["Subject"])' "$1" 2>/dev/null
}
check "its subject is \"[ZEL Yedek] $computer: deneme iletisi\"" \
    test "$(mail_subject "$work/mail/1.eml")" = "[ZEL Yedek] $computer: deneme iletisi"
check "to the typed address" grep -qx 'RCPT TO:<yonetici@ornek.com.tr>' "$work/mail/1.env"
sleep 2  # the answer is posted to the window's thread after the server's reply
check "the dialog with the answer is $shots/mail-test-answer.png" shot_dialog mail-test-answer
extra_head=$(head -3 "$extra" | hex)
dialog_button Tamam
check "\"Tamam\" closes the dialog" within 5 mail_dialog_gone
mail_lines_are() {  # each a line of the file; in the C locale, where [A-Za-z] is every ASCII letter
    local line
    for line in "$@"; do tr -d '\r' <"$extra" | LC_ALL=C grep -qx "$line" || return 1; done
}
check "and saves the server, port, security, user, addresses and choice into TarvelYedekEk.ini" \
    mail_lines_are EpostaSunucu=localhost "EpostaPort=$smtp_port" EpostaGuvenlik=starttls EpostaKullanici=yedek \
    EpostaKimden=yedek@ornek.com.tr EpostaKime=yonetici@ornek.com.tr EpostaNe=yok
password_protected() { mail_lines_are 'EpostaParola=dpapi:[A-Za-z0-9+/]\{40,\}=*' && ! grep -qaF 'Gizli-' "$extra"; }
check "and the password as \"dpapi:\" and base64, never in clear" password_protected
crlf_and_head_kept() {
    [ "$(grep -c $'\r$' "$extra")" = "$(wc -l <"$extra")" ] && [ "$(tail -c 1 "$extra" | hex)" = 0a ] &&
        [ "$(head -3 "$extra" | hex)" = "$extra_head" ]
}
check "every line ending in CR LF, the three lines before kept byte for byte" crlf_and_head_kept
mail_hex=$(tail -n +4 "$extra" | hex)
saved_mail=$(hex <"$extra")

# Opened again, the password box is empty ("(kayıtlı)" shows a password is kept): "Tamam" keeps the
# stored one, so the file keeps its bytes; a box holding the stored text would protect it anew.
click_in_window 678 328
check "the dialog opens again" within 5 mail_dialog_shown
sleep 0.5
check "showing the saved settings, as $shots/mail-reopened.png" shot_dialog mail-reopened
dialog_button Tamam
within 5 mail_dialog_gone
check "and \"Tamam\" with its empty password box keeps the file byte for byte" test "$(hex <"$extra")" = "$saved_mail"
# The "İzleme" page: Shift+Tab from the server box reaches the pages' tabs, Right turns to it, Tab
# reaches its folder box. "Tamam" saves the folder, whose metrics file is written at once.
mkdir -p "$c/metrik"
click_in_window 678 328
within 5 mail_dialog_shown
xdotool key shift+Tab Right Tab
xdotool type --delay 60 'c:\metrik'
sleep 0.5
check "its \"İzleme\" page takes the metrics folder, as $shots/settings-izleme.png" shot_dialog settings-izleme
dialog_button Tamam
within 5 mail_dialog_gone
check "\"Tamam\" adds the folder's line to the file" test "$(hex <"$extra")" = "$saved_mail$(printf 'MetrikKlasoru=c:\\metrik\r\n' | hex)"
metrics_written() { grep -q '^zelyedek_up 1$' "$c/metrik/zelyedek.prom" 2>/dev/null; }
check "and the metrics file is there at once" within 5 metrics_written
# The "Uzak kopya" page, two tabs on: a folder on drive d as the second place, its "Deneme" answered
# in the answer lines, and "Tamam" saving the kind and the folder.
mkdir -p "$work/d/uzak"
ln -sfn "$work/d" "$WINEPREFIX/dosdevices/d:"
click_in_window 678 328
within 5 mail_dialog_shown
xdotool key shift+Tab Right Right Tab Down Tab  # the kind: "Klasör"
xdotool type --delay 60 'd:\uzak'
dialog_button Deneme
sleep 2
check "its \"Uzak kopya\" page takes a folder on drive d, as $shots/settings-uzak.png" shot_dialog settings-uzak
dialog_button Tamam
within 5 mail_dialog_gone
uzak_saved() { mail_lines_are UzakTur=klasor 'UzakAdres=d:\\uzak' && crlf_and_head_kept; }
check "\"Tamam\" saves the folder kind and the folder, every line in CR LF" uzak_saved
copied_there() {
    local a; a=$(archive)
    [ -n "$a" ] && cmp -s "$a" "$work/d/uzak/c_tarvel-yedek/$(basename "$a")" &&
        grep -q "Uzak kopya: c:.tarvel-yedek.$(basename "$a") -> d:.uzak (" "$work/app/TarvelYedek.log"
}
check "the archive made before is copied to drive d at once, proven there and logged" within 30 copied_there
# Then S3-compatible storage over HTTPS (Schannel, the test CA): the kind's next choice, the folder
# typed over with the address, then the access key, its secret, the region, the bucket and a key
# prefix. "Deneme" writes, reads back and deletes an object; "Tamam" saves the secret by DPAPI.
read -r s3_port s3_key s3_secret < <(cat "$work/moto/port" "$work/moto/key" "$work/moto/secret" | tr '\n' ' ')
click_in_window 678 328
within 5 mail_dialog_shown
xdotool key shift+Tab Right Right Tab Down Tab End shift+Home  # the kind: "S3 uyumlu depolama"
for typed in "https://localhost:$s3_port" "$s3_key" "$s3_secret" us-east-1 yedek; do
    xdotool type --delay 60 "$typed"
    xdotool key Tab
done
xdotool type --delay 60 ofis
dialog_button Deneme
s3_tried() { grep -qE '"DELETE /yedek/ofis/zelyedek-deneme\.tmp(\?[^ ]*)? HTTP/1\.1" 204' "$work/moto/server.log"; }
check "for S3 its \"Deneme\" writes, reads back and deletes an object over HTTPS, signed" within 30 s3_tried
sleep 1  # the answer is posted to the window's thread
check "the page with the answer is $shots/settings-uzak-s3.png" shot_dialog settings-uzak-s3
dialog_button Tamam
within 5 mail_dialog_gone
s3_saved() {
    mail_lines_are UzakTur=s3 "UzakAdres=https://localhost:$s3_port" "UzakKullanici=$s3_key" UzakBolge=us-east-1 \
        UzakKova=yedek UzakOnek=ofis && crlf_and_head_kept
}
check "\"Tamam\" saves the S3 kind, address, access key, region, bucket and prefix" s3_saved
secret_protected() { mail_lines_are 'UzakParola=dpapi:[A-Za-z0-9+/]\{40,\}=*' && ! grep -qaF -- "$s3_secret" "$extra"; }
check "and the secret as \"dpapi:\" and base64, never in clear" secret_protected
s3_get() {
    curl -sf --aws-sigv4 aws:amz:us-east-1:s3 --user "$s3_key:$s3_secret" -H "x-amz-content-sha256: UNSIGNED-PAYLOAD" \
        --cacert "$work/ca/ca.pem" "https://127.0.0.1:$s3_port/yedek/$1"
}
copied_to_s3() {
    local a; a=$(archive)
    [ -n "$a" ] && s3_get "ofis/c_tarvel-yedek/$(basename "$a")" >"$work/s3-copy.zip" && cmp -s "$a" "$work/s3-copy.zip" &&
        grep -qF "Uzak kopya: c:\\tarvel-yedek\\$(basename "$a") -> s3://yedek/ofis/ (localhost:$s3_port) (" \
            "$work/app/TarvelYedek.log"
}
check "the archive is copied into the bucket at once, proven there and logged" within 30 copied_to_s3
secret_unlogged() { [ -s "$work/app/TarvelYedek.log" ] && ! grep -qaF -- "$s3_secret" "$work/app/TarvelYedek.log"; }
check "and the secret is in no line of the run log" secret_unlogged
# The "Komutlar" page, three tabs on: the command boxes left empty, the shadow copy's list turned
# to "Hayır"; from then on a run reads live and says nothing of a shadow copy.
click_in_window 678 328
within 5 mail_dialog_shown
xdotool key shift+Tab Right Right Right Tab Tab Tab Down  # the list: "Hayır"
sleep 0.5
check "its \"Komutlar\" page holds the two commands and the shadow copy's list, as $shots/settings-komutlar.png" \
    shot_dialog settings-komutlar
dialog_button Tamam
within 5 mail_dialog_gone
check "\"Tamam\" saves the shadow copy's \"Hayır\" and no command" \
    bash -c "tr -d '\r' <'$extra' | grep -qx GolgeKopya=hayir && ! grep -q Komut= '$extra'"
shadow_lines=$(run_log | grep -c 'Gölge kopya')
runs_before=$(run_log | grep -c 'Yedekleme bitti')
click_in_window 613 193  # "Yedekle"
run_done() { [ "$(run_log | grep -c 'Yedekleme bitti')" -gt "$runs_before" ]; }
within 30 run_done
check "and the next run says nothing of a shadow copy" test "$(run_log | grep -c 'Gölge kopya')" -eq "$shadow_lines"
mail_hex=$(tail -n +4 "$extra" | hex)
saved_mail=$(hex <"$extra")
click_in_window 678 328
within 5 mail_dialog_shown
sleep 0.5
xdotool type --delay 60 x
dialog_button Vazgec
check "\"Vazgeç\" closes the dialog" within 5 mail_dialog_gone
check "and saves nothing of what was typed" test "$(hex <"$extra")" = "$saved_mail"

# --- A settings file that cannot be written: the switch click is told, the file stays as it was.
chmod a-w "$work/app/TarvelYedek.ini"
read_only_before=$(md5sum <"$work/app/TarvelYedek.ini")
click_in_window 40 181  # "Yedek - 1"
save_told() { grep -q 'Ayarlar kaydedilemedi: .*TarvelYedek.ini (dosya salt okunur)' "$work/app/TarvelYedek.log"; }
check "a click on a switch with a read-only settings file is told in the run log" within 5 save_told
check "and the file is left as it was" test "$(md5sum <"$work/app/TarvelYedek.ini")" = "$read_only_before"
chmod u+w "$work/app/TarvelYedek.ini"
click_in_window 40 181  # back as it was, and saved

# --- A hover on a picker shows its tooltip.
xdotool mousemove --window "$(main_window)" 80 220  # "dtYedek1"
check "a hover on a picker shows its tooltip" within 5 untitled_window
xdotool mousemove --window "$(main_window)" 700 300
no_untitled_window() { ! untitled_window; }
within 5 no_untitled_window

# A second copy gives way: its message, then the first copy's window comes up. It starts through
# a link to the program folder, which names the folder otherwise, as a subst drive or a short
# name does.
click_in_window 613 247  # "Gizle"
within 5 window_hidden
ln -s "$work/app" "$work/app-link"
start_copy "$work/app-link"
two_copies() { [ "$(copies)" -ge 2 ]; }
within 10 two_copies
# The second copy shows no window but its message; Wine marks each window with its process.
message_shown() { [ -n "$(newest_copy_windows)" ]; }
check "the second copy shows its message" within 15 message_shown
sleep 0.5  # the box takes the focus as it is mapped
xdotool key Return
one_copy() { [ "$(copies)" -eq 1 ]; }
check "after the message the second copy ends" within 10 one_copy
check "and the first copy's window is on screen" within 5 window_visible

# A folder typed into the second source box and never left is kept by "&Kapat".
click_in_window 255 76
xdotool key End shift+Home
xdotool type --delay 60 'c:\kapatta'
read -r x y <<<"$(icon_center)"
xdotool mousemove "$x" "$y" click 3
check "a right-click on the icon opens its menu" within 5 untitled_window
xdotool key k  # the access key of "&Kapat"
no_copy() { [ "$(copies)" -eq 0 ]; }
check "\"&Kapat\" ends the program" within 10 no_copy
check "and removes the icon" within 5 icon_gone
kapat_saved() { sed -n 3p "$work/app/TarvelYedek.ini" | tr -d '\r' | grep -qx 'c:\\kapatta'; }
check "and saves the folder typed without Tab" kapat_saved

# --- 144 DPI (the prefix's LogPixels), then the end of the session with a box typed into, while
# a scheduled run zips its third pair (a large folder), the first source missing, the second empty.
wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 144 /f >/dev/null 2>&1
mkdir -p "$c/buyuk"
head -c 150M /dev/urandom >"$c/buyuk/veri.bin"
printf '%s\r\n' 'c:\yok' 'c:\tarvel-yedek' '' '' 'c:\buyuk' 'c:\ucuncu' '' '' 1 "$(date -d '+12 sec' +%T)" 0 17:00:00 0 \
    12:00:00 >"$work/app/TarvelYedek.ini"
start_copy
check "at 144 DPI the window is shown" within 15 window_visible
read -r width144 height144 <<<"$(window_size)"
about_one_and_a_half() { awk -v a="$1" -v b="$2" -v lo="$3" 'BEGIN {exit !(b / a >= lo && b / a <= 1.6)}'; }
check "at 144 DPI the window is 1.5 times as wide (${width96}x${height96} -> ${width144}x${height144})" \
    about_one_and_a_half "$width96" "$width144" 1.45
check "and about 1.5 times as high" about_one_and_a_half "$height96" "$height144" 1.35
within 5 window_hidden
zip_running() {
    local pid
    for pid in $(pgrep -x zip.exe); do
        tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX" && return 0
    done
    return 1
}
check "the slot's run shows the window and zips the third pair" within 30 zip_running
within 5 window_visible
import -window root "$work/window144.png" 2>/dev/null && cp "$work/window144.png" "$(dirname "$exe")/windows-e2e-144dpi.png"
# Shown again, the window gives the focus back to the first source box: typed into, no click, no Tab.
xdotool key End shift+Home
xdotool type --delay 60 'c:\oturum'
wineboot --end-session >/dev/null 2>&1
typed_saved() { head -1 "$work/app/TarvelYedek.ini" | tr -d '\r' | grep -qx 'c:\\oturum'; }
check "the end of the session saves the folder box typed into without Tab" within 10 typed_saved
check "the program ends with the session" within 10 no_copy
session_logged() { grep -q 'Oturum kapanıyor: program sona erdi' "$work/app/TarvelYedek.log"; }
check "and says so in the run log" session_logged
third_pair_named() { grep -q 'yarıda kalan yedekleme kaydedilmedi: c:.buyuk -> c:.ucuncu' "$work/app/TarvelYedek.log"; }
check "naming the third pair, whose zip was running" third_pair_named

# The last row at 144 DPI, started again: chkKacan (1 from the file) is clicked off with udSakla's
# 13 kept; Shift+Tab reaches udSakla, and from cmdEposta, last in the focus order, Tab goes round to
# the first source box, whose typed text "&Kapat" keeps. Before, the mail dialog at 144 DPI.
start_copy
within 15 window_visible
within 5 window_hidden
read -r x y <<<"$(icon_center)"
xdotool mousemove "$x" "$y" click --repeat 2 --delay 80 1
check "at 144 DPI a double-click on the icon shows the window again" within 5 window_visible
click_in_window $((3 + 675 * 3 / 2)) $((height144 - 3 - (323 - 306) * 3 / 2))  # cmdEposta
check "at 144 DPI \"Ayarlar...\" opens the settings dialog" within 5 mail_dialog_shown ||
    xdotool search --onlyvisible --name . getwindowname %@ 2>/dev/null | sed 's/^/#   shown: /'
sleep 0.5
check "shown as $shots/mail-144dpi.png" shot_dialog mail-144dpi
shot_size() { identify -format '%w %h' "$shots/$1.png" 2>/dev/null; }
read -r shot_w96 shot_h96 <<<"$(shot_size mail-96dpi)"
read -r shot_w144 shot_h144 <<<"$(shot_size mail-144dpi)"
check "1.5 times as wide as at 96 DPI (${shot_w96}x${shot_h96} -> ${shot_w144}x${shot_h144})" \
    about_one_and_a_half "$shot_w96" "$shot_w144" 1.4
check "and about 1.5 times as high" about_one_and_a_half "$shot_h96" "$shot_h144" 1.35
dpi=144
xdotool key shift+Tab Right Right
sleep 0.5
check "its \"Uzak kopya\" page, the longest, as $shots/settings-uzak-144dpi.png" shot_dialog settings-uzak-144dpi
dialog_button Vazgec
check "at 144 DPI \"Vazgeç\" closes it" within 5 mail_dialog_gone
click_in_window $((3 + 440 * 3 / 2)) $((height144 - 3 - (323 - 306) * 3 / 2))  # chkKacan's text
check "at 144 DPI a click on chkKacan saves 0, udSakla's loaded 13 kept" \
    within 5 extra_is '; Yedek say\xfds\xfd\r\nSaklanacakYedek=13\r\nKacanYedek=0\r\n'
xdotool key shift+Tab
xdotool type --delay 60 7
check "Shift+Tab from chkKacan reaches udSakla, whose typed 7 is saved" \
    within 5 extra_is '; Yedek say\xfds\xfd\r\nSaklanacakYedek=7\r\nKacanYedek=0\r\n'
xdotool key Tab Tab Tab
xdotool key End shift+Home
xdotool type --delay 60 'c:\sekme'
read -r x y <<<"$(icon_center)"
xdotool mousemove "$x" "$y" click 3
within 5 untitled_window && xdotool key k
check "\"&Kapat\" ends it" within 10 no_copy
tab_round() { head -1 "$work/app/TarvelYedek.ini" | tr -d '\r' | grep -qx 'c:\\sekme'; }
check "Tab from cmdEposta went round to the first source box" tab_round

# --- The installer as msiexec runs it silently: a per-user install that starts the program, an
# upgrade and a removal that keep the user's settings and logs.
export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;winemenubuilder.exe=d"  # no menu entries on this machine
msi="$(dirname "$exe")/zelyedek.msi"
installed="$c/users/$(id -un)/AppData/Local/Programs/ZEL Yedek"
links=("$c/users/$(id -un)/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/"{,StartUp/}"ZEL Yedek.lnk")
msi_property() { msiinfo export "$1" Property | tr -d '\r' | awk -v k="$2" '$1 == k {print $2}'; }
listed() {  # in "Apps & features" with version $2 and publisher ZEL (Wine keeps it under HKLM)
    wine reg query "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$(msi_property "$1" ProductCode)" \
        2>/dev/null | tr -d '\r' | grep -Ec "^ +(DisplayVersion +REG_SZ +$2|Publisher +REG_SZ +ZEL)\$" | grep -qx 2
}
replaced() { listed "$1" "$2" && ! listed "$3" "$4"; }
shortcuts_start_it() { for l in "${links[@]}"; do grep -aqF 'Local\Programs\ZEL Yedek\zelyedek.exe' "$l" || return 1; done; }
all_gone() { for f in "$@"; do [ ! -e "$f" ] || return 1; done; }
installed_copy_docked() { pgrep -af zelyedek.exe | grep -qF 'Programs\ZEL Yedek\zelyedek.exe' && icon_docked; }
# Wine has no Restart Manager to end a running copy before msiexec replaces it. Now and then the
# menu of a copy that msiexec started does not open at the first right-click: what was seen is
# printed, and the user's second try is made.
quit_by_menu() {
    local attempt
    for attempt in 1 2 3; do
        within 5 window_hidden  # the start-up hide would close the menu
        read -r x y <<<"$(icon_center)"
        xdotool mousemove "$x" "$y" click 3
        within 5 untitled_window && xdotool key k
        within 10 no_copy && return 0
        echo "# try $attempt: icon $(wine_icon), copies $(copies), untitled window: $(untitled_window && echo yes || echo no)"
        xdotool key Escape
    done
    return 1
}
# Wine's launcher now and then fails to start msiexec at all ("ShellExecuteEx başarısız"): tried
# once more, as a user would; a package that fails fails both times.
msiexec_quietly() {
    wine msiexec "$@" /qn && return 0
    echo "(msiexec $1 failed; once more)"
    sleep 2
    wine msiexec "$@" /qn
}
version=$(msi_property "$msi" ProductVersion)
check "zelyedek.msi $version is installed silently" msiexec_quietly /i "$msi"
check "the exe is in the user's Programs folder" test -f "$installed/zelyedek.exe"
check "the Start menu's and the Startup folder's shortcuts start it" shortcuts_start_it
check "Apps & features lists version $version by ZEL" listed "$msi" "$version"
check "the install starts the installed program and its icon docks" within 15 installed_copy_docked

check "its menu ends it before the upgrade" quit_by_menu
printf '%s\r\n' 'c:\el yapimi' 'd:\yedek' '' '' '' '' '' '' 1 06:30:00 0 17:00:00 2 12:00:00 >"$installed/TarvelYedek.ini"
echo 'eski günlük' >"$installed/TarvelYedek.log.1"
user_data() { cat "$installed/TarvelYedek.ini" "$installed/TarvelYedek.log.1" 2>/dev/null | md5sum; }
hand_made=$(user_data)
next=$(awk -F. '{print $1 "." $2 "." $3 + 1}' <<<"$version")
bash "$(dirname "$0")/../../scripts/package-windows" "$exe" "$work/zelyedek-next.msi" "$next" >/dev/null
check "an upgrade to $next is installed silently" msiexec_quietly /i "$work/zelyedek-next.msi"
check "Apps & features lists $next instead of $version" replaced "$work/zelyedek-next.msi" "$next" "$msi" "$version"
check "the upgrade keeps the settings file and the old log byte for byte" test "$(user_data)" = "$hand_made"
check "and starts the new version" within 15 installed_copy_docked

check "its menu ends it before the removal" quit_by_menu
check "the removal runs silently" msiexec_quietly /x "$work/zelyedek-next.msi"
check "it removes the exe and both shortcuts" all_gone "$installed/zelyedek.exe" "${links[@]}"
check "it leaves the run log, the settings file and the old log byte for byte" \
    test -f "$installed/TarvelYedek.log" -a "$(user_data)" = "$hand_made"

# --- A start, a double-click, a run that fails (the target's parent is missing: zip ends with 15)
# and "&Kapat", three times with both cores busy and Wine's heap checks on: a crash around a run's
# start (the database and mail threads, the runner's waits, the follower) or a damaged heap shows.
wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 96 /f >/dev/null 2>&1  # the clicks' places
mkdir -p "$work/tekrar"
cp "$exe" "$work/tekrar/zelyedek.exe"
printf '%s\r\n' 'c:\brevund\belgeler' 'c:\yok\hedef' '' '' '' '' '' '' 0 05:00:00 0 17:00:00 0 12:00:00 \
    >"$work/tekrar/TarvelYedek.ini"
# The metrics file and a dead man's switch over HTTPS (Schannel, the test CA): each round's start and failure.
ping_port=$(free_port)
/usr/bin/python3 "$here/ping_server.py" "$ping_port" "$work/pings" "$work/ca/server.pem" "$work/ca/server.key" \
    >"$work/ping.log" 2>&1 &
pids+=($!)
mkdir -p "$c/metrik"
printf 'MetrikKlasoru=c:\\metrik\r\nIzlemeAdresi=https://localhost:%s/ping/tekrar\r\n' "$ping_port" \
    >"$work/tekrar/TarvelYedekEk.ini"
hogs=()
for _ in 1 2; do
    nice -n 10 bash -c 'while :; do :; done' &
    hogs+=($!)
done
pids+=("${hogs[@]}")
logged() { [ "$(grep -c "$1" "$work/tekrar/TarvelYedek.log" 2>/dev/null)" -ge "$2" ]; }
round() {  # round N: false at the first step that fails
    WINEDEBUG=warn+heap start_copy "$work/tekrar"
    within 30 icon_docked && within 10 window_hidden && read -r x y <<<"$(icon_center)" &&
        xdotool mousemove "$x" "$y" click --repeat 2 --delay 80 1 && within 10 window_visible &&
        within 60 logged 'Veritabanı bağlantısı' "$1" && click_in_window 613 193 &&
        within 60 logged 'zip hata kodu 15' "$1" && within 30 logged 'Yedekleme bitti' "$1" && quit_by_menu
}
for i in 1 2 3; do
    check "round $i under load: a start, a run failing with zip's code 15, the menu's \"&Kapat\"" round "$i"
    [ "$(copies)" -eq 0 ] || kill $(copy_pids) 2>/dev/null
done
kill "${hogs[@]}"
check "Wine saw no crash and no damaged heap" bash -c "! grep -qE 'wine: Unhandled|:heap:' '$work/app.log'"
pinged() { [ "$(grep -cP "$1" "$work/pings" 2>/dev/null)" -ge 3 ]; }
check "each round's start went to the switch over HTTPS" within 10 pinged '^GET\t/ping/tekrar/start\t$'
check "and its failure, with the run's lines" within 10 pinged '^POST\t/ping/tekrar/fail\t.*zip hata kodu 15'
prom="$c/metrik/zelyedek.prom"
lf_only() { ! grep -q $'\r' "$prom" && [ "$(tail -c1 "$prom" | od -An -tx1 | tr -d ' ')" = 0a ]; }
check "the metrics file has LF line ends, the last one too" lf_only
prom_says() { grep -qE '^zelyedek_info\{version="[^"]+",mode="alone"\} 1$' "$prom" &&
    grep -qE '^zelyedek_last_run_success\{pair="1",.*\} 0$' "$prom"; }
check "it says the program runs alone and its pair's last run failed" prom_says
check "and nothing but it is left in the folder" test "$(ls "$c/metrik")" = zelyedek.prom

if [ $failures -gt 0 ]; then
    echo "--- processes"; copy_pids
    echo "--- run log"; cat "$work/app/TarvelYedek.log" 2>/dev/null
    echo "--- the rounds' run log"; tail -40 "$work/tekrar/TarvelYedek.log" 2>/dev/null
    echo "--- wine"; tail -20 "$work/app.log" 2>/dev/null
fi
finish
