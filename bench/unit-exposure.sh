#!/usr/bin/env bash
# bench/unit-exposure.sh [--quick]: how exposed each systemd unit of the suite is, as
# "systemd-analyze security --offline=true" rates it (0 = fully sandboxed, 10 = not at
# all), next to the same unit with its sandboxing lines taken out (the reference) and
# the target. Also prints the verdict of "systemd-analyze verify" on the unit file.
# The units are the ones a configured build made from their templates with the install
# root: ORVO_BUILD_DIR, default build-bench (configured here when it is not yet; nothing is
# built). It takes seconds; --quick (what the test suite runs) is the same run.
set -euo pipefail
case "${1:-}" in '' | --quick) ;; *) echo "usage: unit-exposure.sh [--quick]" >&2; exit 2 ;; esac
src=$(cd "$(dirname "$0")/.." && pwd)
build=${ORVO_BUILD_DIR:-$src/build-bench}
if [ ! -f "$build/orvo-root.env" ]; then
  # shellcheck source=scripts/lib/orvo-build.sh
  . "$src/scripts/lib/orvo-build.sh"
  orvo_configure "$src" "$build" -DCMAKE_BUILD_TYPE=Release -DORVO_SANITIZE=OFF
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

exposure() {
  systemd-analyze security --offline=true "$1" 2>/dev/null |
    sed -n 's/.*Overall exposure level for [^:]*: \([0-9.]*\).*/\1/p'
}

printf '%-28s %-10s %-10s %-8s %s\n' unit exposure reference target verify
while read -r file target; do
  unit=$(basename "$file")
  # The reference keeps what makes the unit run (type, command, user, restarts, stop) and
  # drops every sandboxing directive.
  mkdir -p "$work/ref"
  grep -Ev '^(Capability|Ambient|NoNew|Protect|ReadWrite|Private|Device|Restrict|Lock|Memory|Remove|SystemCall|UMask|ProcSubset)' \
    "$build/$file" > "$work/ref/$unit"
  # Where the suite is not installed, verify can only complain about the missing program;
  # the package test verifies the units with the programs in place.
  all=$(systemd-analyze verify --man=no "$build/$file" 2>&1 || true)
  verify=$(printf '%s\n' "$all" | grep -v 'is not executable: No such file' || true)
  [ "$verify" != "$all" ] && missing=" (program not installed here)" || missing=
  printf '%-28s %-10s %-10s %-8s %s\n' "$unit" "$(exposure "$build/$file")" "$(exposure "$work/ref/$unit")" \
    "< $target" "${verify:-clean}$missing"
done <<'UNITS'
scripts/orvo-k500-watchdog.service 5.0
debian/orvo-k500-scan.service 3.0
UNITS
