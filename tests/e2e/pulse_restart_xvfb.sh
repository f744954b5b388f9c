#!/usr/bin/env bash
# The sound server goes away under the playing program and comes back: a private PulseAudio server
# with a null sink, the program under an X server playing through it, START clicked; the server is
# stopped (once asked to end, once killed outright) and started again. The program must live on
# and its beats must come back, evenly spaced at the tempo shown, each time; then STOP and START
# still work, and the stream rests (corked) while stopped. The program plays through its own
# PulseAudio stream (no SDL_AUDIODRIVER). Skipped (77) where PulseAudio is not installed or cannot
# start.
. "$(dirname "$0")/lib.sh"
PROGRAM=$1
ANALYZE=$2
for tool in pulseaudio parec pactl; do
  command -v $tool >/dev/null || { echo "$tool is not installed"; exit 77; }
done
setup_dirs
export HOME=$WORK PULSE_RUNTIME_PATH=$WORK/pulse
unset SDL_AUDIODRIVER
trap 'pulseaudio --kill 2>/dev/null; cleanup' EXIT

start_server() {
  pulseaudio -n --daemonize=yes --exit-idle-time=-1 --log-target=stderr --log-level=error \
    -L "module-null-sink sink_name=metronom rate=44100 channels=2" -L module-native-protocol-unix \
    2>>"$WORK/pulse.log" || return 1
  for _ in $(seq 50); do pactl info >/dev/null 2>&1 && break; sleep 0.1; done
  pactl set-default-sink metronom
}
# Records $2 seconds from the sink (a reader attached at once, so that the idle sink runs) and checks
# that the program lives on and that the recording holds beats at 120, none lost or doubled, at least
# $1 of them; further arguments go to the analysis.
beats_in() {
  local least=$1 secs=$2 status=0 beats
  parec -d metronom.monitor --format=s16le --rate=44100 --channels=2 --latency-msec=10 --file-format=wav "$WORK/rec.wav" &
  PIDS+=("$!")
  sleep "$secs"
  kill "$!" 2>/dev/null; wait "$!" 2>/dev/null
  kill -0 "$PID" 2>/dev/null || fail "the program ended: $(cat "$WORK/out")"
  REPORT=$("$ANALYZE" "$WORK/rec.wav" --bpm 120 "${@:3}") || status=$?
  [ $status -ne 2 ] || fail "beats lost or doubled: $REPORT"
  beats=$(awk '/beats found/ {print $3}' <<<"$REPORT")
  [ "$beats" -ge "$least" ] || fail "only $beats beats"
  echo "$beats beats"
}

start_server || { echo "pulseaudio does not start here: $(cat "$WORK/pulse.log")"; exit 77; }
start_xvfb
"$PROGRAM" >"$WORK/out" 2>&1 &
PID=$!; PIDS+=("$PID")
ID=$(wait_window "Lindoquet Metronome Vintra (Preview Version)" 30) || fail "no main window: $(cat "$WORK/out")"
sleep 1
xdotool mousemove --window "$ID" 668 463 click 1 # START
beats_in 4 4
pactl list sink-inputs | grep -q 'media.name = "Metronom"' || fail "not the program's own PulseAudio stream"
for how in "asked to end" killed; do
  if [ "$how" = killed ]; then kill -9 "$(cat "$PULSE_RUNTIME_PATH/pid")"; else pulseaudio --kill; fi || fail "no server to end"
  sleep 3 # the program notices the loss and retries without a server
  kill -0 "$PID" 2>/dev/null || fail "the program ended without a server: $(cat "$WORK/out")"
  start_server || fail "the server does not start again: $(cat "$WORK/pulse.log")"
  echo "server $how and started again:"
  beats_in 4 8 # the program reopens the device within its polling time
done
# The window still answers: STOP silences it, START plays again.
(sleep 2; xdotool mousemove --window "$ID" 668 463 click 1; sleep 1.5; pactl list sink-inputs >"$WORK/stopped"
 sleep 0.5; xdotool mousemove --window "$ID" 668 463 click 1) &
beats_in 6 7 --pause 1.6
grep -q 'runs found             2' <<<"$REPORT" || fail "STOP and START were not heard as two runs"
grep -q 'Corked: yes' "$WORK/stopped" || fail "the stream plays on while stopped"
echo "3 passed, 0 failed"
