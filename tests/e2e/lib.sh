# shellcheck shell=bash
. "$(dirname "${BASH_SOURCE[0]}")/../../tools/session.sh"
MAIN="Lindoquet Metronome Vintra (Preview Version)"

# start TITLE COMMAND...: runs the command in the background as $PID, its output in $WORK/out, and
# waits for its window of that title (the id in $ID).
start() {
  local title=$1; shift
  "$@" >"$WORK/out" 2>&1 &
  PID=$!; PIDS+=("$PID")
  ID=$(wait_window "$title" 30) || fail "no window \"$title\": $(cat "$WORK/out")"
}

# A private PulseAudio server with a null sink "metronom" as its default (after setup_dirs): skipped
# (77) where it is not installed or does not start.
need_pulse() {
  for tool in pulseaudio parec pactl; do command -v $tool >/dev/null || { echo "$tool is not installed"; exit 77; }; done
  export HOME=$WORK PULSE_RUNTIME_PATH=$WORK/pulse
  unset SDL_AUDIODRIVER PULSE_SERVER
  trap 'pulseaudio --kill 2>/dev/null; cleanup' EXIT
  start_pulse || { echo "pulseaudio does not start here: $(cat "$WORK/pulse.log")"; exit 77; }
}
start_pulse() {
  pulseaudio -n --daemonize=yes --exit-idle-time=-1 --log-target=stderr --log-level=error \
    -L "module-null-sink sink_name=metronom rate=44100 channels=2" -L module-native-protocol-unix 2>>"$WORK/pulse.log" || return 1
  for _ in $(seq 50); do pactl info >/dev/null 2>&1 && break; sleep 0.1; done
  pactl set-default-sink metronom
}
# A private PipeWire at 48 kHz (its own D-Bus, pipewire, wireplumber, pipewire-pulse; a null sink
# "metronom" as its default, see bench/pipewire.sh; after setup_dirs): skipped (77) where it is not
# installed or does not start. PIPEWIRE_PIDS: the three servers.
need_pipewire() {
  for tool in pipewire wireplumber pipewire-pulse dbus-daemon pactl; do
    command -v $tool >/dev/null || { echo "$tool is not installed (scripts/install-deps.sh --test)"; exit 77; }
  done
  export HOME=$WORK BENCH_RATE=48000
  unset SDL_AUDIODRIVER PULSE_SERVER PIPEWIRE_REMOTE
  BENCH_PIDS=()
  . "$(dirname "${BASH_SOURCE[0]}")/../../bench/pipewire.sh"
  BENCH_PULSE_DEBUG="" start_pipewire >>"$WORK/pw-start.log" 2>&1 || { echo "PipeWire does not start here: $(cat "$WORK/pw-start.log")"; PIDS+=("${BENCH_PIDS[@]}"); exit 77; }
  PIDS+=("${BENCH_PIDS[@]}")
}
# start_on_pulse PROGRAM ANALYZE [NAME=VALUE...]: a private server (need_pulse), a private X server,
# and the program on them (with NAME=VALUE in its environment) with its window shown ($ID) and settled.
start_on_pulse() {
  PROGRAM=$1 ANALYZE=$2
  setup_dirs
  need_pulse
  start_xvfb
  start "$MAIN" env "${@:3}" "$PROGRAM"
  sleep 1
}
press_start() { xdotool mousemove --window "$ID" 668 463 click 1; } # the START/STOP button
record() { # record FILE: records what the sink plays, in the background as $RECORDER
  parec -d metronom.monitor --format=s16le --rate=44100 --channels=2 --latency-msec=10 --file-format=wav "$1" &
  RECORDER=$!; PIDS+=("$RECORDER")
}
# listen SECONDS LEAST ARGS...: records the sink for SECONDS while the program ($PID) plays and
# analyses it ($ANALYZE with ARGS); fails when the program ended, beats were lost or doubled or fewer
# than LEAST found. The report in REPORT, its status in STATUS, the beats found in BEATS.
listen() {
  record "$WORK/rec.wav"; sleep "$1"
  kill $RECORDER 2>/dev/null; wait $RECORDER 2>/dev/null
  kill -0 "$PID" 2>/dev/null || fail "the program ended: $(cat "$WORK/out")"
  STATUS=0; REPORT=$("$ANALYZE" "$WORK/rec.wav" "${@:3}") || STATUS=$?
  [ $STATUS -ne 2 ] || fail "beats lost or doubled: $REPORT"
  BEATS=$(awk '/beats found/ {print $3}' <<<"$REPORT")
  [ "${BEATS:-0}" -ge "$2" ] || fail "only ${BEATS:-0} beats in $1 s: $REPORT"
}
