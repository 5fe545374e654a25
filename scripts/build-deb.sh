#!/usr/bin/env bash
# build-deb.sh [OUTDIR]: builds the suite's Debian packages from this source tree into
# OUTDIR (default: build-deb/ in the source tree), as root on Debian 12 (the build
# dependencies are installed when missing). A Release build without tests; ccache is
# used when it is installed. Install the result with: apt install ./build-deb/*.deb
set -euo pipefail

src=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
out=$(mkdir -p "${1:-$src/build-deb}" && cd "${1:-$src/build-deb}" && pwd)

. "$src/scripts/install-deps.sh"
apt_install "${PACKAGES[@]}" build-essential debhelper dpkg-dev libsane-dev

# dpkg-buildpackage works in the tree and writes the packages next to it: build from a
# copy, always at the same path so that ccache finds its earlier results.
rm -rf "$out/src" "$out"/*.deb "$out"/*.ddeb "$out"/*.changes "$out"/*.buildinfo
mkdir -p "$out/src"
if git -C "$src" rev-parse --is-inside-work-tree > /dev/null 2>&1; then
  # The inner script expands its own arguments: a deleted file is left out.
  # shellcheck disable=SC2016
  (cd "$src" && git ls-files -z --cached --others --exclude-standard |
    xargs -0 -r sh -c 'for f; do [ -e "$f" ] && printf "%s\0" "$f"; done' sh |
    tar --null -T - -cf -) | tar -C "$out/src" -xf -
else
  tar -C "$src" --exclude='./build*' --exclude='./obj-*' -cf - . | tar -C "$out/src" -xf -
fi

# debhelper gives the build a HOME of its own; ccache keeps its usual cache, and paths
# below the copy count as relative, so copies elsewhere find the same results.
if command -v ccache > /dev/null; then
  CCACHE_DIR=$(ccache -k cache_dir)
  export CCACHE_DIR CCACHE_BASEDIR=$out/src
fi
export DEB_BUILD_OPTIONS=${DEB_BUILD_OPTIONS:-nocheck noddebs parallel=2}
(cd "$out/src" && dpkg-buildpackage -us -uc -b) > "$out/build.log" 2>&1 ||
  { tail -n 60 "$out/build.log" >&2; echo "build-deb: dpkg-buildpackage failed (log: $out/build.log)" >&2; exit 1; }

cd "$out"
ls -1 ./*.deb
