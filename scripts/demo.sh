#!/usr/bin/env bash
# The suite's main job on a machine without printers (as root, from the source root):
# installs the build dependencies, builds and installs the suite into a sandbox with a
# private CUPS, two simulated printers (one USB, one network), the watchdog and the print
# service, and shows the printers' live status while the simulated printers change.
# Options are passed on to scripts/demo-run.sh (DEMO_SECONDS sets how long it runs).
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

bash scripts/install-test-deps.sh
cmake -S . -B build-demo -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORVO_INSTALL_SYSTEMD=OFF > /dev/null
cmake --build build-demo -j2
export ORVO_BUILD_DIR=$PWD/build-demo ORVO_SOURCE_DIR=$PWD
display=()
[ -z "${DISPLAY:-}" ] || display=(--display)
exec tests/harness/orvo-sandbox --cups "${display[@]}" -- bash scripts/demo-run.sh "$@"
