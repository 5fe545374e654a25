#!/usr/bin/env bash
# bench/tool-latency.sh [file] [CHANGES]: time from a simulated USB printer's ink change to the
# tray tool's row showing it (through the real print service), over CHANGES changes (default
# 20); with "file", time from a status file written as the service writes it to the row.
# Prints each change, then the median and the worst.
# Needs a built tree: ORVO_BUILD_DIR (default build-bench, an unsanitized Release build).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
export ORVO_BUILD_DIR=${ORVO_BUILD_DIR:-$here/build-bench} ORVO_SOURCE_DIR=$here QT_QPA_PLATFORM=offscreen
if [ "${1:-}" = file ]; then
  exec "$here/tests/harness/orvo-sandbox" -- "$ORVO_BUILD_DIR/tests/tool/bench_tool_latency" file "${2:-20}"
fi
exec "$here/tests/harness/orvo-sandbox" --cups -- "$here/tests/tool/with-service.sh" \
  "$ORVO_BUILD_DIR/tests/tool/bench_tool_latency" "${1:-20}"
