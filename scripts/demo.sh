#!/usr/bin/env bash
# The suite's main job on a machine without printers (as root, from the source root):
# installs what building and the demo need, builds and installs into a sandbox only what the
# demo runs (the printing and scan programs and the device simulator; the tray tool too with
# a display), with a private CUPS, two simulated printers (one USB, one network), the
# watchdog and the print service, and shows the printers' live status while the simulated
# printers change. No tests, fuzzers or packaging tools are built or installed.
# Options are passed on to scripts/demo-run.sh (DEMO_SECONDS sets how long it runs).
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
. scripts/lib/orvo-build.sh

bash scripts/install-deps.sh --demo
# No build type: unoptimised code without debug information compiles in about half the time,
# and the demo's programs spend their time waiting.
orvo_configure "$PWD" build-demo -DORVO_INSTALL_SYSTEMD=OFF
targets=(orvo-demo)
components="printing scan"
display=()
if [ -n "${DISPLAY:-}" ]; then
  targets+=(orvo-demo-desktop)
  components+=" desktop"
  display=(--display)
fi
cmake --build build-demo -j2 --target "${targets[@]}"
export ORVO_BUILD_DIR=$PWD/build-demo ORVO_SOURCE_DIR=$PWD ORVO_INSTALL_COMPONENTS=$components
exec tests/harness/orvo-sandbox --cups "${display[@]}" -- bash scripts/demo-run.sh "$@"
