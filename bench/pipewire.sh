# PipeWire as the sound server of the measuring scripts, in place of PulseAudio: PipeWire itself,
# WirePlumber (its session manager, on a private D-Bus) and pipewire-pulse (serving the PulseAudio
# protocol the program speaks), all in the private runtime folder of bench_setup.
#
# Every script that sources bench/lib.sh runs against PipeWire when BENCH_SERVER=pipewire:
#   BENCH_SERVER=pipewire bench/measure.sh
#   BENCH_SERVER=pipewire BENCH_RATE=48000 bench/sync.sh --fragments 20
# start_pulse then starts PipeWire: a null sink "metronom" at BENCH_RATE (44100 unless set), made by
# PipeWire itself (as a sound card would be, so it outlives a restart of pipewire-pulse), the
# default sink; the graph runs at that rate too (default.clock.rate), so nothing is resampled at
# 44100. restart_pipewire kills the three servers and starts them again, as
# `systemctl --user restart pipewire pipewire-pulse wireplumber` does on a desktop.
#
# Needs: apt-get install -y pipewire pipewire-pulse wireplumber pipewire-bin dbus pulseaudio-utils
# What it took headless (Debian 12, PipeWire 0.3.65, WirePlumber 0.4.13):
#   - WirePlumber ends at once without a session bus ("Cannot autolaunch D-Bus without X11
#     $DISPLAY"): a private dbus-daemon --session, its address in DBUS_SESSION_BUS_ADDRESS;
#   - XDG_RUNTIME_DIR private (the sockets pipewire-0 and pulse/native go there), HOME private (the
#     drop-in configuration below and WirePlumber's remembered default sink);
#   - PipeWire first, then WirePlumber and pipewire-pulse; pactl answers about 1 s later, and
#     set-default-sink says "Failure: Not supported" until WirePlumber has made its metadata;
#   - pactl has no kill-sink-input and pipewire-pulse no pacmd: a stream is dropped with
#     `pw-cli destroy ID`, ID the object.id that `pactl list sink-inputs` shows.
# BENCH_PULSE_DEBUG sets PIPEWIRE_DEBUG for pipewire-pulse (default mod.protocol-pulse:4, which
# logs the underruns; empty: warnings only). The graph's quantum (its block) is the smallest
# latency a node asks for: the recorder's 10 ms makes it 256 frames; with only the program's
# stream (it asks 120 ms) it is the largest allowed, 2048. pipewire-pulse's timing reports step by
# whole quanta and carry the time of the reply: bench/sync.sh's played-time line keeps fewer
# points than on PulseAudio.
# shellcheck shell=bash

BENCH_RATE=${BENCH_RATE:-44100}

# The tools a script asks for, PipeWire's in place of PulseAudio's daemon.
need_tools() {
  local tool
  for tool in "$@"; do
    [ "$tool" = pulseaudio ] && tool=pipewire-pulse
    command -v "$tool" >/dev/null || { echo "needs $tool (apt-get install -y xvfb xdotool pipewire pipewire-pulse wireplumber pipewire-bin dbus pulseaudio-utils)" >&2; exit 1; }
  done
  for tool in pipewire wireplumber dbus-daemon; do
    command -v "$tool" >/dev/null || { echo "needs $tool (apt-get install -y pipewire pipewire-pulse wireplumber pipewire-bin dbus)" >&2; exit 1; }
  done
}

# The null sink and the graph's rate, as a drop-in of PipeWire's own configuration.
pipewire_config() {
  mkdir -p "$WORK/.config/pipewire/pipewire.conf.d"
  cat >"$WORK/.config/pipewire/pipewire.conf.d/metronom.conf" <<EOF
context.properties = {
    default.clock.rate = $BENCH_RATE
    default.clock.allowed-rates = [ $BENCH_RATE ]
}
context.objects = [
    { factory = adapter
      args = {
          factory.name = support.null-audio-sink
          node.name = metronom
          node.description = "Metronom null sink"
          media.class = Audio/Sink
          audio.rate = $BENCH_RATE
          audio.channels = 2
          audio.position = [ FL FR ]
          monitor.channel-volumes = true
          object.linger = true
      }
    }
]
EOF
}

PIPEWIRE_PIDS=()
pipewire_servers() {
  # pipewire-pulse logs each underrun of a stream at debug level (mod.protocol-pulse:4).
  pipewire >>"$WORK/pipewire.log" 2>&1 &
  PIPEWIRE_PIDS=($!)
  for _ in $(seq 50); do [ -S "$XDG_RUNTIME_DIR/pipewire-0" ] && break; sleep 0.1; done
  wireplumber >>"$WORK/wireplumber.log" 2>&1 &
  PIPEWIRE_PIDS+=($!)
  PIPEWIRE_DEBUG=${BENCH_PULSE_DEBUG-mod.protocol-pulse:4} pipewire-pulse >>"$WORK/pulse.log" 2>&1 &
  PIPEWIRE_PIDS+=($!)
  BENCH_PIDS+=("${PIPEWIRE_PIDS[@]}")
  local i
  for i in $(seq 100); do
    pactl list short sinks 2>/dev/null | grep -q '^[0-9]*[[:space:]]metronom[[:space:]]' && break
    sleep 0.1
  done
  [ "$i" -lt 100 ] || { echo "PipeWire did not start: $(tail -5 "$WORK/pipewire.log" "$WORK/wireplumber.log" "$WORK/pulse.log")" >&2; return 1; }
  # "Failure: Not supported" until WirePlumber has made the metadata that holds the default.
  for i in $(seq 50); do
    pactl set-default-sink metronom 2>/dev/null && pactl info | grep -q '^Default Sink: metronom$' && return 0
    sleep 0.1
  done
  echo "PipeWire: metronom is not the default sink: $(pactl info | grep 'Default Sink')" >&2
  return 1
}

start_pipewire() {
  local bus
  unset PULSE_RUNTIME_PATH PULSE_SERVER
  bus=$(dbus-daemon --session --fork --print-address=1 --print-pid=1) || return 1
  export DBUS_SESSION_BUS_ADDRESS=${bus%%$'\n'*}
  BENCH_PIDS=("${bus##*$'\n'}" "${BENCH_PIDS[@]}") # ended last
  export XDG_CONFIG_HOME=$WORK/.config
  pipewire_config
  : >"$WORK/pulse.log"
  pipewire_servers
}
start_pulse() { start_pipewire; }

# Kills pipewire-pulse, WirePlumber and PipeWire (signal $1, TERM unless given) and starts them again.
restart_pipewire() {
  local i
  for ((i = ${#PIPEWIRE_PIDS[@]} - 1; i >= 0; i--)); do kill "-${1:-TERM}" "${PIPEWIRE_PIDS[i]}" 2>/dev/null || true; done
  for i in "${PIPEWIRE_PIDS[@]}"; do wait "$i" 2>/dev/null || true; done
  pipewire_servers
}

# Underruns: pipewire-pulse logs a line every cycle a stream is dry ("[D][SECONDS] ... [NAME] underrun
# read:"); a stream's lines less than 0.1 s apart are one underrun.
pulse_underruns() {
  tail -n +"$(($1 + 1))" "$WORK/pulse.log" |
    awk '/\] underrun read:/ {
           t = substr($1, 5) + 0; name = $0; sub(/.*\]: \[/, "", name); sub(/\] underrun.*/, "", name)
           if (!(name in last) || t - last[name] > 0.1) n++
           last[name] = t
         }
         END { print n + 0 }'
}

# Records the sink's monitor at the sink's own rate (BENCH_RATE), so nothing is resampled.
start_recorder() {
  parec -d metronom.monitor --format=s16le --rate="$BENCH_RATE" --channels=2 --latency-msec=10 \
    --file-format=wav "$1" &
  RECORDER=$!
  BENCH_PIDS+=("$RECORDER")
}

# Records the sink's monitor natively (build/pw_recorder, in $build): WAV $1, block log $2, asking
# for a cycle of $3 frames; "raw" as $4 logs on Link's clock. PW_RECORDER is its process. The
# caller's $build, and $rt (a command that runs it at real-time priority, if any).
# shellcheck disable=SC2154
start_pw_recorder() {
  local clock=()
  [ "${4:-}" = raw ] && clock=(--clock raw)
  ${rt[@]+"${rt[@]}"} "$build/pw_recorder" --target metronom --wav "$1" --log "$2" --rate "$BENCH_RATE" --latency "$3" \
    ${clock[@]+"${clock[@]}"} 2>"$WORK/pw_recorder.err" &
  PW_RECORDER=$!
  BENCH_PIDS+=("$PW_RECORDER")
  for _ in $(seq 100); do grep -q pw_recorder <(pw-cli ls Node 2>/dev/null) && return 0; sleep 0.05; done
  echo "pw_recorder did not start: $(cat "$WORK/pw_recorder.err")" >&2
  return 1
}
# Its block log (FRAME NOW_NS FRAMES) as timing reports FIT_PLAYED_AWK reads (frame FRAME played at
# NOW_NS less one cycle: a null sink's monitor passes each block a cycle late while reporting no delay;
# taken off here only, never in the program, as a real device reports its delay).
pw_blocks_as_reports() {
  awk -v rate="$BENCH_RATE" '{ printf "0 0 0 0 %d %.0f\n", $1 + 1, $2 - $3 * 1e9 / rate }' "$1"
}
# The clicks of such a recording ($BENCH_RECORDING) into $WORK/onsets, one frame a line: the first
# frame above 1000 after 20 ms without one (as tools/sink_grid.py finds them). analyze_beats looks
# for the step a sound starts with, which the graph's resampler (44100 to the sink's rate) spreads
# over a few frames with a ringing before it, and would miss some.
find_sink_clicks() {
  python3 -c 'import array, sys, wave
w = wave.open(sys.argv[1]); d = array.array("h", w.readframes(w.getnframes()))
quiet, loud = w.getframerate() // 50, -10**9
for i in range(0, len(d), 2):
    if max(abs(d[i]), abs(d[i + 1])) >= 1000:
        if i // 2 - loud >= quiet: print(i // 2)
        loud = i // 2' "$BENCH_RECORDING" >"$WORK/onsets"
  [ -s "$WORK/onsets" ] || { echo "no clicks in the recording" >&2; exit 1; }
}

# The object id of the node named $1; a null sink named $1 made (as a card would be: it outlives
# pw-cli); the sink "metronom" destroyed while streams play to it (they go where the session manager
# puts them) and made again, the default, $1 seconds later.
pw_node_id() { pw-cli ls Node | awk -v n="$1" '/^\tid / { id = $2; sub(",", "", id) } $0 ~ "node.name = \"" n "\"" { print id }'; }
make_null_sink() {
  pw-cli create-node adapter "{ factory.name=support.null-audio-sink node.name=$1 media.class=Audio/Sink
    audio.rate=$BENCH_RATE audio.channels=2 audio.position=[FL FR] object.linger=true }" >/dev/null
}
sink_gone_and_back() {
  pw-cli destroy "$(pw_node_id metronom)" >/dev/null || return 1
  sleep "$1"
  make_null_sink metronom
  sleep 0.3
  pactl set-default-sink metronom
}
