#!/usr/bin/env bash
# The command-line twin against the simulated printers (run by with-sim.sh in the sandbox):
# every task, its frames, its messages and exit status.
set -uo pipefail
root=${ORVO_INSTALL_ROOT:?set by orvo-sandbox}
maint=$root/bin/orvoK500Maint
sim=(env -u LD_PRELOAD "$ORVO_MFPSIM" ctl "$ORVO_SIM_SOCK")
failures=0

mkdir -p "$root/cfg"
cat > "$root/cfg/printerlist.ini" <<'INI'
[Main]
Count=5

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

[printer_4]
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
export LANG=C.UTF-8

# Cleaning, first and repeated, on the second printer of its model.
run 0 "清洁任务已发送，请查看打印机，在清洁完成前，请勿执行其他动作。" clean Orvo-USB2
run 0 "清洁任务已发送" clean --repeat Orvo-USB2
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

# English under an English locale.
run LANG=en_GB.UTF-8 0 "Cleaning sent;" clean Orvo-USB1
run LC_MESSAGES=en_US.UTF-8 3 "Please choose a printer connected over USB." net-get Orvo-Net
run LC_ALL=en_US.UTF-8 0 "IP source: DHCP" net-get Orvo-USB1

[ "$failures" -eq 0 ] || { echo "$failures failure(s)" >&2; exit 1; }
echo "orvoK500Maint: all checks passed"
