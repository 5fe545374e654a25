#!/usr/bin/env bash
# Redraws the maintenance tool's pictures into OrvoPrintSetting/Resource/ with the
# generator OrvoPrintSetting/pictures/draw-pictures.cpp.
#   bash scripts/draw-setting-pictures.sh [BUILD-DIR]     (default: build)
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${1:-$here/build}
[ -f "$build/CMakeCache.txt" ] || cmake -S "$here" -B "$build"
cmake --build "$build" --target orvo-setting-pictures
LSAN_OPTIONS="suppressions=$here/tests/lsan.supp" QT_QPA_PLATFORM=offscreen \
  "$build/OrvoPrintSetting/orvo-setting-pictures" "$here/OrvoPrintSetting/Resource"
