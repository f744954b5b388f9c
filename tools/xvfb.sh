# Starts a private X server (Xvfb) for the scripts that run the real program.
# shellcheck shell=bash

# open_display LOG: starts Xvfb on a free display, exports DISPLAY and sets XVFB_PID; returns 1
# when no server starts. The display number is drawn at random from a wide range and tried
# explicitly: servers that pick "the first free number" themselves (-displayfd) race with servers
# of other scripts starting or ending at the same moment, and one may take over or remove the
# other's socket.
open_display() {
  local log=$1 n fifo
  fifo=$(mktemp -u)
  mkfifo "$fifo" || return 1
  for _ in 1 2 3 4 5 6 7 8 9 10; do
    n=$((100 + (RANDOM * 32768 + RANDOM) % 30000))
    [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
    Xvfb ":$n" -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$fifo" 2>"$log" &
    XVFB_PID=$!
    # The server writes its number when it is ready, or ends (closing the pipe) when it cannot.
    local ready=""
    read -r -t 20 ready <"$fifo" || true
    if [ "$ready" = "$n" ]; then
      rm -f "$fifo"
      export DISPLAY=":$n"
      return 0
    fi
    kill "$XVFB_PID" 2>/dev/null
    wait "$XVFB_PID" 2>/dev/null
  done
  rm -f "$fifo"
  return 1
}
