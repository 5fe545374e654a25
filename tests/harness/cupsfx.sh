# shellcheck shell=bash
# Bash library for tests that run inside tests/harness/orvo-sandbox.
# Source it:  . "$ORVO_HARNESS/cupsfx.sh"
#
# Private scheduler:  cupsfx_start, cupsfx_stop (CUPSFX_PID holds the running cupsd)
# Queues:             cupsfx_add_queue NAME URI MODEL, cupsfx_add_queue_noppd NAME URI,
#                     cupsfx_del_queue NAME, cupsfx_set_default NAME, cupsfx_wait_conf NAME
# Fake printer:       cupsfx_sink_start PORT, cupsfx_sink_release [PORT], cupsfx_sink_stop [PORT]
#                     (received data: "$(cupsfx_sink_dir PORT)"/job-N.bin)
# Clients:            cupsfx_client_links PID (connections PID holds to the scheduler)
# Waiting:            wait_until SECONDS CMD...
# Bare environment:   run_in_locale LOCALE|none CMD...
# Checks:             check DESC CMD..., check_fails DESC CMD..., check_eq DESC EXPECTED ACTUAL,
#                     check_match DESC REGEX ACTUAL, finish
# The scheduler only works inside the sandbox: it needs the private /etc/cups, /run and spool dirs.

CUPSFX_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
CUPSFX_PIDFILE=/run/cupsfx.pid
CUPSFX_TIMEOUT=${CUPSFX_TIMEOUT:-10}
CHECK_COUNT=${CHECK_COUNT:-0}
CHECK_FAILS=${CHECK_FAILS:-0}

_cupsfx_err() { echo "cupsfx: $*" >&2; }

# A zombie is as good as gone: its parent may be busy and not reap it yet.
_cupsfx_alive() {
  local state
  state=$(awk '{print $3}' "/proc/$1/stat" 2>/dev/null) || return 1
  [ -n "$state" ] && [ "$state" != Z ]
}
_cupsfx_dead() { ! _cupsfx_alive "$1"; }

# wait_until SECONDS CMD...: run CMD every 50 ms until it succeeds or the time is up.
wait_until() {
  local end=$(( $(date +%s%3N) + $1 * 1000 ))
  shift
  until "$@"; do
    [ "$(date +%s%3N)" -lt "$end" ] || return 1
    sleep 0.05
  done
}

# run_in_locale LOCALE CMD...: CMD with an empty environment, as cron or a fresh ssh session
# starts it: only the sanitizer options and, unless LOCALE is "none", LANG=LOCALE.
run_in_locale() {
  local loc=$1 v vars=()
  shift
  for v in ASAN_OPTIONS UBSAN_OPTIONS LSAN_OPTIONS; do
    [ -z "${!v:-}" ] || vars+=("$v=${!v}")
  done
  [ "$loc" = none ] || vars+=("LANG=$loc")
  env -i "${vars[@]}" "$@"
}

# Counted on the scheduler's side: its accepted sockets whose peer is one of PID's sockets.
cupsfx_client_links() {
  ss -xpn 2>/dev/null | awk -v c="pid=$CUPSFX_PID," -v p="pid=$1," '
    index($0, c) && $5 ~ /cups\.sock/ { peer[$8] = 1 }
    index($0, p) { mine[$6] = 1 }
    END { n = 0; for (i in mine) if (i in peer) n++; print n }'
}

_cupsfx_answers() { lpstat -r 2>/dev/null | grep -q 'scheduler is running'; }

cupsfx_start() {
  if ! mountpoint -q /etc/cups || ! mountpoint -q /run; then
    _cupsfx_err "cupsfx_start must run inside tests/harness/orvo-sandbox (private /etc/cups and /run)"
    return 1
  fi
  if [ -s "$CUPSFX_PIDFILE" ] && _cupsfx_alive "$(cat "$CUPSFX_PIDFILE")"; then
    _cupsfx_err "cupsd is already running (pid $(cat "$CUPSFX_PIDFILE"))"
    return 1
  fi
  mkdir -p /run/cups /var/spool/cups/tmp /var/cache/cups
  /usr/sbin/cupsd -f &
  CUPSFX_PID=$!
  export CUPSFX_PID
  echo "$CUPSFX_PID" > "$CUPSFX_PIDFILE"
  local i=0
  until _cupsfx_answers; do
    if ! _cupsfx_alive "$CUPSFX_PID"; then
      _cupsfx_err "cupsd exited during start-up; error_log:"
      cat /var/log/cups/error_log >&2 2>/dev/null || true
      return 1
    fi
    i=$(( i + 1 ))
    if [ "$i" -ge $(( CUPSFX_TIMEOUT * 50 )) ]; then
      _cupsfx_err "cupsd does not answer after ${CUPSFX_TIMEOUT} s"
      return 1
    fi
    sleep 0.02
  done
}

# SIGTERM is cupsd's clean shutdown: pending configuration is written first.
cupsfx_stop() {
  local pid
  # The pid file names the current cupsd even when a test restarted it.
  pid=$(cat "$CUPSFX_PIDFILE" 2>/dev/null || echo "${CUPSFX_PID:-}")
  if [ -z "$pid" ]; then
    return 0
  fi
  kill -TERM "$pid" 2>/dev/null || true
  if ! wait_until "$CUPSFX_TIMEOUT" _cupsfx_dead "$pid"; then
    _cupsfx_err "cupsd $pid ignores SIGTERM; killing it"
    kill -KILL "$pid" 2>/dev/null || true
  fi
  wait "$pid" 2>/dev/null || true
  rm -f "$CUPSFX_PIDFILE"
  unset CUPSFX_PID
}

_cupsfx_lpadmin() {
  local out
  if ! out=$(lpadmin "$@" 2>&1); then
    _cupsfx_err "lpadmin $* failed: $out"
    return 1
  fi
  # Every -P prints a deprecation warning; anything else is worth seeing.
  out=$(printf '%s\n' "$out" | grep -v 'Printer drivers are deprecated' || true)
  if [ -n "$out" ]; then
    printf '%s\n' "$out" >&2
  fi
}

cupsfx_ppd() {
  case "$1" in
    K20NW | K20N | K20W | K40NW | K40N | K40W) echo "$CUPSFX_DIR/ppd/Orvo_$1.ppd" ;;
    ACME) echo "$CUPSFX_DIR/ppd/Acme_P1.ppd" ;;
    *)
      _cupsfx_err "unknown model '$1' (K20NW K20N K20W K40NW K40N K40W ACME)"
      return 1
      ;;
  esac
}

cupsfx_add_queue() {
  if [ "$#" -ne 3 ]; then
    _cupsfx_err "usage: cupsfx_add_queue NAME URI MODEL"
    return 1
  fi
  local ppd
  ppd=$(cupsfx_ppd "$3") || return 1
  _cupsfx_lpadmin -p "$1" -E -v "$2" -P "$ppd"
}

cupsfx_add_queue_noppd() {
  if [ "$#" -ne 2 ]; then
    _cupsfx_err "usage: cupsfx_add_queue_noppd NAME URI"
    return 1
  fi
  _cupsfx_lpadmin -p "$1" -E -v "$2"
}

_cupsfx_conf_has() { grep -Eq "^<(Default)?Printer $1>\$" /etc/cups/printers.conf 2>/dev/null; }
_cupsfx_conf_lacks() { ! _cupsfx_conf_has "$1"; }
_cupsfx_conf_default() { grep -qx "<DefaultPrinter $1>" /etc/cups/printers.conf 2>/dev/null; }

# cupsfx_wait_conf NAME: until /etc/cups/printers.conf holds the queue.
cupsfx_wait_conf() {
  wait_until "$CUPSFX_TIMEOUT" _cupsfx_conf_has "$1" ||
    { _cupsfx_err "queue $1 not in /etc/cups/printers.conf after ${CUPSFX_TIMEOUT} s"; return 1; }
}

# Returns once the queue has left printers.conf, so readers of the file see the change.
cupsfx_del_queue() {
  _cupsfx_lpadmin -x "$1" || return 1
  wait_until "$CUPSFX_TIMEOUT" _cupsfx_conf_lacks "$1" ||
    { _cupsfx_err "queue $1 still in /etc/cups/printers.conf after ${CUPSFX_TIMEOUT} s"; return 1; }
}

cupsfx_set_default() {
  _cupsfx_lpadmin -d "$1" || return 1
  wait_until "$CUPSFX_TIMEOUT" _cupsfx_conf_default "$1" ||
    { _cupsfx_err "queue $1 not the default in /etc/cups/printers.conf after ${CUPSFX_TIMEOUT} s"; return 1; }
}

cupsfx_sink_dir() { echo "${TMPDIR:-/tmp}/cupsfx-sink-$1"; }

# cupsfx_sink_start PORT: fake printer on 127.0.0.1:PORT that holds every job open.
cupsfx_sink_start() {
  local port=$1 dir
  dir=$(cupsfx_sink_dir "$port")
  mkdir -p "$dir"
  python3 "$CUPSFX_DIR/slowsink.py" 127.0.0.1 "$port" "$dir" > "$dir/log" 2>&1 &
  echo $! > "$dir/pid"
  # A job sent before the sink listens is retried by the backend much later.
  if ! wait_until "$CUPSFX_TIMEOUT" grep -q listening "$dir/log"; then
    _cupsfx_err "sink on port $port did not start:"
    cat "$dir/log" >&2
    return 1
  fi
}

_cupsfx_sink_pids() {
  local f
  if [ -n "${1:-}" ]; then
    cat "$(cupsfx_sink_dir "$1")/pid"
  else
    for f in "${TMPDIR:-/tmp}"/cupsfx-sink-*/pid; do
      [ -e "$f" ] && cat "$f"
    done
  fi
  return 0
}

# cupsfx_sink_release [PORT]: let held jobs finish (all sinks without PORT).
cupsfx_sink_release() {
  local pid
  for pid in $(_cupsfx_sink_pids "${1:-}"); do
    kill -USR1 "$pid"
  done
}

cupsfx_sink_stop() {
  local pid
  for pid in $(_cupsfx_sink_pids "${1:-}"); do
    kill -TERM "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
}

check() {
  local desc=$1
  shift
  CHECK_COUNT=$(( CHECK_COUNT + 1 ))
  if "$@"; then
    echo "ok - $desc"
  else
    CHECK_FAILS=$(( CHECK_FAILS + 1 ))
    echo "FAIL - $desc (command: $*)"
  fi
}

check_fails() {
  local desc=$1
  shift
  CHECK_COUNT=$(( CHECK_COUNT + 1 ))
  if "$@"; then
    CHECK_FAILS=$(( CHECK_FAILS + 1 ))
    echo "FAIL - $desc (succeeded but should fail: $*)"
  else
    echo "ok - $desc"
  fi
}

check_eq() {
  CHECK_COUNT=$(( CHECK_COUNT + 1 ))
  if [ "$2" == "$3" ]; then
    echo "ok - $1"
  else
    CHECK_FAILS=$(( CHECK_FAILS + 1 ))
    printf 'FAIL - %s\n  expected: %s\n  actual:   %s\n' "$1" "$2" "$3"
  fi
}

check_match() {
  CHECK_COUNT=$(( CHECK_COUNT + 1 ))
  # Not through a pipe: grep -q stops reading at the first match, and under pipefail the
  # writer's broken pipe would turn the match into a failure.
  if grep -Eq -- "$2" <<< "$3"; then
    echo "ok - $1"
  else
    CHECK_FAILS=$(( CHECK_FAILS + 1 ))
    printf 'FAIL - %s\n  pattern: %s\n  actual:  %s\n' "$1" "$2" "$3"
  fi
}

finish() {
  echo "$CHECK_COUNT checks, $CHECK_FAILS failed"
  if [ "$CHECK_COUNT" -eq 0 ]; then
    echo "no checks ran" >&2
    exit 1
  fi
  [ "$CHECK_FAILS" -eq 0 ] || exit 1
  exit 0
}
