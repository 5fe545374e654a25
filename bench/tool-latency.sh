#!/usr/bin/env bash
# bench/tool-latency.sh [file] [CHANGES | --quick]   (as root): time from a simulated USB
# printer's ink change to the tray tool's row showing it (through the real print service),
# over CHANGES changes (default 20; --quick: 3, what the test suite runs, the file case
# too); with "file", time from a status file written as the service writes it to the row.
# Prints each change, then the median and the worst.
# Builds a Release tree in build-bench (no sanitizers, see scripts/lib/orvo-build.sh).
set -euo pipefail
# shellcheck source=bench/lib/sandbox.sh
. "$(dirname "$0")/lib/sandbox.sh"
bench_build "$0"
here=$ORVO_SOURCE_DIR
export QT_QPA_PLATFORM=offscreen
bench=$ORVO_BUILD_DIR/tests/tool/bench_tool_latency
if [ "${1:-}" = --quick ]; then
  "$here/tests/harness/orvo-sandbox" -- "$bench" file 3
  exec "$here/tests/harness/orvo-sandbox" --cups -- "$here/tests/tool/with-service.sh" "$bench" 3
fi
if [ "${1:-}" = file ]; then
  exec "$here/tests/harness/orvo-sandbox" -- "$bench" file "${2:-20}"
fi
exec "$here/tests/harness/orvo-sandbox" --cups -- "$here/tests/tool/with-service.sh" "$bench" "${1:-20}"
