#!/usr/bin/env bash
# The command-line status view reads the printer list file and the status files as the
# service leaves them: one row per printer, off-line without a usable status file; the
# same as JSON for scripts; English unless the locale is Chinese.
set -uo pipefail
# shellcheck source=../harness/cupsfx.sh
. "$ORVO_HARNESS/cupsfx.sh"
. "$ORVO_SOURCE_DIR/tests/sim/simfx.sh"

ROOT=${ORVO_INSTALL_ROOT:?set by orvo-sandbox}
CFG=$ROOT/cfg
VIEW=$ROOT/bin/orvoK500Status
unset LC_ALL LC_MESSAGES
export LANG=zh_CN.UTF-8

check "no list file: says so" test "$("$VIEW" | tail -1)" = "(没有打印机)"
check_eq "no list file: an empty JSON array" "[]" "$(run_in_locale C "$VIEW" --json)"

mkdir -p "$CFG"
# printer_3 is missing (skipped, the rest still read); printer_5 lies beyond Count.
cat > "$CFG/printerlist.ini" <<'INI'
[Main]
Count=5
[printer_0]
Name=Office
Model=Orvo K20NW
ConnectType=1
Port="Orvo/K20NW?serial=AB12"
[printer_1]
Name=Lab
Model=Orvo K40N
ConnectType=2
Port=127.0.0.2
[printer_2]
Name=Gone
ConnectType=2
Port=127.0.0.9
[printer_4]
Name=Unplugged
Model=Orvo K40N
ConnectType=1
Port="Orvo/K40N?serial=CD34"
[printer_5]
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
check_eq "four rows below the header: Count decides, a missing group is skipped" 5 "$(printf '%s\n' "$out" | wc -l)"
check_match "USB row: connection, ink words in cyan red yellow black order" \
  '^Office +USB +青色：中   红色：较低   黄色：低   黑色：高 +正在打印\(墨水量低\)$' "$(row Office)"
check_match "network row: the first error instead of the status" \
  '^Lab +网络\(127\.0\.0\.2\) +青色：中   红色：中   黄色：较低   黑色：高 +进纸托盘处无纸,请放入纸张$' "$(row Lab)"
check_match "unparsable status file: off-line" '^Gone .*青色：无   红色：无   黄色：无   黑色：无 +脱机$' "$(row Gone)"
check_match "no status file: off-line" '^Unplugged +USB .* +脱机$' "$(row Unplugged)"
check_match "English status texts with -e" 'Printing\(Black ink is low\)$' "$("$VIEW" -e | grep '^Office ')"
check_match "... and with --english" '^Lab +Network\(127\.0\.0\.2\) ' "$("$VIEW" --english | grep '^Lab ')"

# shellcheck disable=SC2317 # run through check
ascii_only() { ! LC_ALL=C grep -q '[^ -~]' <<< "$1"; }
# Started as cron or ssh start it: English unless the locale is Chinese.
for loc in none C POSIX C.UTF-8 en_US.UTF-8; do
  out=$(run_in_locale "$loc" "$VIEW")
  check_match "locale $loc: English header" '^Printer +Connection +Ink +Status$' "$(head -1 <<< "$out")"
  check_match "locale $loc: English row" \
    '^Office +USB +Cyan: Medium  Red: Low  Yellow: Very low  Black: High +Printing\(Black ink is low\)$' \
    "$(grep '^Office ' <<< "$out")"
  check "locale $loc: nothing but ASCII" ascii_only "$out"
done
out=$(run_in_locale zh_CN.UTF-8 "$VIEW")
check_match "locale zh_CN.UTF-8: Chinese" '^Lab +网络\(127\.0\.0\.2\) .*进纸托盘处无纸,请放入纸张$' "$(grep '^Lab ' <<< "$out")"

# JSON, read by a real JSON parser.
# shellcheck disable=SC2317 # run through check
json_check() {
  python3 - "$1" "$2" <<'PY'
import json, sys
d = json.loads(sys.argv[1])
zh = sys.argv[2] == "zh"
assert [p["name"] for p in d] == ["Office", "Lab", "Gone", "Unplugged"], d
o, lab, gone, off = d
assert o["model"] == "Orvo K20NW" and o["connection"] == "usb" and o["online"] is True and o["status"] == 8, o
assert o["errors"] == [] and o["warnings"] == [{"code": 25, "text": "墨水量低" if zh else "Black ink is low"}], o
assert o["ink"] == [{"colour": "black", "value": 80}, {"colour": "cyan", "value": 50},
                    {"colour": "red", "value": 20}, {"colour": "yellow", "value": 5}], o
assert lab["connection"] == "network" and lab["online"] is True, lab
assert lab["errors"] == [{"code": 11, "text": "进纸托盘处无纸,请放入纸张" if zh else "No paper in the input tray; please load paper"}], lab
for p in (gone, off):
    assert p["online"] is False and p["status"] == 2 and p["errors"] == [] and p["ink"] == [], p
assert off["connection"] == "usb" and gone["model"] == "", (off, gone)
PY
}
check "JSON: every printer, its state and texts (C locale)" json_check "$(run_in_locale C "$VIEW" --json)" en
check "JSON: texts in Chinese under zh_CN.UTF-8" json_check "$(run_in_locale zh_CN.UTF-8 "$VIEW" --json)" zh
check_eq "JSON: one line" 1 "$("$VIEW" --json | wc -l)"
printf '[Main]\nCount=0\n' > "$CFG/printerlist.ini"
check_eq "JSON: zero printers" "[]" "$("$VIEW" --json)"

check_fails "bad option refused" "$VIEW" -x
check_fails "bad interval refused" "$VIEW" -w 0
cat > "$CFG/printerlist.ini" <<'INI'
[Main]
Count=1
[printer_0]
Name=Office
ConnectType=1
INI
timeout 2.5 "$VIEW" -w 1 > "$TMPDIR/live.txt"
check "refreshes every second with -w 1" test "$(grep -c '^Office ' "$TMPDIR/live.txt")" -ge 2
finish
