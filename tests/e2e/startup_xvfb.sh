#!/usr/bin/env bash
# Without a display the program ends with one line. Under an X server its window appears with its
# caption at its fixed size, and a screenshot of the screen is taken (left in the build folder as
# e2e-startup.png).
. "$(dirname "$0")/lib.sh"
PROGRAM=$1
SHOT=${SHOT:-$(pwd)/e2e-startup.png}
setup_dirs

# Without a display to show the window on: one line of its own and status 1, not the toolkit's abort.
for display in "" ":9999"; do
  env -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM DISPLAY="$display" "$PROGRAM" >"$WORK/out" 2>&1
  status=$?
  [ "$status" -eq 1 ] && [ "$(wc -l <"$WORK/out")" -eq 1 ] || fail "no display '$display': status $status: $(cat "$WORK/out")"
done

start_xvfb

"$PROGRAM" >"$WORK/out" 2>&1 &
PID=$!; PIDS+=("$PID")
ID=$(wait_window "Lindoquet Metronome Vintra (Preview Version)" 30) || fail "no main window: $(cat "$WORK/out")"
eval "$(xdotool getwindowgeometry --shell "$ID")"
[ "$WIDTH" = 790 ] && [ "$HEIGHT" = 509 ] || fail "window is ${WIDTH}x${HEIGHT}, not 790x509"
# Centred on the 1024 x 768 screen in the upper nine tenths: 1710 / 15 = 114, 1164 / 15 = 77.6.
[ "$X" -ge 110 ] && [ "$X" -le 118 ] && [ "$Y" -ge 74 ] && [ "$Y" -le 82 ] || fail "window at $X,$Y, not centred"
sleep 1
import -window root "$SHOT" || fail "no screenshot"
[ -s "$SHOT" ] || fail "empty screenshot"
# The face must have been painted: the screenshot is not one flat colour.
colours=$(convert "$SHOT" -format %k info:)
[ "$colours" -gt 50 ] || fail "screenshot has only $colours colours"
kill -0 "$PID" || fail "the program ended"
echo "screenshot $SHOT with $colours colours"
echo "1 passed, 0 failed"
