#!/usr/bin/env bash
# Without "Klack.wav" the program shows its warning box before any window and, once the box is
# closed, ends with a non-zero status. Tried with no Sounds folder, an empty one and a folder named
# "Klack.wav".
. "$(dirname "$0")/lib.sh"
PROGRAM=$1
setup_dirs
start_xvfb

passed=0
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
  # Return closes the box; pressed again while the box is still there (a key that comes before
  # the box is ready for it is lost).
  closed=0
  for _ in $(seq 15); do
    xdotool windowfocus --sync "$BOX" 2>/dev/null
    xdotool key --window "$BOX" Return 2>/dev/null
    wait_exit "$PID" 1 && { closed=1; break; }
  done
  [ $closed -eq 1 ] || fail "$layout: the program did not end after the box was closed"
  [ "$EXIT_STATUS" -ne 0 ] || fail "$layout: the program ended with status 0"
  echo "$layout: warning shown, exit status $EXIT_STATUS"
  passed=$((passed + 1))
done
echo "$passed passed, 0 failed"
