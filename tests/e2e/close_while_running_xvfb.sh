#!/usr/bin/env bash
# Closing the window while the metronome runs ends the program at once and cleanly: status 0, no
# crash, no hang.
. "$(dirname "$0")/lib.sh"
PROGRAM=$1
setup_dirs
start_xvfb
command -v python3 >/dev/null || fail "python3 is needed to close the window"

"$PROGRAM" >"$WORK/out" 2>&1 &
PID=$!; PIDS+=("$PID")
ID=$(wait_window "Lindoquet Metronome Vintra (Preview Version)" 30) || fail "no main window: $(cat "$WORK/out")"
sleep 0.5
xdotool mousemove --window "$ID" 668 463 click 1 # START
sleep 1.5
python3 "$(dirname "$0")/../../tools/x11_close.py" "$ID" || fail "could not ask the window to close"
wait_exit "$PID" 5 || fail "the program did not end after its window was closed"
[ "$EXIT_STATUS" -eq 0 ] || fail "the program ended with status $EXIT_STATUS: $(cat "$WORK/out")"
echo "closed while running: exit status 0"
echo "1 passed, 0 failed"
