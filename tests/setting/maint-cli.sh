#!/usr/bin/env bash
# The command-line twin against the simulated printers (run by with-sim.sh in the sandbox):
# every task, its frames, its messages and exit status; the printer list; the language by
# locale; a printer held by another program.
set -uo pipefail
# shellcheck source=../harness/cupsfx.sh
. "$ORVO_HARNESS/cupsfx.sh"
root=${ORVO_INSTALL_ROOT:?set by orvo-sandbox}
maint=$root/bin/orvoK500Maint
sim=(env -u LD_PRELOAD "$ORVO_MFPSIM" ctl "$ORVO_SIM_SOCK")
failures=0

mkdir -p "$root/cfg"
cat > "$root/cfg/printerlist.ini" <<'INI'
[Main]
Count=6

[printer_0]
Name=Orvo-USB1
Model=Orvo K20NW
ConnectType=1
Port=Orvo/K20NW?serial=AB1234
URI=usb://Orvo/K20NW?serial=AB1234

[printer_1]
Name=Orvo-USB2
Model=Orvo K20NW
ConnectType=1
Port=Orvo/K20NW?serial=CD5678
URI=usb://Orvo/K20NW?serial=CD5678

[printer_2]
Name=Orvo-K40N
Model=Orvo K40N
ConnectType=1
Port=Orvo/K40N?serial=SN40N0001
URI=usb://Orvo/K40N?serial=SN40N0001

[printer_3]
Name=Orvo-Net
Model=Orvo K40N
ConnectType=2
Port=127.0.0.21
URI=socket://127.0.0.21

[printer_5]
Name=Orvo-Other
Model=Orvo K99
ConnectType=1
Port=Orvo/K99?serial=1
URI=usb://Orvo/K99?serial=1
INI

fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

# expect_out DESCRIPTION EXPECTED-STATUS EXPECTED-OUTPUT STATUS OUTPUT
expect_out() {
  if [ "$4" -ne "$2" ] || [ "$5" != "$3" ]; then
    fail "$1: status $4 (expected $2), output: $5"
  fi
}

# run [NAME=VALUE] EXPECTED-STATUS EXPECTED-TEXT (in stdout or stderr) ARGS...
run() {
  local env=()
  case "$1" in *=*) env=("$1"); shift ;; esac
  local want=$1 text=$2
  shift 2
  local out rc
  out=$(env "${env[@]}" "$maint" "$@" 2>&1)
  rc=$?
  [ "$rc" -eq "$want" ] || fail "orvoK500Maint $*: status $rc, expected $want; output: $out"
  case "$out" in
    *"$text"*) ;;
    *) fail "orvoK500Maint $*: no \"$text\" in: $out" ;;
  esac
}

# expect_frames ID HEX... : the frames the printer interface received since the last check
expect_frames() {
  local id=$1
  shift
  local got want
  got=$("${sim[@]}" maint "$id" frames clear | tr '\n' ' ')
  want=
  [ "$#" -eq 0 ] || want=$(printf '%s ' "$@")
  [ "$got" = "$want" ] || fail "frames of $id: got '$got', expected '$want'"
}

expect_datagrams() {
  local id=$1
  shift
  local got want
  got=$("${sim[@]}" get "$id" netrx clear | tr '\n' ' ')
  want=
  [ "$#" -eq 0 ] || want=$(printf '%s ' "$@")
  [ "$got" = "$want" ] || fail "datagrams of $id: got '$got', expected '$want'"
}

unset LC_ALL LC_MESSAGES
export LANG=zh_CN.UTF-8

# The printers it can work on; group printer_4 is missing and skipped.
run 0 "" list
out=$("$maint" list)
tab=$'\t'
expected="Orvo-USB1${tab}Orvo K20NW${tab}USB${tab}Orvo/K20NW?serial=AB1234
Orvo-USB2${tab}Orvo K20NW${tab}USB${tab}Orvo/K20NW?serial=CD5678
Orvo-K40N${tab}Orvo K40N${tab}USB${tab}Orvo/K40N?serial=SN40N0001
Orvo-Net${tab}Orvo K40N${tab}网络${tab}127.0.0.21
Orvo-Other${tab}Orvo K99${tab}USB${tab}Orvo/K99?serial=1"
[ "$out" = "$expected" ] || fail "list printed: $out"

# A user who may not open the device is told which one and how to get access; a member of
# the device's group gets through. (The emulated bus is opened up to other users for this;
# the device nodes get the group and mode the scanning package's device rule gives them.)
chmod -R o+rX "$UMOCKDEV_DIR"
d=$(dirname "$UMOCKDEV_DIR")
until [ "$d" = / ]; do
  chmod o+x "$d"
  d=$(dirname "$d")
done
chmod o+w "$UMOCKDEV_DIR"
find "$UMOCKDEV_DIR" -type s -exec chmod o+rw {} +
find "$UMOCKDEV_DIR/dev/bus/usb" -type f -exec chgrp lp {} + -exec chmod 0664 {} +
user=(setpriv --reuid=nobody --regid=nogroup --clear-groups env LANG=C.UTF-8)
out=$("${user[@]}" "$maint" clean Orvo-USB1 2>&1)
rc=$?
if [ "$rc" -ne 1 ] ||
  ! grep -Eq "^No permission to open the printer's USB device /dev/bus/usb/[0-9]{3}/[0-9]{3} \(group lp\)\. Install the package orvo-printer-k500-desktop.* add you to the group lp " <<< "$out"; then
  fail "clean as a user without access: status $rc: $out"
fi
user=(setpriv --reuid=nobody --regid=nogroup --groups=lp env LANG=C.UTF-8)
out=$("${user[@]}" "$maint" clean Orvo-USB1 2>&1)
rc=$?
expect_out "clean as a member of the device's group" 0 "Cleaning sent" "$rc" "${out%%;*}"
expect_frames p1 A5000750E02E02010101

# Cleaning, first and repeated, on the second printer of its model; the queue name in any
# case, as CUPS takes it.
run 0 "清洁任务已发送，请查看打印机，在清洁完成前，请勿执行其他动作。" clean orvo-usb2
run 0 "清洁任务已发送" clean --repeat ORVO-USB2
expect_frames p2 A5000750E02E02010101 A5000850E02E0201011202
expect_frames p1

# Alignment on a K40N (product id 0x2009).
run 0 "校准任务已发送，请查看打印机，在校准完成前，请勿执行其他动作。" align-print Orvo-K40N
expect_frames p3 A5000750E02E02010152
run 0 "已完成校准。" align-set Orvo-K40N -12 6 -6 0 0 0 -1 2 1
# rows #1 … #6 × 8, then row #9 × 512, then rows #7 and #8 × 8
expect_frames p3 A5002C50E02E110000000D"FFFFFFA0""00000030""FFFFFFD0""00000000""00000000""00000000""00000200""FFFFFFF8""00000010"
run 2 '#1的值“13”超出范围（-12 … 12）！' align-set Orvo-K40N 13 0 0 0 0 0 0 0 0
run 2 '#9的值“-7”超出范围（-6 … 6）！' align-set Orvo-K40N 0 0 0 0 0 0 0 0 -7
run 2 '#3的值“x”超出范围' align-set Orvo-K40N 0 0 x 0 0 0 0 0 0
run 2 "需要9个校准值。" align-set Orvo-K40N 0 0 0
expect_frames p3

# Network settings: read, write, read again.
"${sim[@]}" maint p1 ipconfig static 192.168.100.123 255.255.255.0 192.168.100.254 202.96.134.133 \
  202.96.128.166 192.168.100.250 192.168.100.251 > /dev/null
run 0 "IP获取方式: 静态" net-get Orvo-USB1
run 0 "辅助WINS服务器: 192.168.100.251" net-get Orvo-USB1
run 0 "设置成功，请等待打印机完成重连！" net-set Orvo-USB1 dhcp 10.0.0.7 255.0.0.0 10.0.0.1 1.1.1.1 8.8.8.8 0.0.0.0 0.0.0.0
[ "$("${sim[@]}" maint p1 ipconfig)" = "dhcp 10.0.0.7 255.0.0.0 10.0.0.1 1.1.1.1 8.8.8.8 0.0.0.0 0.0.0.0" ] ||
  fail "configuration after net-set: $("${sim[@]}" maint p1 ipconfig)"
out=$("$maint" net-get Orvo-USB1)
expected="IP获取方式: DHCP
IP地址: 10.0.0.7
子网掩码: 255.0.0.0
网关地址: 10.0.0.1
主DNS服务器: 1.1.1.1
辅助DNS服务器: 8.8.8.8
主WINS服务器: 0.0.0.0
辅助WINS服务器: 0.0.0.0"
[ "$out" = "$expected" ] || fail "net-get after net-set printed: $out"
"${sim[@]}" maint p1 frames clear > /dev/null

# Refusals and failures.
run 3 "请选择通过USB连接的打印机进行操作！" net-set Orvo-Net static 1.2.3.4 255.0.0.0 1.2.3.1 1.1.1.1 1.1.1.1 1.1.1.1 1.1.1.1
run 3 "请选择通过USB连接的打印机进行操作！" net-get Orvo-Net
run 2 "不正确的地址格式！ 1.2.3" net-set Orvo-USB1 static 1.2.3 255.0.0.0 1.2.3.1 1.1.1.1 1.1.1.1 1.1.1.1 1.1.1.1
run 2 "需要 dhcp|static 和7个地址。" net-set Orvo-USB1 manual 1.2.3.4
run 3 "未找到打印机：Orvo-Missing" clean Orvo-Missing
run 3 "不支持该打印机型号！" clean Orvo-Other
run 2 "usage:" frobnicate
expect_frames p1
"${sim[@]}" maint p1 malformed lowercase > /dev/null
run 1 "获取数据失败，请稍后重试！" net-get Orvo-USB1
"${sim[@]}" maint p1 partial 10 > /dev/null
run 1 "与打印机通信失败，请检查打印机状态并重新尝试！" net-set Orvo-USB1 static 1.2.3.4 255.0.0.0 1.2.3.1 1.1.1.1 1.1.1.1 1.1.1.1 1.1.1.1
"${sim[@]}" unplug p1 > /dev/null
run 1 "连接打印机失败，请检查连接状态！" clean Orvo-USB1
"${sim[@]}" plug p1 > /dev/null

# A network printer: the datagram counts, answered or not.
"${sim[@]}" queue n1 netreply A5000550E02E0200 > /dev/null
run 0 "清洁任务已发送" clean Orvo-Net
expect_datagrams n1 A5000750E02E02010101

# Another program holds the printer's interface for a moment: the claim is retried and the
# task done once it is free.
"${sim[@]}" maint p1 frames clear > /dev/null
"${sim[@]}" stream p1 busy on > /dev/null
"$maint" clean Orvo-USB1 > "$TMPDIR/busy.out" 2>&1 &
pid=$!
refused() { [ "$("${sim[@]}" stream p1 refused)" -ge 2 ]; }
wait_until 20 refused || fail "the busy printer's claim was not tried again"
"${sim[@]}" stream p1 busy off > /dev/null
wait "$pid"
rc=$?
expect_out "clean once no longer busy" 0 "清洁任务已发送" "$rc" "$(head -c 21 "$TMPDIR/busy.out")"
expect_frames p1 A5000750E02E02010101
# Held for good: "printer busy" after 5 s of retries, nothing sent.
"${sim[@]}" stream p1 busy on > /dev/null
start=$(date +%s%3N)
run LANG=en_US.UTF-8 1 "Printer busy: another program is using it; please try again later." clean Orvo-USB1
[ $(( $(date +%s%3N) - start )) -ge 5000 ] || fail "busy reported before 5 s of retries"
"${sim[@]}" stream p1 busy off > /dev/null
expect_frames p1

# English unless the locale is Chinese, also with no environment at all (cron, ssh).
for loc in none C POSIX C.UTF-8 en_US.UTF-8; do
  out=$(run_in_locale "$loc" "$maint" clean Orvo-Missing 2>&1)
  rc=$?
  expect_out "locale $loc: unknown printer" 3 "No printer of this name in the printer list: Orvo-Missing" "$rc" "$out"
  out=$(run_in_locale "$loc" "$maint" net-get orvo-net 2>&1)
  rc=$?
  expect_out "locale $loc: network printer for net-get" 3 "Please choose a printer connected over USB." "$rc" "$out"
  out=$(run_in_locale "$loc" "$maint" list)
  rc=$?
  expect_out "locale $loc: list" 0 "Orvo-Net${tab}Orvo K40N${tab}network${tab}127.0.0.21" "$rc" "$(grep Orvo-Net <<< "$out")"
  out=$(run_in_locale "$loc" "$maint" align-set Orvo-K40N 13 0 0 0 0 0 0 0 0 2>&1)
  rc=$?
  expect_out "locale $loc: value out of range" 2 'Value "13" of row #1 is not in -12 to 12.' "$rc" "$(head -1 <<< "$out")"
done
out=$(run_in_locale zh_CN.UTF-8 "$maint" clean Orvo-Missing 2>&1)
[ "$out" = "未找到打印机：Orvo-Missing" ] || fail "locale zh_CN.UTF-8: $out"

# English under an English locale.
run LANG=en_GB.UTF-8 0 "Cleaning sent;" clean Orvo-USB1
run LC_MESSAGES=en_US.UTF-8 3 "Please choose a printer connected over USB." net-get Orvo-Net
run LC_ALL=en_US.UTF-8 0 "IP source: DHCP" net-get Orvo-USB1

# An empty list says so.
printf '[Main]\nCount=0\n' > "$root/cfg/printerlist.ini"
run LANG=C 0 "There are no printers in the printer list." list
run 0 "打印机列表中没有打印机。" list

[ "$failures" -eq 0 ] || { echo "$failures failure(s)" >&2; exit 1; }
echo "orvoK500Maint: all checks passed"
