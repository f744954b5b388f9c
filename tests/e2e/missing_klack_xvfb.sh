#!/usr/bin/env bash
# Without "Klack.wav" (here a folder of that name) the program shows its warning box before any
# window and, once the box is closed, ends with a non-zero status. Without a sound device the
# failure box belongs to the always-on-top window, so that it is shown in front of it, and the
# program ends with status 1 when it is closed.
. "$(dirname "$0")/lib.sh"
PROGRAM=$1
setup_dirs
start_xvfb

close_box() { # Return closes the box; pressed again while the box is still there (a key that
  # comes before the box is ready for it is lost). The program must then end, not with status 0.
  EXIT_STATUS=""
  for _ in $(seq 15); do
    xdotool windowfocus --sync "$BOX" 2>/dev/null
    xdotool key --window "$BOX" Return 2>/dev/null
    wait_exit "$PID" 1 && break
  done
  [ -n "$EXIT_STATUS" ] || fail "$1: the program did not end after the box was closed"
  [ "$EXIT_STATUS" -ne 0 ] || fail "$1: the program ended with status 0"
}

cp "$PROGRAM" "$WORK/metronom"
mkdir -p "$WORK/Sounds/Klack.wav"
"$WORK/metronom" >"$WORK/out" 2>&1 &
PID=$!; PIDS+=("$PID")
BOX=$(wait_window "Lindoquet Metronome Vintra" 30) || fail "no warning box: $(cat "$WORK/out")"
! xdotool search --onlyvisible --name "Preview Version" >/dev/null 2>&1 || fail "the main window was shown"
close_box "no Klack.wav"

SDL_AUDIODRIVER=keiner PULSE_SERVER=unix:/nonexistent "$PROGRAM" >"$WORK/out" 2>&1 &
PID=$!; PIDS+=("$PID")
WINDOW=$(wait_window "Lindoquet Metronome Vintra (Preview Version)" 30) || fail "no window: $(cat "$WORK/out")"
BOX=$(wait_window "Lindoquet Metronome Vintra (Preview)" 30) || fail "no sound failure box: $(cat "$WORK/out")"
xprop -id "$BOX" WM_TRANSIENT_FOR | grep -q "$(printf '0x%x' "$WINDOW")$" || fail "the sound failure box is not the window's"
close_box "no sound"
[ "$EXIT_STATUS" -eq 1 ] || fail "no sound: the program ended with status $EXIT_STATUS"
echo "2 passed, 0 failed"
