#!/usr/bin/env bash
# Without "Klack.wav" the program shows its warning box before any window and, once the box is
# closed, ends with a non-zero status. Tried with no Sounds folder, an empty one and a folder named
# "Klack.wav"; then without a sound device.
. "$(dirname "$0")/lib.sh"
PROGRAM=$1
setup_dirs
start_xvfb

passed=0
close_box() { # Return closes the box; pressed again while the box is still there (a key that
  # comes before the box is ready for it is lost). The program must then end, not with status 0.
  local closed=0
  for _ in $(seq 15); do
    xdotool windowfocus --sync "$BOX" 2>/dev/null
    xdotool key --window "$BOX" Return 2>/dev/null
    wait_exit "$PID" 1 && { closed=1; break; }
  done
  [ $closed -eq 1 ] || fail "$1: the program did not end after the box was closed"
  [ "$EXIT_STATUS" -ne 0 ] || fail "$1: the program ended with status 0"
  echo "$1: box shown, exit status $EXIT_STATUS"
  passed=$((passed + 1))
}
for layout in none empty folder; do
  dir="$WORK/$layout"; mkdir -p "$dir"
  cp "$PROGRAM" "$dir/metronom"
  case $layout in
    empty) mkdir "$dir/Sounds" ;;
    folder) mkdir -p "$dir/Sounds/Klack.wav"; : >"$dir/Sounds/Snare.wav" ;;
  esac
  "$dir/metronom" >"$WORK/out" 2>&1 &
  PID=$!; PIDS+=("$PID")
  BOX=$(wait_window "Lindoquet Metronome Vintra" 30) || fail "$layout: no warning box: $(cat "$WORK/out")"
  if xdotool search --onlyvisible --name "Preview Version" >/dev/null 2>&1; then
    fail "$layout: the main window was shown"
  fi
  close_box "$layout"
done

# A sound device that cannot be opened: the box belongs to the window, which stays on top of all
# others, so that it is shown in front of it; the program ends with status 1 when it is closed.
SDL_AUDIODRIVER=keiner PULSE_SERVER=unix:/nonexistent "$PROGRAM" >"$WORK/out" 2>&1 &
PID=$!; PIDS+=("$PID")
WINDOW=$(wait_window "Lindoquet Metronome Vintra (Preview Version)" 30) || fail "no window: $(cat "$WORK/out")"
BOX=$(wait_window "Lindoquet Metronome Vintra (Preview)" 30) || fail "no sound failure box: $(cat "$WORK/out")"
xprop -id "$BOX" WM_TRANSIENT_FOR | grep -q "$(printf '0x%x' "$WINDOW")$" || fail "the sound failure box is not the window's"
close_box "no sound"
[ "$EXIT_STATUS" -eq 1 ] || fail "no sound: the program ended with status $EXIT_STATUS"
echo "$passed passed, 0 failed"
