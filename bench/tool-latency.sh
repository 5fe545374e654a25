#!/usr/bin/env bash
# bench/tool-latency.sh [CHANGES]: time from a simulated USB printer's ink change to the tray
# tool's row showing it (through the real print service), over CHANGES changes (default 20).
# Prints each change, then the median and the worst.
# Needs a built tree: ORVO_BUILD_DIR (default build-bench, an unsanitized Release build).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
export ORVO_BUILD_DIR=${ORVO_BUILD_DIR:-$here/build-bench} ORVO_SOURCE_DIR=$here QT_QPA_PLATFORM=offscreen
exec "$here/tests/harness/orvo-sandbox" --cups -- "$here/tests/tool/with-service.sh" \
  "$ORVO_BUILD_DIR/tests/tool/bench_tool_latency" "${1:-20}"
