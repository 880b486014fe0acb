#!/usr/bin/env bash
# The .deb on this machine: lintian and systemd-analyze pass; installing puts the program, the unit,
# the autostart entry and the group in place and enables the service; the service started by the
# unit's own ExecStart answers --durum and ends cleanly on SIGTERM; removing keeps the settings and
# the log, purging deletes them but not what the admin put under drives/.
#   package_e2e.sh [DEB]   (without DEB: scripts/package-linux builds it in $ZEL_BUILD)
# Needs root and dpkg; skips (77) without them. Leaves the machine as it found it.
set -uo pipefail
skip=77
[ "$(id -u)" -eq 0 ] || { echo "SKIP - installs a package: needs root"; exit $skip; }
command -v dpkg >/dev/null || { echo "SKIP - needs dpkg (Debian)"; exit $skip; }
root=$(cd "$(dirname "$0")/../.." && pwd)
source "$root/tests/e2e/lib.sh"
source "$root/scripts/lib.sh"

folder=/opt/zelyedek
program=$folder/zelyedek
unit=/lib/systemd/system/zelyedek.service
autostart=/etc/xdg/autostart/zelyedek.desktop
runtime=/run/zelyedek

# What is already here is not this test's to remove.
if dpkg-query -W zelyedek >/dev/null 2>&1 || [ -e $folder ] || getent group zelyedek >/dev/null ||
    getent group zelyedek-yonetim >/dev/null; then
    echo "FAIL - zelyedek (package, $folder or group) is already on this machine; the test would remove it"
    exit 1
fi

# The service's lock in /tmp is named by instanceKey (FNV-1a, 64 bits) of its folder.
instance_key() {
    local h=1469598103934665603 i c
    for ((i = 0; i < ${#1}; i++)); do
        printf -v c '%d' "'${1:i:1}"
        h=$(((h ^ c) * 1099511628211))
    done
    printf 'zelyedek-%016x' "$h"
}
lock=/tmp/$(instance_key $folder).lock
lock_was_there=$([ -e "$lock" ] && echo 1)
runtime_was_there=$([ -e $runtime ] && echo 1)
service=""
package_cleanup() {
    [ -n "$service" ] && kill -KILL "$service" 2>/dev/null && wait "$service"
    dpkg-query -W zelyedek >/dev/null 2>&1 && dpkg -P zelyedek >/dev/null
    rm -rf $folder
    for group in zelyedek zelyedek-yonetim; do
        getent group $group >/dev/null && delgroup --system --quiet $group >/dev/null
    done
    [ -z "$lock_was_there" ] && rm -f "$lock"
    [ -z "$runtime_was_there" ] && rm -rf $runtime
    cleanup
}
trap package_cleanup EXIT

zel_install_missing >&2
deb=${1:-$("$root/scripts/package-linux")} || { echo "FAIL - scripts/package-linux"; exit 1; }
deb=$(realpath "$deb")
echo "package: $deb"

check "lintian finds no error" lintian --fail-on error "$deb"
check "apt-get installs the package" apt-get -o DPkg::Lock::Timeout=600 install -y -q --no-install-recommends "$deb"

mode() { stat -c '%U:%G %a' "$1" 2>/dev/null; }
check "$folder is root's, 755" test "$(mode $folder)" = "root:root 755"
check "the program is root's, 755" test "$(mode $program)" = "root:root 755"
check "the unit is root's, 644" test "$(mode $unit)" = "root:root 644"
check "the autostart entry is root's, 644" test "$(mode $autostart)" = "root:root 644"
check "the autostart entry starts the window client" grep -qx "Exec=$program --pencere" $autostart
for group in zelyedek zelyedek-yonetim; do
    gid=$(getent group $group | cut -d: -f3)
    check "the group $group is a system group" test "${gid:-0}" -ge 100 -a "${gid:-1000}" -lt 1000
done
check "the service is enabled for multi-user.target" \
    test "$(readlink /etc/systemd/system/multi-user.target.wants/zelyedek.service)" = $unit
verify=$(systemd-analyze verify $unit 2>&1)
check "systemd-analyze verify passes without a word" test $? -eq 0 -a -z "$verify"
[ -n "$verify" ] && echo "$verify"
check "the unit shares /tmp, where the lock a copy run by hand sees lives" \
    bash -c "! grep -Eiq '^(PrivateTmp|DynamicUser)=(yes|true|on|1)' $unit"

# Settings an admin brought along: no schedule slot on, so no backup runs while the test does.
printf '%s\r\n' '' '' '' '' '' '' '' '' 0 05:00:00 0 17:00:00 0 12:00:00 >$folder/TarvelYedek.ini
printf '%s\r\n' KacanYedek=0 SaklanacakYedek=0 >$folder/TarvelYedekEk.ini

# Without a display, as over ssh; a program that waits for ever is cut short.
durum() { timeout 10 env -u DISPLAY -u WAYLAND_DISPLAY "$program" --durum >/dev/null; } 2>/dev/null
durum
check "--durum says 3 while no service runs" test $? -eq 3

# The way systemd starts it: its runtime folder made fresh, no session, from /.
read -ra exec_start <<<"$(sed -n 's/^ExecStart=//p' $unit)"
mkdir -p $runtime
chmod "$(sed -n 's/^RuntimeDirectoryMode=//p' $unit)" $runtime
(cd / && exec env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin RUNTIME_DIRECTORY=$runtime \
    "${exec_start[@]}" </dev/null >"$work/service.out" 2>&1) &
service=$!
# 0 to 2 is the service's own answer (ok, the day's warnings, a failure); 3 is none.
answers() { durum; [ $? -le 2 ]; }
check "the service answers --durum within 20 s" within 20 answers
check "its socket is in $runtime" test -S "$(find $runtime -name 'zelyedek-*.sock' | head -1)"
check "its machine-wide lock is in /tmp" test -e "$lock"
ended() { ! kill -0 "$service" 2>/dev/null || [ "$(cut -d' ' -f3 /proc/"$service"/stat 2>/dev/null)" = Z ]; }
running() { ! ended; }
check "it runs until told to stop" running
kill -TERM "$service" 2>/dev/null
check "SIGTERM ends it within 5 s" within 5 ended
if ended; then
    wait "$service"
    check "it ends with status 0" test $? -eq 0
    service=""
fi
check "the log says \"Hizmet durduruldu\"" grep -q "Hizmet durduruldu" $folder/TarvelYedek.log
echo "--- service output"; cat "$work/service.out"; echo "---"

check "dpkg -r removes the package" dpkg -r zelyedek
check "the program is gone" test ! -e $program
check "the unit is gone" test ! -e $unit
for f in TarvelYedek.ini TarvelYedekEk.ini TarvelYedek.log; do check "$f stays" test -s $folder/$f; done

# A rotated log, and a drive the admin put beside the program, before the purge.
echo eski >$folder/TarvelYedek.log.1
mkdir -p $folder/drives/c && echo veri >$folder/drives/c/veri.txt
check "dpkg -P purges it" dpkg -P zelyedek
left=$(find $folder -mindepth 1 -maxdepth 1 ! -name drives)
check "the settings and logs are gone" test -z "$left"
[ -n "$left" ] && echo "left: $left"
check "what is under drives/ stays" grep -qx veri $folder/drives/c/veri.txt
left=$(find /etc /lib/systemd /var/lib/systemd -name '*zelyedek*')
check "nothing of it is left in /etc, /lib/systemd, /var/lib/systemd" test -z "$left"
[ -n "$left" ] && echo "left: $left"
check "the groups, with nobody in them, are gone" \
    bash -c '! getent group zelyedek >/dev/null && ! getent group zelyedek-yonetim >/dev/null'

finish
