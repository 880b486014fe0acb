#!/usr/bin/env bash
# The settings files on a real display, where the window really has the focus: starting and the
# hide that follows write nothing; Tab out of an edited box saves; a context menu does not; the
# end of the session (SIGTERM) saves the box that has the focus and names the pair whose zip runs;
# the last row's spin box and check box save TarvelYedekEk.ini at once and leave TarvelYedek.ini.
set -uo pipefail
binary=$1
source "$(dirname "$0")/lib.sh"

prepare_program "$binary"
mkdir -m 700 "$work/runtime"
export XDG_RUNTIME_DIR="$work/runtime"
start_display
start_tray
settings="$work/TarvelYedek.ini"
extra="$work/TarvelYedekEk.ini"
main_window() { xdotool search --onlyvisible --name '^ZEL Yedek$' 2>/dev/null | head -1; }
focused_box_is_in_window() { [ "$(xdotool getwindowfocus 2>/dev/null)" = "$(main_window)" ]; }
start_copy() {
    start_app "$work/app.log" ./zelyedek
    app=$app_pid
    within 10 window_visible
    xdotool windowfocus --sync "$(main_window)" 2>/dev/null
}
stop_copy() { kill "$app"; wait "$app" 2>/dev/null; }

# A first start: the new file stays empty through the start and the hide.
start_copy
check "the window has the focus" focused_box_is_in_window
within 5 window_hidden
sleep 0.5
check "a start and its hide leave a new file empty ($(stat -c %s "$settings") bytes)" test "$(stat -c %s "$settings")" -eq 0
check "and make no extra settings file" test ! -e "$extra"
stop_copy

# A hand-made file with LF line ends and a sixteenth line keeps every byte.
printf 'c:\\brevund\nc:\\tarvel-yedek\n\n\n\n\n\n\n0\n05:00:00\n0\n17:00:00\n0\n12:00:00\nfazla\nsatir\n' >"$settings"
before=$(md5sum <"$settings")
start_copy
within 5 window_hidden
sleep 0.5
check "a start and its hide leave a hand-made file's bytes" test "$(md5sum <"$settings")" = "$before"

# Shown again: a context menu on a box writes nothing; typing, then Tab, saves.
xdotool search --name '^ZEL Yedek$' | head -1 | xargs -r xdotool windowmap --sync
within 5 window_visible
win=$(main_window)
xdotool windowfocus --sync "$win"
# A click into the first box (which saves if the focus was in another box), then the menu.
xdotool mousemove --window "$win" 250 21 click 1
sleep 0.3
before=$(md5sum <"$settings")
xdotool click 3
# The menu: a top-level window of the program beside its main window.
popup_open() { xwininfo -root -children 2>/dev/null | grep '("zelyedek"' | grep -vq ' 753x323+'; }
check "a right-click on the box opens its context menu" within 5 popup_open
xdotool key Escape
sleep 0.3
check "a context menu on a box writes nothing" test "$(md5sum <"$settings")" = "$before"
xdotool key ctrl+a type 'c:\yeni'
xdotool key Tab
saved() { [ "$(md5sum <"$settings")" != "$before" ]; }
check "Tab out of an edited box saves" within 5 saved
check "the saved file has the typed folder and fourteen CR LF lines" \
    bash -c "head -c 9 '$settings' | grep -q 'c:.yeni' && [ \$(grep -c \$'\r\$' '$settings') -eq 14 ] && [ \$(wc -l <'$settings') -eq 14 ]"
# Typed into the next box without Tab, then SIGTERM as at a shutdown: the box is saved, the end logged.
xdotool key ctrl+a type 'c:\sonra'
stop_copy
check "SIGTERM saves the box typed into without Tab" bash -c "sed -n 2p '$settings' | grep -q '^c:.sonra'"
check "and notes the end in the run log" grep -q 'Oturum kapanıyor: program sona erdi' "$work/TarvelYedek.log"

# The last row, over a hand-made extra file (Windows-1254, LF line ends): loaded without a write;
# the spin box's arrow, typing and the check box each save it at once with CR LF, its comment kept.
fourteen() {
    printf '%s\r\n' 'c:\brevund' 'c:\tarvel-yedek' 'c:\brevund' 'c:\tarvel-yedek' 'c:\brevund' 'c:\tarvel-yedek' \
        'c:\brevund' 'c:\tarvel-yedek' 0 05:00:00 0 17:00:00 0 12:00:00
}
fourteen >"$settings"
printf '; Yedek say\xfds\xfd\nSaklanacakYedek=3\n' >"$extra"
extra_before=$(md5sum <"$extra")
start_copy
within 5 window_hidden
sleep 0.5
check "a start and its hide leave the extra file's bytes" test "$(md5sum <"$extra")" = "$extra_before"
within 10 icon_docked
read -r x y <<<"$(icon_center)"
xdotool mousemove "$x" "$y" click --repeat 2 --delay 80 1  # shown as a user shows it, and painted
check "a double-click on the icon shows the window" within 5 window_visible
win=$(main_window)
xdotool windowfocus --sync "$win"
hex() { od -An -tx1 | tr -d ' \n'; }
extra_is() { [ "$(hex <"$extra")" = "$(printf "$1" | hex)" ]; }
xdotool mousemove --window "$win" 320 306 click 1  # udSakla
xdotool key Up
check "the spin box's up arrow saves the loaded 3 as 4, the comment kept, CR LF" \
    within 5 extra_is '; Yedek say\xfds\xfd\r\nSaklanacakYedek=4\r\nKacanYedek=0\r\n'
xdotool key ctrl+a type 12
xdotool key Up
xdotool mousemove --window "$win" 424 306 click 1  # chkKacan
check "typing 12, the up arrow and the check box save 13 and 1 as Windows-1254 with CR LF" \
    within 5 extra_is '; Yedek say\xfds\xfd\r\nSaklanacakYedek=13\r\nKacanYedek=1\r\n'
check "and TarvelYedek.ini keeps its fourteen lines byte for byte" test "$(hex <"$settings")" = "$(fourteen | hex)"
import -window root "$work/row.png" 2>/dev/null && cp "$work/row.png" "$(dirname "$binary")/settings-e2e-row.png"
stop_copy

# SIGTERM while the third pair's zip runs, the first source missing and the second pair empty:
# the end names the third pair, whose backup is not recorded.
printf 'c:\\yok\r\nc:\\tarvel-yedek\r\n\r\n\r\nc:\\brevund\r\nc:\\ucuncu\r\n\r\n\r\n0\r\n05:00:00\r\n0\r\n17:00:00\r\n0\r\n12:00:00\r\n' >"$settings"
zip_noting_runs 30
start_copy
within 5 window_hidden
xdotool search --name '^ZEL Yedek$' | head -1 | xargs -r xdotool windowmap --sync
within 5 window_visible
xdotool mousemove --window "$(main_window)" 610 171 click 1  # "Yedekle"
zip_running() { [ "$(runs)" -ge 1 ]; }
check "the third pair's zip runs" within 10 zip_running
stop_copy
check "SIGTERM during its zip names the third pair" \
    grep -q 'yarıda kalan yedekleme kaydedilmedi: c:.brevund -> c:.ucuncu' "$work/TarvelYedek.log"
[ $failures -gt 0 ] && { echo "--- program output"; cat "$work/app.log"; echo "--- settings file"; cat -A "$settings"; echo "--- extra settings file"; cat -A "$extra"; echo "--- run log"; cat "$work/TarvelYedek.log"; } 2>/dev/null
finish
