# Starts a private X server (Xvfb) for the scripts that run the real program.
# shellcheck shell=bash

# open_display LOG: starts Xvfb (screen $XVFB_SCREEN, default 1024x768x24; run by the command
# $XVFB_WRAPPER when set, e.g. under valgrind, with XVFB_WAIT seconds to come up, default 20) on a
# free display, exports DISPLAY and sets XVFB_PID; returns 1 when no server starts. -noreset: by default the server resets when its last client leaves, and
# a program that connects during the reset is refused ("could not connect to display"), which
# happens when one program ends and the next starts at once. -r: no key auto-repeat, so a key
# whose release comes late on a busy machine (xdotool descheduled between press and release) is not
# repeated into the next program's window.
open_display() {
  local log=$1 fifo n=""
  fifo=$(mktemp -u)
  mkfifo "$fifo" || return 1
  # shellcheck disable=SC2086
  ${XVFB_WRAPPER:-} Xvfb -displayfd 3 -noreset -r -screen 0 "${XVFB_SCREEN:-1024x768x24}" -nolisten tcp 3>"$fifo" 2>"$log" &
  XVFB_PID=$!
  # The server writes its number when it is ready, or ends (closing the pipe) when it cannot.
  read -r -t "${XVFB_WAIT:-20}" n <"$fifo" || true
  rm -f "$fifo"
  [ -n "$n" ] || return 1
  export DISPLAY=":$n"
}
