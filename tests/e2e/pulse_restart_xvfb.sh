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
RECORDER=""
record() { # into $1, a reader attached at once so that the idle sink runs
  parec -d metronom.monitor --format=s16le --rate=44100 --channels=2 --latency-msec=10 --file-format=wav "$1" &
  RECORDER=$!; PIDS+=("$RECORDER")
}
stop_recording() { kill "$RECORDER" 2>/dev/null; wait "$RECORDER" 2>/dev/null; }
alive() { kill -0 "$PID" 2>/dev/null || fail "the program ended $1: $(cat "$WORK/out")"; }
# The beats of recording $1 must be there ($2 at least), none lost or doubled at 120; $3 names
# the case, further arguments go to the analysis.
REPORT=""
beats_in() {
  local report status=0
  report=$("$ANALYZE" "$1" --bpm 120 "${@:4}") || status=$?
  REPORT=$report
  echo "$report" | grep -E 'beats found|runs found|mean interval|lost|doubled' | sed 's/^/  /'
  [ $status -ne 2 ] || fail "$3: beats lost or doubled: $report"
  local beats
  beats=$(awk '/beats found/ {print $3}' <<<"$report")
  [ "$beats" -ge "$2" ] || fail "$3: only $beats beats"
}

start_server || { echo "pulseaudio does not start here: $(cat "$WORK/pulse.log")"; exit 77; }
record "$WORK/before.wav"
start_xvfb
"$PROGRAM" >"$WORK/out" 2>&1 &
PID=$!; PIDS+=("$PID")
ID=$(wait_window "Lindoquet Metronome Vintra (Preview Version)" 30) || fail "no main window: $(cat "$WORK/out")"
sleep 1
xdotool mousemove --window "$ID" 668 463 click 1 # START
sleep 4
stop_recording
pactl list sink-inputs | grep -q 'media.name = "Metronom"' || fail "not the program's own PulseAudio stream"
echo "before the server went away:"
beats_in "$WORK/before.wav" 4 "before"

passed=0
for how in "asked to end" "killed"; do
  if [ "$how" = killed ]; then
    kill -9 "$(cat "$PULSE_RUNTIME_PATH/pid")" || fail "no server to kill"
  else
    pulseaudio --kill || fail "the server did not end"
  fi
  sleep 3 # the program notices the loss and retries without a server
  alive "while the server was gone ($how)"
  start_server || fail "the server does not start again: $(cat "$WORK/pulse.log")"
  record "$WORK/after.wav"
  sleep 8 # the program reopens the device within its polling time
  stop_recording
  alive "after the server came back ($how)"
  echo "server $how and started again:"
  beats_in "$WORK/after.wav" 4 "after the server was $how" --list
  awk '/^beat +1 / {printf "  first beat %.1f s after the server came back\n", $4 / 44100}' <<<"$REPORT"
  passed=$((passed + 1))
done

# The window still answers: STOP silences it, START plays again.
record "$WORK/again.wav"
sleep 2
xdotool mousemove --window "$ID" 668 463 click 1 # STOP
sleep 2
pactl list sink-inputs | grep -q 'Corked: yes' || fail "the stream plays on while stopped"
xdotool mousemove --window "$ID" 668 463 click 1 # START
sleep 3
stop_recording
alive "after STOP and START"
echo "STOP and START afterwards:"
beats_in "$WORK/again.wav" 6 "after STOP and START" --pause 1.6
grep -q 'runs found             2' <<<"$REPORT" || fail "STOP and START were not heard as two runs"
passed=$((passed + 1))
echo "$passed passed, 0 failed"
