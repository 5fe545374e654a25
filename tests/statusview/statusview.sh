#!/usr/bin/env bash
# The command-line status view reads the printer list file and the status files as the
# service leaves them: one row per printer, off-line without a usable status file.
set -uo pipefail
# shellcheck source=../harness/cupsfx.sh
. "$ORVO_HARNESS/cupsfx.sh"
. "$ORVO_SOURCE_DIR/tests/sim/simfx.sh"

ROOT=${ORVO_INSTALL_ROOT:?set by orvo-sandbox}
CFG=$ROOT/cfg
VIEW=$ROOT/bin/orvoK500Status

check "no list file: says so" test "$("$VIEW" | tail -1)" = "(没有打印机)"

mkdir -p "$CFG"
cat > "$CFG/printerlist.ini" <<'INI'
[Main]
Count=3
[printer_0]
Name=Office
ConnectType=1
Port="Orvo/K20NW?serial=AB12"
[printer_1]
Name=Lab
ConnectType=2
Port=127.0.0.2
[printer_2]
Name=Gone
ConnectType=2
Port=127.0.0.9
[printer_3]
Name=Stale
ConnectType=1
INI
# Real replies from the simulator: a printing USB printer with a warning, a network
# printer with an error.
sim_start "$TMPDIR/sim.sock" --usb u:K20NW:AB12 --net n:K40N:127.0.0.2 || exit 1
sim_ctl set ink u 80 50 20 5 > /dev/null
sim_ctl set status u 16 > /dev/null
sim_ctl set warnings u 0x6160 > /dev/null
sim_ctl set errors n 0x6100 > /dev/null
{ printf '00000000000000'; sim_ctl get u status; } | xxd -r -p > "$CFG/Office.dat"
{ printf 'a5000050e07408'; sim_ctl get n status; } | xxd -r -p > "$CFG/Lab.dat"
printf 'short' > "$CFG/Gone.dat"
sim_stop

out=$("$VIEW")
row() { printf '%s\n' "$out" | grep "^$1 "; }
check_eq "three rows below the header, Count decides" 4 "$(printf '%s\n' "$out" | wc -l)"
check_match "USB row: connection, ink words in cyan red yellow black order" \
  '^Office +USB +青色：中   红色：较低   黄色：低   黑色：高 +正在打印\(墨水量低\)$' "$(row Office)"
check_match "network row: the first error instead of the status" \
  '^Lab +网络\(127\.0\.0\.2\) +青色：中   红色：中   黄色：较低   黑色：高 +进纸托盘处无纸,请放入纸张$' "$(row Lab)"
check_match "unparsable status file: off-line" '^Gone .*青色：无   红色：无   黄色：无   黑色：无 +脱机$' "$(row Gone)"
check_match "English status texts with -e" 'Printing\(Black Ink Level is Low\.\)$' "$("$VIEW" -e | grep '^Office ')"
check_fails "bad option refused" "$VIEW" -x
check_fails "bad interval refused" "$VIEW" -w 0
timeout 2.5 "$VIEW" -w 1 > "$TMPDIR/live.txt"
check "refreshes every second with -w 1" test "$(grep -c '^Office ' "$TMPDIR/live.txt")" -ge 2
finish
