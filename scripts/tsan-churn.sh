#!/usr/bin/env bash
# scripts/tsan-churn.sh [SECONDS]   (as root; default 120 s)
#
# Data-race check of the print service and the tray tool: both built with ThreadSanitizer
# (cmake -DORVO_TSAN=ON, in build-tsan or $ORVO_TSAN_BUILD), run inside the test sandbox
# with a private cupsd and the device simulator, while CUPS queues are added and removed
# every second (the printer list grows and shrinks, rows and their workers come and go)
# and the simulated printers change their status every second. The tray tool runs
# offscreen with its window shown. Every ThreadSanitizer report is collected and printed;
# the run fails on any report, on a program that dies, and on churn that never reached
# the programs. tests/tsan.supp lists the reports inside uninstrumented system libraries
# that are not ours to fix.
set -euo pipefail

src=$(cd "$(dirname "$(readlink -f "${BASH_SOURCE[0]}")")/.." && pwd)

if [ "${1:-}" != --inner ]; then
  [ "$(id -u)" -eq 0 ] || { echo "tsan-churn: run as root (the sandbox mounts private file systems)" >&2; exit 2; }
  seconds=${1:-120}
  case "$seconds" in
    '' | *[!0-9]*) echo "usage: tsan-churn.sh [SECONDS]" >&2; exit 2 ;;
  esac
  build=${ORVO_TSAN_BUILD:-$src/build-tsan}
  # shellcheck source=scripts/lib/orvo-build.sh
  . "$src/scripts/lib/orvo-build.sh"
  orvo_configure "$src" "$build" -DORVO_TSAN=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo
  grep -q '^ORVO_TSAN:BOOL=ON$' "$build/CMakeCache.txt" ||
    { echo "tsan-churn: $build is not a ThreadSanitizer build (configure it with -DORVO_TSAN=ON)" >&2; exit 2; }
  # Only what the run needs: the two programs under test and the simulator.
  cmake --build "$build" -j2 --target orvoK500Service orvoK500Tool orvo-mfpsim > /dev/null
  reports=$build/tsan-reports
  rm -rf "$reports"
  mkdir -p "$reports"
  # Nothing is installed from a build tree: the run installs the two programs itself,
  # under the install root the build was configured with.
  unset ORVO_BUILD_DIR
  ORVO_INSTALL_ROOT=$(sed -n 's/^ORVO_INSTALL_ROOT=//p' "$build/orvo-root.env")
  export ORVO_INSTALL_ROOT
  export ORVO_SOURCE_DIR=$src ORVO_MFPSIM=$build/tests/sim/orvo-mfpsim
  export TSAN_CHURN_BUILD=$build TSAN_CHURN_REPORTS=$reports
  exec "$src/tests/harness/orvo-sandbox" --cups -- "$src/scripts/tsan-churn.sh" --inner "$seconds"
fi
seconds=$2

# shellcheck source=tests/harness/cupsfx.sh
. "$ORVO_HARNESS/cupsfx.sh"
# shellcheck source=tests/sim/simfx.sh
. "$ORVO_SOURCE_DIR/tests/sim/simfx.sh"
ROOT=$ORVO_INSTALL_ROOT
CFG=$ROOT/cfg
mkdir -p "$ROOT/bin" "$CFG" "$ROOT/log" "$ROOT/temp" "$ROOT/tool"
cp "$TSAN_CHURN_BUILD/OrvoPrintService/orvoK500Service" "$TSAN_CHURN_BUILD/OrvoPrinterTool/orvoK500Tool" "$ROOT/bin/"

# The programs keep running after a report; reports go to their standard error, kept in
# the reports folder. (log_path is not used: with it, the USB emulation's open fails.)
export TSAN_OPTIONS="halt_on_error=0:exitcode=66:second_deadlock_stack=1:history_size=4:suppressions=$ORVO_SOURCE_DIR/tests/tsan.supp"

# Two USB printers and three network printers; the churn queues use p2, n2, n3 and an
# address where nothing answers.
sim_start "$TMPDIR/sim.sock" --usb p1:K20NW:AB1234 --usb p2:K40W:EF9012 \
  --net n1:K40N:127.0.0.2 --net n2:K20W:127.0.0.3 --net n3:K40NW:127.0.0.4
cupsfx_add_queue USB1 'usb://Orvo/K20NW?serial=AB1234' K20NW
cupsfx_add_queue NET1 'socket://127.0.0.2:9100/?snmp=false' K40N
cupsfx_wait_conf NET1

"$ROOT/bin/orvoK500Service" > "$TSAN_CHURN_REPORTS/service.out" 2>&1 &
service=$!
QT_QPA_PLATFORM=offscreen env -u LD_PRELOAD -u UMOCKDEV_DIR \
  "$ROOT/bin/orvoK500Tool" > "$TSAN_CHURN_REPORTS/tool.out" 2>&1 &
tool=$!

list_count() { awk -F= '/^Count=/ { print $2; exit }' "$CFG/printerlist.ini" 2> /dev/null; }
threads_of() { awk '/^Threads:/ { print $2 }' "/proc/$1/status" 2> /dev/null; }
alive() { kill -0 "$1" 2> /dev/null; }
# Both fixed printers listed and with a status file: the service is up and polling.
# shellcheck disable=SC2317  # called through wait_until
settled() { [ "$(list_count)" = 2 ] && [ -s "$CFG/USB1.dat" ] && [ -s "$CFG/NET1.dat" ]; }
if ! wait_until 120 settled; then
  echo "tsan-churn: the service did not list and poll the two fixed printers; $CFG holds:" >&2
  ls -l "$CFG" >&2
  cat "$CFG/printerlist.ini" "$TSAN_CHURN_REPORTS/service.out" >&2 || true
  exit 1
fi

uris=('usb://Orvo/K40W?serial=EF9012' 'socket://127.0.0.3:9100/?snmp=false'
  'socket://127.0.0.4:9100/?snmp=false' 'socket://127.0.0.9:9100/?snmp=false')
models=(K40W K20W K40NW K20N)
# How many churn queues to keep after each second's addition: the list grows and shrinks.
targets=(1 2 3 4 3 2 1 0)
statuses=(0 16 0 3 16 0)
live=()
adds=0
removes=0
status_changes=0
count_min=99
count_max=0
threads_min=9999
threads_max=0
list_writes=0
last_mtime=$(stat -c %.9Y "$CFG/printerlist.ini")

start=$(date +%s)
end=$(( start + seconds ))
tick=0
while [ "$(date +%s)" -lt "$end" ]; do
  next=$(( start + tick + 1 ))
  slot=$(( tick % ${#uris[@]} ))
  name="Churn$tick"
  cupsfx_add_queue "$name" "${uris[$slot]}" "${models[$slot]}"
  live+=("$name")
  adds=$(( adds + 1 ))
  target=${targets[$(( tick % ${#targets[@]} ))]}
  while [ "${#live[@]}" -gt "$target" ]; do
    cupsfx_del_queue "${live[0]}"
    live=("${live[@]:1}")
    removes=$(( removes + 1 ))
  done
  code=${statuses[$(( tick % ${#statuses[@]} ))]}
  for dev in p1 n1 n2; do
    sim_ctl set status "$dev" "$code" > /dev/null
    sim_ctl set ink "$dev" $(( (tick * 7) % 100 )) $(( (tick * 11) % 100 )) $(( (tick * 13) % 100 )) $(( (tick * 17) % 100 )) > /dev/null
    status_changes=$(( status_changes + 2 ))
  done
  # A warning that comes and goes: the tool announces it each time it appears.
  case $(( tick % 4 )) in
    0) sim_ctl set warnings n1 > /dev/null; status_changes=$(( status_changes + 1 )) ;;
    2) sim_ctl set warnings n1 0x0101 > /dev/null; status_changes=$(( status_changes + 1 )) ;;
  esac
  tick=$(( tick + 1 ))

  # Observe both programs once a second: alive, the list they follow, the tool's workers.
  for p in "$service" "$tool"; do
    alive "$p" || { echo "tsan-churn: a program under test died (pid $p) after $tick s" >&2; break 2; }
  done
  n=$(list_count)
  if [ -n "$n" ]; then
    [ "$n" -ge "$count_min" ] || count_min=$n
    [ "$n" -le "$count_max" ] || count_max=$n
  fi
  mtime=$(stat -c %.9Y "$CFG/printerlist.ini" 2> /dev/null || true)
  [ "$mtime" = "$last_mtime" ] || list_writes=$(( list_writes + 1 ))
  last_mtime=$mtime
  th=$(threads_of "$tool")
  if [ -n "$th" ]; then
    [ "$th" -ge "$threads_min" ] || threads_min=$th
    [ "$th" -le "$threads_max" ] || threads_max=$th
  fi
  while [ "$(date +%s)" -lt "$next" ]; do sleep 0.05; done
done
elapsed=$(( $(date +%s) - start ))

died=0
for p in "$service" "$tool"; do
  alive "$p" || died=1
done
kill "$service" "$tool" 2> /dev/null || true
wait "$service" "$tool" 2> /dev/null || true
sim_stop

warnings=0
for f in "$TSAN_CHURN_REPORTS/service.out" "$TSAN_CHURN_REPORTS/tool.out"; do
  n=$(grep -c '^WARNING: ThreadSanitizer:' "$f" || true)
  warnings=$(( warnings + n ))
  echo "==== $f: $n reports"
  [ "$n" -eq 0 ] || cat "$f"
done

echo
echo "tsan-churn: ${elapsed} s; queues added $adds, removed $removes ($(( adds + removes )) changes);" \
  "simulator status changes $status_changes; printer list Count $count_min..$count_max, rewritten" \
  "in $list_writes of $tick seconds; tray tool threads $threads_min..$threads_max;" \
  "ThreadSanitizer reports: $warnings"
rc=0
if [ "$died" -ne 0 ]; then
  echo "tsan-churn: FAIL: a program under test ended during the run; its output:" >&2
  cat "$TSAN_CHURN_REPORTS/service.out" "$TSAN_CHURN_REPORTS/tool.out" >&2
  rc=1
fi
if [ "$count_max" -le 2 ] || [ "$count_min" -ge "$count_max" ]; then
  echo "tsan-churn: FAIL: the service's printer list never followed the queue changes" >&2
  rc=1
fi
if [ "$warnings" -ne 0 ]; then
  echo "tsan-churn: FAIL: $warnings ThreadSanitizer reports (above)" >&2
  rc=1
fi
exit "$rc"
