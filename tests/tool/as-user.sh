#!/usr/bin/env bash
# as-user.sh CMD...: runs CMD as the unprivileged user "nobody" with a home folder of its own,
# as a desktop user runs the tray tool (inside the sandbox, which gives a private /run).
set -euo pipefail
home=$(mktemp -d "${TMPDIR:-/tmp}/home.XXXXXX")
runtime=$(mktemp -d "${TMPDIR:-/tmp}/runtime.XXXXXX")
chown nobody:nogroup "$home" "$runtime"
chmod 0700 "$home" "$runtime"
export HOME=$home XDG_RUNTIME_DIR=$runtime
unset XDG_CONFIG_HOME
exec setpriv --reuid=nobody --regid=nogroup --clear-groups -- "$@"
