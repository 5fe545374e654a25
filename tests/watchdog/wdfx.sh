# shellcheck shell=bash
# Shared by the watchdog scenarios; sourced inside the sandbox after cupsfx.sh.
WD_ROOT=${ORVO_INSTALL_ROOT:?set by orvo-sandbox}
WD_SERVICE=orvoK500Service
WD_WORK=${TMPDIR:-/tmp}/wd-work
mkdir -p "$WD_WORK"

now_ms() { date +%s%3N; }

# Live (not zombie) processes whose command name is the service's.
service_pids() {
  ps -A -o pid=,stat=,comm= | awk -v n="$WD_SERVICE" '$3 == n && $2 !~ /^Z/ { print $1 }' | sort -n | xargs
}
service_count() { service_pids | wc -w; }
one_service() { [ "$(service_count)" -eq 1 ]; }
alive() { [ -d "/proc/$1" ] && ! awk '{ exit ($3 == "Z" ? 0 : 1) }' "/proc/$1/stat" 2> /dev/null; }
gone() { ! alive "$1"; }

wd_log() { cat "$WD_ROOT"/log/log_wd_*.log 2> /dev/null; }
wd_has() { wd_log | grep -qF -- "$1"; }
# Messages only, without the time stamp and the tag.
wd_messages() { wd_log | sed -E 's/^\[[^]]*\] \([^)]*\) //'; }
# The messages on one line, joined by "|", with every restart's cycle number as N.
any_index() { sed -E 's/index = [0-9]+$/index = N/' | paste -sd '|'; }
# Time of a log line in milliseconds since the epoch.
line_ms() { date -d "$(printf '%s\n' "$1" | sed -E 's/^\[([^]]*)\].*/\1/')" +%s%3N; }
mtime_ms() { date -r "$1" +%s%3N; }
heartbeat() { echo "$WD_ROOT/cfg/service.hb"; }
# next_beat: waits until the service writes its heartbeat again (about 5 s), the clock for
# windows in which the watchdog, checking once a second, must leave the service alone.
_beat_not() { [ "$(cat "$(heartbeat)" 2> /dev/null)" != "$1" ]; }
next_beat() { wait_until 30 _beat_not "$(cat "$(heartbeat)" 2> /dev/null)"; }

# The watchdog runs from its own working directory, so that a nohup.out would show there.
wd_start() {
  (cd "$WD_WORK" && exec "$WD_ROOT/bin/orvoK500Watchdog") &
  export WD_PID=$!
}

no_nohup_out() {
  [ -z "$(find "$WD_WORK" "$WD_ROOT" "$HOME" "${TMPDIR:-/tmp}" /run -name nohup.out 2> /dev/null)" ]
}
