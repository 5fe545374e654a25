#!/usr/bin/env bash
# deb_overlay.sh: runs as root inside the throw-away root of deb_packages.sh (own mount,
# network and PID namespaces). Installs the packages in /tmp/t/debs offline, checks what
# they put in place, removes them with a private cupsd holding queues and the print
# service running, purges them and checks that nothing of the suite is left.
set -uo pipefail
t=/tmp/t
# shellcheck source=../harness/cupsfx.sh
. "$t/harness/cupsfx.sh"
ROOT=${ORVO_INSTALL_ROOT:?set by deb_packages.sh}
export DEBIAN_FRONTEND=noninteractive
mapfile -t packages < <(awk '{print $1}' "$t/expected" | sort -u)
has() { case " ${packages[*]} " in *" $1 "*) return 0 ;; esac; return 1; }

# apt_run DESC ARGS...: apt-get ARGS as one check; its output only when it fails.
apt_run() {
  local desc=$1 out rc=0
  shift
  out=$(apt-get "$@" 2>&1) || rc=$?
  check_eq "$desc" 0 "$rc"
  [ "$rc" -eq 0 ] || printf '%s\n' "$out"
}

ip link set lo up
# A private scheduler with one queue of the maker's and one foreign queue; the machine's
# own queues are not part of this copy.
rm -rf /etc/cups/printers.conf* /etc/cups/classes.conf* /etc/cups/subscriptions.conf* /etc/cups/ppd
mkdir -p /etc/cups/ppd
cp "$t/harness/cupsd.conf" /etc/cups/cupsd.conf
mount --bind /etc/cups /etc/cups
[ -x /usr/lib/cups/backend/socket ] || cp /var/cache/orvo-k500-test/backend/socket /usr/lib/cups/backend/
cupsfx_start || { echo "deb_overlay: private cupsd did not start" >&2; exit 1; }
trap cupsfx_stop EXIT
check "maker's queue added" cupsfx_add_queue K20NW_Q socket://127.0.0.1:9100 K20NW
check "foreign queue added" cupsfx_add_queue ACME_Q socket://127.0.0.1:9100 ACME

# --- install -------------------------------------------------------------------------
apt_run "apt-get install of ${packages[*]} (offline)" install -y --no-install-recommends "$t"/debs/*.deb
for p in "${packages[@]}"; do
  check_eq "$p installed" "install ok installed" "$(dpkg-query -W -f='${Status}' "$p" 2>&1)"
  dpkg -L "$p" > "$t/files.$p"
done

while read -r p program; do
  check "$program installed" test -x "$ROOT/bin/$program"
  check_eq "$program belongs to $p" "$p" "$(dpkg -S "$ROOT/bin/$program" 2>&1 | cut -d: -f1)"
done < "$t/expected"
for d in cfg log temp; do check "$d/ in place" test -d "$ROOT/$d"; done
check_eq "the English texts belong to orvo-printer-k500" orvo-printer-k500 \
  "$(dpkg -S "$ROOT/translations/orvo-k500_en.qm" 2>&1 | cut -d: -f1)"
has orvo-printer-k500-desktop && check "tool/ in place" test -d "$ROOT/tool"

unit=/lib/systemd/system/orvo-k500-watchdog.service
check_eq "watchdog enabled at boot" "$unit" \
  "$(readlink /etc/systemd/system/multi-user.target.wants/orvo-k500-watchdog.service)"
units=$unit
if has orvo-printer-k500-scan; then
  unit=/lib/systemd/system/orvo-k500-scan.service
  check_eq "scan daemon enabled at boot" "$unit" \
    "$(readlink /etc/systemd/system/multi-user.target.wants/orvo-k500-scan.service)"
  units="$units $unit"
fi
# The programs are in place now, so verify also checks every ExecStart.
for u in $units; do
  check_eq "systemd-analyze verify $(basename "$u")" "" "$(systemd-analyze verify "$u" 2>&1)"
done

ids="2005 2006 2007 2008 2009 200a"
# shellcheck disable=SC2317 # run through check
rule_matches() { # FILE ACTION: the file's rule for the maker's six products does ACTION
  local line
  line=$(grep -v '^#' "$1" | grep 'SUBSYSTEM=="usb"' | grep 'ATTR{idVendor}=="300e"' | grep -F "$2") || return 1
  for id in $ids; do
    printf '%s\n' "$line" | grep -Eq "ATTR\{idProduct\}==\"([0-9a-f|]*\|)?$id(\|[0-9a-f|]*)?\"" || return 1
  done
}
# confined "DIR..." "SETPRIV-OPTIONS" CMD...: starts CMD detached under the main limits of
# its unit: a read-only system (the scheduler's socket in /run included) but for the DIRs,
# a private /tmp, no capabilities, no new privileges. Not a child of this shell: as under
# init, a process that ends is reaped at once (here by the namespace's first process)
# instead of lingering as a zombie.
confined() {
  # The inner script expands its own arguments.
  # shellcheck disable=SC2016
  unshare --mount --propagation private sh -ec '
    dirs=$1 opts=$2; shift 2
    mount --bind / /; mount -o remount,bind,ro /
    mount -o remount,bind,ro /run
    for d in $dirs; do mount --bind "$d" "$d"; mount -o remount,bind,rw "$d"; done
    mount -t tmpfs -o mode=1777 tmp /tmp
    if touch /etc/orvo-probe 2> /dev/null; then echo "confined: / is writable" >&2; exit 1; fi
    exec setsid -f setpriv $opts --bounding-set=-all --inh-caps=-all --no-new-privs "$@"
  ' sh "$@" < /dev/null > /dev/null
}

# udev's own run of the rules over an emulated device of the given ids: its node, its tags
# and any complaint about the suite's rule files.
udev_probe() { # VID PID
  local dev=/sys/devices/pci0000:00/0000:00:14.0/usb1/1-1
  printf 'P: %s\nN: bus/usb/001/002\nE: DEVNAME=/dev/bus/usb/001/002\nE: DEVTYPE=usb_device\nE: SUBSYSTEM=usb\nA: idVendor=%s\nA: idProduct=%s\n' \
    "${dev#/sys}" "$1" "$2" > "$t/dev.umockdev"
  # udev keeps a device's tags in its database from one event to the next.
  rm -rf /run/udev/data
  umockdev-run -d "$t/dev.umockdev" -- udevadm test "$dev" 2>&1 | grep -E '^(TAGS|DEVNAME)=|orvo-printer-k500.*(nvalid|rror|nknown)'
}
if has orvo-printer-k500-desktop; then
  rules=/lib/udev/rules.d/60-orvo-printer-k500-desktop.rules
  check "desktop user's access rule in place" rule_matches "$rules" 'TAG+="uaccess"'
  for id in $ids; do
    check_match "udev gives the desktop user device 300e:$id" '^TAGS=.*:uaccess:' "$(udev_probe 300e "$id")"
  done
  check_eq "udev reads the suite's rules without complaint" "" "$(udev_probe 300e 2005 | grep -Ev '^(TAGS|DEVNAME)=')"
  out=$(udev_probe 300e 2004)
  check_match "udev ran over another device of the maker" '^DEVNAME=' "$out"
  check_eq "that device is not given to the desktop user" "" "$(printf '%s\n' "$out" | grep ':uaccess:')"
  # The seat rules (73-seat-late) turn the tag into an ACL; they must come later.
  check "uaccess rule sorts before the seat rules" test "$(printf '%s\n' "$(basename "$rules")" 73-seat-late.rules | sort | head -1)" = "$(basename "$rules")"
  for f in "$t"/desktop/*.desktop; do
    exe=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$f")
    entry=/usr/share/applications/$(basename "$f")
    if [ -x "$exe" ]; then
      check "$(basename "$f") installed and valid" desktop-file-validate "$entry"
      icon=$(sed -n 's/^Icon=//p' "$entry")
      for s in 16 22 24 32 48 64 128 256; do
        check "$icon ${s}x$s" test -s "/usr/share/icons/hicolor/${s}x$s/apps/$icon.png"
      done
      check "$icon scalable" test -s "/usr/share/icons/hicolor/scalable/apps/$icon.svg"
    else
      check "no $(basename "$f") without its program" test ! -e "$entry"
    fi
  done
fi
if has orvo-printer-k500-scan; then
  check "scanner group's access rule in place" \
    rule_matches /lib/udev/rules.d/60-orvo-printer-k500-scan.rules 'GROUP="scanner"'
  check_match "scan user exists, without login" '^orvo-scan:x:[0-9]+:[0-9]+:.*:/nonexistent:/usr/sbin/nologin$' \
    "$(getent passwd orvo-scan)"
  check_match "scan user is in the scanner group" '(^| )scanner( |$)' "$(id -nG orvo-scan 2>&1)"
  check_eq "scan/ belongs to the scan user, not listable by others" "orvo-scan scanner 711" "$(stat -c '%U %G %a' "$ROOT/scan" 2>&1)"
  check_eq "SANE's dll.d entry names the backend" "orvo" "$(grep -v '^#' /etc/sane.d/dll.d/orvo 2>&1)"
  multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH 2>/dev/null || gcc -print-multiarch)
  check "backend in SANE's backend folder" test -f "/usr/lib/$multiarch/sane/libsane-orvo.so.1"
  # The daemon as its unit runs it (own user, scanner group, writing only scan/), and a
  # SANE front end that finds the backend through the dll.d entry and asks the daemon
  # for its devices.
  confined "$ROOT/scan" "--reuid=orvo-scan --regid=scanner --clear-groups" "$ROOT/bin/orvoK500ScanDaemon"
  check "scan daemon runs as the scan user (its logs written in scan/)" \
    wait_until 10 grep -qs 'bind port:7003' "$ROOT/scan/orvo_scan_err.log"
  check_eq "the logs belong to the scan user, readable by it alone" "orvo-scan 600" "$(stat -c "%U %a" "$ROOT/scan/orvo_scan_info.log" 2>&1)"
  : > /etc/sane.d/dll.conf # only the dll.d entries: no other backend probes anything
  scanimage -L > /dev/null 2>&1
  check "scanimage -L reaches the daemon through the backend" \
    wait_until 10 grep -qs 'recv scanCommandType' "$ROOT/scan/orvo_scan_info.log"
  # Stopping the unit sends its KillSignal to every process of the daemon; all must end
  # well within its TimeoutStopSec.
  pkill -QUIT -u orvo-scan
  check "scan daemon ends on its unit's stop signal" wait_until 10 sh -c '! pgrep -u orvo-scan > /dev/null'
fi

# --- remove --------------------------------------------------------------------------
# The suite has run: the watchdog has started the service and every program has left
# state behind.
confined "$ROOT/cfg $ROOT/log $ROOT/temp" "" "$ROOT/bin/orvoK500Watchdog"
check "watchdog started the print service (heartbeat written)" wait_until 30 test -e "$ROOT/cfg/service.hb"
check "the service, so confined, lists the maker's queue" wait_until 30 grep -q K20NW_Q "$ROOT/cfg/printerlist.ini"
check "watchdog and service log" sh -c "ls '$ROOT'/log/log_wd_*.log '$ROOT'/log/log_srv_*.log > /dev/null"
# Stopping the unit ends the watchdog alone (KillMode=process); removal ends the service.
# (The watchdog's name is longer than a process name: matched by its path.)
pkill -f "^$ROOT/bin/orvoK500Watchdog"
check "watchdog stopped" wait_until 10 sh -c "! pgrep -f '^$ROOT/bin/orvoK500Watchdog' > /dev/null"
check "print service still running" sh -c 'pgrep -x orvoK500Service > /dev/null'
echo log > "$ROOT/log/log_fwupdate_20260101_000000_0.log"
echo capture > "$ROOT/temp/pslist.20260101000000"
if has orvo-printer-k500-desktop; then
  echo log > "$ROOT/tool/log_tool_20260101_000000_0.log"
  mkdir -p /opt/apps/orvo-printer-k500/entries/autostart
  cp "$ROOT/bin/orvo-k500-tool-autostart.desktop" /opt/apps/orvo-printer-k500/entries/autostart/
fi
if has orvo-printer-k500-scan; then
  echo page > "$ROOT/scan/orvoscandata_1_0_0.tmp"
  echo log > "$ROOT/scan/orvo_scan_info.log"
fi
# What is not the suite's stays, the maker's other products beside the root included.
maker=${ROOT%/*}
mkdir -p "$maker/other-product"
echo keep > "$maker/other-product/file"

apt_run "apt-get remove" remove -y "${packages[@]}"
check "print service stopped on removal" wait_until 10 sh -c '! pgrep -x orvoK500Service > /dev/null'
check_eq "only the maker's queue deleted on removal" "ACME_Q" \
  "$(LC_ALL=C lpstat -v 2>&1 | sed -E 's/^device for ([^:]*):.*/\1/' | xargs)"
check "programs gone after removal" test ! -e "$ROOT/bin"
check "state kept until purge" test -e "$ROOT/cfg/service.hb"

# --- purge ---------------------------------------------------------------------------
apt_run "apt-get purge" purge -y "${packages[@]}"
for p in "${packages[@]}"; do
  check_eq "$p purged" "" "$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -v 'not-installed' || true)"
  left=$(while read -r f; do [ -e "$f" ] && [ ! -d "$f" ] && echo "$f"; done < "$t/files.$p")
  check_eq "no file of $p left" "" "$left"
done
check "install root gone" test ! -e "$ROOT"
check "other products under $maker kept" test -s "$maker/other-product/file"
check "tray tool's autostart entry gone" test ! -e /opt/apps/orvo-printer-k500
check_eq "no unit links or masks left" "" \
  "$(find /etc/systemd/system /var/lib/systemd/deb-systemd-helper-enabled /var/lib/systemd/deb-systemd-helper-masked -name 'orvo-*' 2>/dev/null)"
if has orvo-printer-k500-scan; then
  check_match "scan user kept after purge" '^orvo-scan:' "$(getent passwd orvo-scan)"
fi
finish
