#!/usr/bin/env bash
# bench/tool-idle.sh [SECONDS | --quick]   (as root): the installed tray tool with four
# printers (one USB, three network, played by the simulator behind the real print service),
# idle for SECONDS (default 60; --quick: 2, after a short settling, what the test suite
# runs). Prints the tool's CPU share of one core and its peak resident size.
# Builds a Release tree in build-bench (no sanitizers, see scripts/lib/orvo-build.sh).
set -euo pipefail
if [ -z "${ORVO_HARNESS:-}" ]; then
  # shellcheck source=bench/lib/sandbox.sh
  . "$(dirname "$0")/lib/sandbox.sh"
  bench_build "$0"
  export QT_QPA_PLATFORM=offscreen
  exec "$ORVO_SOURCE_DIR/tests/harness/orvo-sandbox" --cups -- "$ORVO_SOURCE_DIR/tests/tool/with-service.sh" --net "$0" "$@"
fi

secs=${1:-60}
settle=12
[ "$secs" != --quick ] || { secs=2; settle=1; }
case "$secs" in '' | *[!0-9]*) echo "usage: tool-idle.sh [SECONDS | --quick]" >&2; exit 2 ;; esac
root=${ORVO_INSTALL_ROOT:?set by orvo-sandbox}
"$root/bin/orvoK500Tool" -hide > "$TMPDIR/tool.out" 2>&1 &
tool=$!
# Settle: the list is read, four workers start and every row has its first status.
for _ in $(seq 100); do
  [ "$(find "$root/cfg" -maxdepth 1 -name '*.dat' | wc -l)" -ge 4 ] && break
  sleep 0.2
done
sleep "$settle"
ticks() { awk '{print $14 + $15}' "/proc/$tool/stat"; }
hz=$(getconf CLK_TCK)
t0=$(ticks)
s0=$(date +%s.%N)
sleep "$secs"
t1=$(ticks)
s1=$(date +%s.%N)
hwm=$(awk '/VmHWM/ {print $2}' "/proc/$tool/status")
threads=$(awk '/Threads/ {print $2}' "/proc/$tool/status")
kill "$tool"
wait "$tool" 2> /dev/null || true
awk -v t="$((t1 - t0))" -v hz="$hz" -v s0="$s0" -v s1="$s1" -v hwm="$hwm" -v th="$threads" -v n="$(find "$root/cfg" -maxdepth 1 -name '*.dat' | wc -l)" 'BEGIN {
  wall = s1 - s0
  printf "tool idle %.0f s, %d printers with status files, %d threads: CPU %.3f%% of one core (%d ticks at %d Hz), peak RSS %.1f MB\n",
         wall, n, th, 100 * t / hz / wall, t, hz, hwm / 1024
}'
