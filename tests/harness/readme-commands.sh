#!/usr/bin/env bash
# The README's two set-up commands work as written on a fresh Debian machine, where the user
# is root and "sudo" may not be installed: they are given without sudo and name scripts
# that exist.
set -uo pipefail
. "$(dirname "$0")/cupsfx.sh"
readme=${ORVO_SOURCE_DIR:?}/README.md

# Command lines are the indented (code block) lines.
commands=$(grep -E '^    [^ ]' "$readme" | sed 's/^    //')
check_eq "no set-up command starts with sudo" "" "$(printf '%s\n' "$commands" | grep -E 'scripts/(demo|test)\.sh' | grep -E '^sudo\b|&& *sudo\b')"
check "the demo command is given as is" grep -qx 'bash scripts/demo.sh' <<< "$commands"
check "the test command is given as is" grep -qx 'bash scripts/test.sh' <<< "$commands"
check "the demo script exists" test -f "$ORVO_SOURCE_DIR/scripts/demo.sh"
check "the test script exists" test -f "$ORVO_SOURCE_DIR/scripts/test.sh"
finish
