# shellcheck shell=bash
# Reading a running process's figures from /proc with shell builtins only, so that sampling
# inside a measuring window starts no process. Source it: . "$(dirname "$0")/lib/proc.sh"
#   runtime_ns PID    nanoseconds its threads have run (the scheduler's own clock, the first
#                     field of each thread's schedstat). Exact, where tick figures are
#                     samples: a process that runs in bursts far shorter than a tick, right
#                     after the timer interrupt that woke it, is charged a tick only now and
#                     then, and unevenly.
#   status_of PID KEY a value of /proc/PID/status (VmHWM, Threads...), 0 when it is absent

runtime_ns() {
  local f v total=0
  for f in /proc/"$1"/task/*/schedstat; do
    read -r v _ < "$f" 2> /dev/null || continue
    total=$(( total + v ))
  done
  echo "$total"
}

status_of() {
  local k v
  while read -r k v _; do [ "$k" != "$2:" ] || { echo "$v"; return; }; done < "/proc/$1/status"
  echo 0
}
