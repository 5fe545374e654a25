#!/usr/bin/env bash
# scripts/screenshot-setting.sh [OUT-DIR]: regenerates docs/setting-*.png, the maintenance
# tool's four pages in Chinese and in English (setting-*-en.png) (the network page after a read from a simulated printer, the alignment
# page while values are chosen), taken under Xvfb with the WenQuanYi Micro Hei font
# (apt-get install -y xvfb xauth fonts-wqy-microhei). ORVO_BUILD_DIR: a built tree (default build).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
out=$(readlink -f "${1:-$here/docs}")
if [ -z "${ORVO_HARNESS:-}" ]; then
  export ORVO_BUILD_DIR=${ORVO_BUILD_DIR:-$here/build} ORVO_SOURCE_DIR=$here
  export LSAN_OPTIONS="suppressions=$here/tests/lsan.supp"   # the D-Bus library keeps some memory
  cmake --build "$ORVO_BUILD_DIR" --target shot_pages
  exec "$here/tests/harness/orvo-sandbox" -- "$0" "$out"
fi

export QT_QPA_PLATFORM=xcb DISPLAY=:78
Xvfb :78 -screen 0 1280x800x24 -nolisten tcp > "$TMPDIR/xvfb.log" 2>&1 &
for _ in $(seq 50); do [ -e /tmp/.X11-unix/X78 ] && break; sleep 0.1; done
for lang in C.UTF-8 en_US.UTF-8; do
  LANG=$lang "$ORVO_SOURCE_DIR/tests/setting/with-sim.sh" --usb p1:K20NW:AB1234 --net n1:K40N:127.0.0.21 -- \
    "$ORVO_BUILD_DIR/tests/setting/shot_pages" "$out"
done
echo "wrote $out/setting-*.png"
