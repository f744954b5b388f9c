#!/usr/bin/env bash
# Without "Klack.wav" (here a folder of that name) the program shows its warning box before any
# window and, once the box is closed, ends with a non-zero status.
. "$(dirname "$0")/lib.sh"
PROGRAM=$1
setup_dirs
start_xvfb
cp "$PROGRAM" "$WORK/metronom"
mkdir -p "$WORK/Sounds/Klack.wav"
"$WORK/metronom" >"$WORK/out" 2>&1 &
PID=$!; PIDS+=("$PID")
BOX=$(wait_window "Lindoquet Metronome Vintra" 30) || fail "no warning box: $(cat "$WORK/out")"
! xdotool search --onlyvisible --name "Preview Version" >/dev/null 2>&1 || fail "the main window was shown"
# Return closes the box; pressed again while the box is still there (a key that comes before the
# box is ready for it is lost).
for _ in $(seq 15); do
  xdotool windowfocus --sync "$BOX" 2>/dev/null
  xdotool key --window "$BOX" Return 2>/dev/null
  wait_exit "$PID" 1 && break
done
[ -n "${EXIT_STATUS:-}" ] || fail "the program did not end after the box was closed"
[ "$EXIT_STATUS" -ne 0 ] || fail "the program ended with status 0"
echo "1 passed, 0 failed"
