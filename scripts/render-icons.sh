#!/usr/bin/env bash
# Renders the desktop programs' icons (debian/icons/hicolor/scalable/apps/*.svg) into the
# hicolor theme's bitmap sizes next to them. Run after changing a drawing; the bitmaps are
# kept in the tree so that building the packages needs no SVG renderer.
# Needs rsvg-convert (package librsvg2-bin).
set -euo pipefail
icons=$(cd "$(dirname "${BASH_SOURCE[0]}")/../debian/icons/hicolor" && pwd)
for svg in "$icons"/scalable/apps/*.svg; do
  name=$(basename "$svg" .svg)
  for size in 16 22 24 32 48 64 128 256; do
    mkdir -p "$icons/${size}x${size}/apps"
    rsvg-convert -w "$size" -h "$size" "$svg" -o "$icons/${size}x${size}/apps/$name.png"
  done
done
