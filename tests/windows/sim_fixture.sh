#!/bin/sh
# Starts or stops the native controller simulator for the Windows card
# library's test, which runs under Wine and reaches it over loopback TCP.
#
#   sim_fixture.sh start S5SIM DIR   s5sim on 127.0.0.1, a port of the system's
#                                    choosing; DIR/s5sim.port and DIR/s5sim.pid
#   sim_fixture.sh stop  -     DIR   stops the simulator of DIR/s5sim.pid
set -u
action=$1
sim=$2
dir=$3
pidfile=$dir/s5sim.pid
portfile=$dir/s5sim.port
log=$dir/s5sim.log

# True while PID is a simulator that has not ended (a zombie has ended).
running() {
  [ -r "/proc/$1/stat" ] || return 1
  state=$(sed 's/^.*) \(.\).*$/\1/' "/proc/$1/stat" 2>/dev/null) || return 1
  [ "$state" != Z ] && [ "$(cat "/proc/$1/comm" 2>/dev/null)" = s5sim ]
}

stop() {
  [ -r "$pidfile" ] || return 0
  pid=$(cat "$pidfile")
  rm -f "$pidfile" "$portfile"
  case $pid in '' | *[!0-9]*) return 0 ;; esac
  running "$pid" || return 0
  kill "$pid" 2>/dev/null
  i=0
  while running "$pid" && [ $i -lt 50 ]; do sleep 0.1; i=$((i + 1)); done
  if running "$pid"; then kill -9 "$pid" 2>/dev/null; fi
  return 0
}

case $action in
start)
  mkdir -p "$dir" || exit 1
  # One left over from a run that was cut short.
  stop
  rm -f "$log"
  # Its output goes to the log, never to this script's pipes, which CTest
  # would otherwise wait on until the simulator ends.
  "$sim" --listen 127.0.0.1:0 --verbose </dev/null >"$log" 2>&1 &
  pid=$!
  echo "$pid" >"$pidfile"
  # Bounded wait (5 s) for the line that tells the port.
  i=0
  while [ $i -lt 50 ]; do
    port=$(sed -n 's/^s5sim listening on 127\.0\.0\.1:\([1-9][0-9]*\)$/\1/p' "$log" 2>/dev/null)
    if [ -n "$port" ]; then
      echo "$port" >"$portfile.tmp" && mv "$portfile.tmp" "$portfile"
      echo "s5sim (pid $pid) listening on 127.0.0.1:$port"
      exit 0
    fi
    if ! kill -0 "$pid" 2>/dev/null; then
      echo "s5sim ended before it listened:"
      cat "$log"
      rm -f "$pidfile"
      exit 1
    fi
    sleep 0.1
    i=$((i + 1))
  done
  echo "s5sim did not report its port within 5 s:"
  cat "$log"
  stop
  exit 1
  ;;
stop)
  stop
  echo "s5sim stopped"
  exit 0
  ;;
*)
  echo "usage: $0 start S5SIM DIR | stop - DIR" >&2
  exit 2
  ;;
esac
