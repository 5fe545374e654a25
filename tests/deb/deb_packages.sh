#!/usr/bin/env bash
# deb_packages.sh SOURCE_DIR WORK_DIR (as root): builds the packages into WORK_DIR, checks
# them with lintian and the units' exposure, then installs, removes and purges them in a
# throw-away root (deb_overlay.sh) while the machine itself stays untouched.
set -uo pipefail
src=$(cd "$1" && pwd)
mkdir -p "$2"
work=$(cd "$2" && pwd)
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
. "$src/tests/harness/cupsfx.sh"

[ "$(id -u)" -eq 0 ] || { echo "deb_packages: must run as root" >&2; exit 2; }

if ! bash "$src/scripts/build-deb.sh" "$work"; then
  echo "deb_packages: building the packages failed" >&2
  exit 1
fi

# Package of each program, for the programs in this tree.
expected=$work/expected
: > "$expected"
while read -r folder package program; do
  [ -f "$src/$folder/CMakeLists.txt" ] && echo "$package $program" >> "$expected"
done <<'LIST'
OrvoPrintService orvo-printer-k500 orvoK500Service
OrvoPrintWatchdog orvo-printer-k500 orvoK500Watchdog
OrvoPrinterRemover orvo-printer-k500 orvoK500Remover
OrvoPrinterStatus orvo-printer-k500 orvoK500Status
OrvoPrinterTool orvo-printer-k500-desktop orvoK500Tool
OrvoPrintSetting orvo-printer-k500-desktop orvoK500Setting
OrvoPrintMaint orvo-printer-k500 orvoK500Maint
OrvoFWUpdate orvo-printer-k500-desktop orvoK500FW
OrvoScanDaemon orvo-printer-k500-scan orvoK500ScanDaemon
LIST
mapfile -t packages < <(awk '{print $1}' "$expected" | sort -u)
for p in "${packages[@]}"; do
  check "package $p built" test -f "$work/${p}_1.0_$(dpkg --print-architecture).deb"
done

lintian --fail-on error,warning --display-info "$work"/*.changes 2>&1 | grep -v '^running with root'
check_eq "lintian: no errors or warnings" 0 "${PIPESTATUS[0]}"
check_eq "lintian: the install root under /opt is the only override" "" \
  "$(lintian --show-overrides "$work"/*.changes 2>&1 | grep '^O: ' | grep -v ' dir-or-file-in-opt ' || true)"
for f in "$src"/debian/*.lintian-overrides; do
  check_eq "every override in $(basename "$f") follows its reason" "" \
    "$(awk '/^#/ { reason = 1; next } /^[[:space:]]*$/ { reason = 0; next } !reason { print } { reason = 0 }' "$f")"
done

# Exposure as systemd rates the sandboxing of each unit (lower is tighter).
exposure() {
  systemd-analyze security --offline=true "$1" 2>/dev/null |
    sed -n 's/.*Overall exposure level for [^:]*: \([0-9.]*\).*/\1/p'
}
# shellcheck disable=SC2317 # run through check
below() { awk -v a="$1" -v b="$2" 'BEGIN { exit !(a != "" && a + 0 < b + 0) }'; }
# The units as packaged, made from their templates with the install root.
e=$(exposure "$work/src/debian/orvo-printer-k500/lib/systemd/system/orvo-k500-watchdog.service")
check "watchdog and service exposure $e below 5.0" below "$e" 5.0
e=$(exposure "$work/src/debian/orvo-printer-k500-scan/lib/systemd/system/orvo-k500-scan.service")
check "scan daemon exposure $e below 3.0" below "$e" 3.0

host_state() { dpkg-query -W -f='${Package} ${Status}\n' "${packages[@]}" 2>/dev/null; ls -la /opt 2>&1; }
before=$(host_state)

ovl=$work/overlay
mkdir -p "$ovl"
rc=0
unshare --mount --propagation private --net --pid --fork --kill-child bash -s "$ovl" "$work" "$src" "$here" <<'SETUP' || rc=$?
set -euo pipefail
ovl=$1 work=$2 src=$3 here=$4
mount -t tmpfs orvo-deb "$ovl"
mkdir -p "$ovl/up" "$ovl/work" "$ovl/m"
mount -t overlay overlay -o "lowerdir=/,upperdir=$ovl/up,workdir=$ovl/work" "$ovl/m"
mount -t proc proc "$ovl/m/proc"
mount --rbind /sys "$ovl/m/sys"
mount --rbind /dev "$ovl/m/dev"
mount -t tmpfs -o mode=0755 run "$ovl/m/run"
mount -t tmpfs -o mode=1777 tmp "$ovl/m/tmp"
t=$ovl/m/tmp/t
mkdir -p "$t/debs" "$t/harness"
cp "$work"/*.deb "$work/expected" "$here/deb_overlay.sh" "$t/"
mv "$t"/*.deb "$t/debs/"
cp -r "$src/tests/harness/cupsfx.sh" "$src/tests/harness/cupsd.conf" "$src/tests/harness/ppd" "$t/harness/"
cp -r "$work/src/debian/desktop" "$t/"
chroot "$ovl/m" /bin/bash /tmp/t/deb_overlay.sh
SETUP
check_eq "checks in the throw-away root passed" 0 "$rc"
check_eq "the machine's packages and /opt unchanged" "$before" "$(host_state)"
finish
