#!/usr/bin/env bash
# bench/scan-bench.sh [--quick]   (as root)
#
# Throughput of the installed scan daemon: one 300-dpi A4 24-bit page (2480 x 3508, about
# 26 MB) from the emulated USB scanner, through the daemon into its page file, against the
# same bytes read by a plain usbfs loop with the same 512-byte requests, in the same run.
# Both go through the same emulation (umockdev plus the simulator's forwarded usbfs
# calls), so the ratio shows what the daemon adds; the absolute rates are the emulator's.
# Prints both throughputs, the ratio (target: the daemon at least 80 % of the plain loop)
# and the daemon's CPU time per MB (its connection and data process).
# Then the same page over the network path: the simulator's network scanner sends its data
# blocks on loopback, the daemon writes them into the page file; the reference is a plain
# socket-to-file copy of the same stream.
# --quick: a 75-dpi page, one round of the USB page instead of three (what the test suite runs).
# Builds a Release tree in build-bench (no sanitizers, see scripts/lib/orvo-build.sh).
set -euo pipefail

# shellcheck source=bench/lib/sandbox.sh
. "$(dirname "$0")/lib/sandbox.sh"
[ "${1:-}" = --inner ] || bench_sandbox --no-cups "$0" "$@"
shift
rounds=3
dpi=300
case "${1:-}" in
  '') ;;
  --quick) rounds=1 dpi=75 ;;
  *) echo "usage: scan-bench.sh [--quick]" >&2; exit 2 ;;
esac

SCAN_WORK=$(mktemp -d "${TMPDIR:-/tmp}/scanbench.XXXXXX")
export TMPDIR=$SCAN_WORK
. "$ORVO_SOURCE_DIR/tests/sim/simfx.sh"
. "$ORVO_SOURCE_DIR/tests/scandaemon/scanfx.sh"
trap 'sim_stop; rm -rf "$SCAN_WORK"' EXIT
scan_sim_start "$SCAN_WORK/ctl" --usb s1:K20NW:AB1234 --net n1:K40N:127.0.0.2
sim_ctl scan s1 chunk 32768 > /dev/null
scan_daemon_start
"$ORVO_BUILD_DIR/tests/scandaemon/scan_bench_client" "$SCAN_WORK/ctl" "$rounds" "$dpi"
echo
"$ORVO_BUILD_DIR/tests/scannet/scan_net_bench_client" "$SCAN_WORK/ctl" 127.0.0.2 "$dpi"
