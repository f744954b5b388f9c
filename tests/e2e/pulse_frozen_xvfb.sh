#!/usr/bin/env bash
# The sound server frozen (SIGSTOP) before the start: the window shows, is painted and answers
# (START pressed meanwhile); thawed, the program moves to it and its beats are heard, none lost or
# doubled. Every wait is bounded, and nothing asks the frozen server anything. Skipped (77) where
# PulseAudio is missing or cannot start.
. "$(dirname "$0")/lib.sh"
PROGRAM=$1 ANALYZE=$2
setup_dirs
need_pulse
command -v import >/dev/null || { echo "import (ImageMagick) is not installed"; exit 77; }

start_pulse metronom || { echo "pulseaudio does not start here: $(cat "$WORK/pulse.log")"; exit 77; }
PA=$(cat "$PULSE_RUNTIME_PATH/pid")
# Thawed before anything asks it to end (a frozen server would hang `pulseaudio --kill`).
trap 'kill -CONT $PA 2>/dev/null; timeout 5 pulseaudio --kill 2>/dev/null; kill -9 $PA 2>/dev/null; cleanup' EXIT
start_xvfb
kill -STOP "$PA"

"$PROGRAM" >"$WORK/out" 2>&1 &
PID=$!; PIDS+=("$PID")
ID=$(wait_window "$MAIN" 20) || fail "no window while the server is frozen: $(cat "$WORK/out")"
# Painted: the grab of the window shows more than one colour (an unpainted window is all black).
painted=no
for _ in $(seq 30); do
  colours=$(timeout 5 import -window "$ID" -format '%k' info: 2>/dev/null || echo 0)
  [ "${colours:-0}" -gt 8 ] && { painted=yes; break; }
  sleep 0.1
done
[ $painted = yes ] || fail "the window is not painted 3 s after it showed (server frozen)"
echo "window shown and painted with the server frozen"
xdotool mousemove --window "$ID" 668 463 click 1 # START while no stream exists
sleep 3 # beyond the 2 s after which the program runs silent
kill -0 "$PID" 2>/dev/null || fail "the program ended with the server frozen: $(cat "$WORK/out")"

kill -CONT "$PA"
sleep 1
record metronom "$WORK/rec.wav"
sleep 6
kill $RECORDER 2>/dev/null; wait $RECORDER 2>/dev/null
kill -0 "$PID" 2>/dev/null || fail "the program ended: $(cat "$WORK/out")"
status=0
REPORT=$("$ANALYZE" "$WORK/rec.wav" --bpm 120) || status=$?
[ $status -ne 2 ] || fail "beats lost or doubled after the server was thawed: $REPORT"
beats=$(awk '/beats found/ {print $3}' <<<"$REPORT")
[ "${beats:-0}" -ge 8 ] || fail "only ${beats:-0} beats after the server was thawed: $REPORT"
timeout 5 pactl list sink-inputs | grep -q 'media.name = "Metronom"' || fail "not the program's own PulseAudio stream"
echo "$beats beats heard after the server was thawed"
echo "1 passed, 0 failed"
