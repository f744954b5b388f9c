#!/usr/bin/env bash
# Ended from outside (a logout's SIGTERM, Ctrl+C's SIGINT, a closed terminal's SIGHUP), the program
# closes its window as the close button does: a change made a moment before is in the settings file
# it remembers, and it ends with status 0.
. "$(dirname "$0")/lib.sh"
PROGRAM=$1
setup_dirs
start_xvfb
CONF="$XDG_CONFIG_HOME/metronom/metronom.conf"
mkdir -p "${CONF%/*}"
ended() { local state; state=$(ps -o stat= -p "$1") || return 0; [[ $state == Z* ]]; } # gone, or a zombie

for signal in TERM INT HUP; do
  printf '[General]\ntempo=100\n' >"$CONF" # the file there: remembering is on
  start "$MAIN" "$PROGRAM"
  sleep 1
  xdotool mousemove --window "$ID" 496 218 click 1 # ">": one faster
  sleep 0.2 # well within the second after which a change is written anyway
  kill -s "$signal" "$PID"
  for _ in $(seq 100); do ended "$PID" && break; sleep 0.1; done
  ended "$PID" || fail "$signal: still running after 10 s"
  status=0
  wait "$PID" || status=$?
  [ "$status" -eq 0 ] || fail "$signal: ended with status $status: $(cat "$WORK/out")"
  grep -qx 'tempo=101' "$CONF" || fail "$signal: the change was lost: $(grep tempo "$CONF")"
  echo "$signal: closed as by its close button, the change kept"
done

echo "3 passed, 0 failed"
