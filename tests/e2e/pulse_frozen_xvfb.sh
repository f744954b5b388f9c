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
press_start # START while no stream exists
sleep 3 # beyond the 2 s after which the program runs silent
kill -0 "$PID" 2>/dev/null || fail "the program ended with the server frozen: $(cat "$WORK/out")"

kill -CONT "$PA"
sleep 1
listen 6 8 --bpm 120 # beats heard after the server was thawed, none lost or doubled
timeout 5 pactl list sink-inputs | grep -q 'media.name = "Metronom"' || fail "not the program's own PulseAudio stream"
echo "$BEATS beats heard after the server was thawed"
echo "1 passed, 0 failed"
