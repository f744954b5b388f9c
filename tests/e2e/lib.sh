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

# A private PulseAudio server (after setup_dirs): skipped (77) where it is not installed.
need_pulse() {
  for tool in pulseaudio parec pactl; do command -v $tool >/dev/null || { echo "$tool is not installed"; exit 77; }; done
  export HOME=$WORK PULSE_RUNTIME_PATH=$WORK/pulse
  unset SDL_AUDIODRIVER PULSE_SERVER
  trap 'pulseaudio --kill 2>/dev/null; cleanup' EXIT
}
start_pulse() { # start_pulse SINK: the server with a null sink of that name as its default
  pulseaudio -n --daemonize=yes --exit-idle-time=-1 --log-target=stderr --log-level=error \
    -L "module-null-sink sink_name=$1 rate=44100 channels=2" -L module-native-protocol-unix 2>>"$WORK/pulse.log" || return 1
  for _ in $(seq 50); do pactl info >/dev/null 2>&1 && break; sleep 0.1; done
  pactl set-default-sink "$1"
}
record() { # record SINK FILE: records what the sink plays, in the background as $RECORDER
  parec -d "$1.monitor" --format=s16le --rate=44100 --channels=2 --latency-msec=10 --file-format=wav "$2" &
  RECORDER=$!; PIDS+=("$RECORDER")
}
