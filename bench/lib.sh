# Shared by the measuring scripts: a private X server, a private PulseAudio server with a null sink
# and a recorder on its monitor, the program, and the hands of a user (xdotool) on its window.
# shellcheck shell=bash
. "$(dirname "${BASH_SOURCE[0]}")/../tools/xvfb.sh"

# Places in the window (pixels of its 790 x 509 client area).
START_X=668 START_Y=463                     # START/STOP
declare -A STEP_BUTTON=(["<<"]="328 218" ["<"]="360 218" [">"]="496 218" [">>"]="528 218")
WEIGHT_X=152                                 # the weight's centre; its top is 24..296
PRESET_X=498 PRESET_Y=366                    # the presets combo box
PRESETS=(Normal Kick Rhythmus Long Englisch Computer)
FACE_X=154 FACE_Y=480                        # a spot of the wooden case (drags the window)
FADER_LEFT=320 FADER1_Y=264 FADER2_Y=332     # the tempo slider and the beats slider

# The state the window is in, as the hands below leave it.
BPM=120          # the tempo shown
WEIGHT_TOP=131   # the weight's top edge
FADER2=3         # beats per cycle - 1
TEMPOS=(120)     # the tempos played since START, in order

BENCH_PIDS=()
bench_cleanup() {
  local i
  for ((i = ${#BENCH_PIDS[@]} - 1; i >= 0; i--)); do kill "${BENCH_PIDS[i]}" 2>/dev/null || true; done
  [ -n "${PULSE_RUNTIME_PATH:-}" ] && pulseaudio --kill 2>/dev/null
  [ -n "${BENCH_KEEP:-}" ] && [ -n "${BENCH_RECORDING:-}" ] && cp "$BENCH_RECORDING" "$BENCH_KEEP/" 2>/dev/null
  # The server leaves its runtime folder a moment after it is asked to end: try again briefly.
  if [ -n "${WORK:-}" ]; then
    for _ in $(seq 30); do rm -rf "$WORK" 2>/dev/null && break; sleep 0.1; done
  fi
  return 0
}

# A private scratch folder, also the runtime folder of the program (its lock), of PulseAudio and X.
bench_setup() {
  WORK=$(mktemp -d)
  chmod 700 "$WORK"
  export XDG_RUNTIME_DIR=$WORK HOME=$WORK
  trap bench_cleanup EXIT
}

need_tools() {
  local tool
  for tool in "$@"; do
    command -v "$tool" >/dev/null || { echo "needs $tool (apt-get install -y xvfb xdotool pulseaudio pulseaudio-utils)" >&2; exit 1; }
  done
}

# PulseAudio with a null sink "metronom" at 44100 Hz, the default sink.
start_pulse() {
  export PULSE_RUNTIME_PATH=$WORK/pulse
  # Debug messages go to a file: they tell the underruns of the program's stream (few lines).
  pulseaudio -n --daemonize=yes --exit-idle-time=-1 --log-target="file:$WORK/pulse.log" --log-level=debug \
    -L "module-null-sink sink_name=metronom rate=44100 channels=2" -L module-native-protocol-unix || return 1
  for _ in $(seq 50); do pactl info >/dev/null 2>&1 && break; sleep 0.1; done
  pactl set-default-sink metronom
}

# How many times a stream ran dry in the sound server (the program delivered a block too late),
# counted from line $1 of its log on: the server logs the start of each ("Implicit underrun of").
pulse_log_lines() { wc -l <"$WORK/pulse.log"; }
pulse_underruns() { tail -n +"$(($1 + 1))" "$WORK/pulse.log" | grep -c "underrun of '" || true; }

# Records the sink's monitor into the WAV file $1 (16-bit stereo). A reader with a short latency
# is attached before anything plays, so the idle sink is running.
start_recorder() {
  parec -d metronom.monitor --format=s16le --rate=44100 --channels=2 --latency-msec=10 \
    --file-format=wav "$1" &
  RECORDER=$!
  BENCH_PIDS+=("$RECORDER")
}
stop_recorder() {
  kill "$RECORDER" 2>/dev/null
  wait "$RECORDER" 2>/dev/null || true
}

# Keeps $1 processes busy until the run ends (stress-ng, or shell loops without it).
start_load() {
  local n=$1 i
  [ "$n" -gt 0 ] || return 0
  if command -v stress-ng >/dev/null; then
    stress-ng --cpu "$n" --quiet &
    BENCH_PIDS+=($!)
  else
    for ((i = 0; i < n; i++)); do
      (while :; do :; done) &
      BENCH_PIDS+=($!)
    done
  fi
}

# The sound output: the program's own choice (its PulseAudio stream where a server answers), or
# with BENCH_SDL=1 SDL's PulseAudio backend (SDL_AUDIODRIVER makes the program use SDL only).
choose_output() {
  if [ -n "${BENCH_SDL:-}" ]; then export SDL_AUDIODRIVER=pulseaudio; else unset SDL_AUDIODRIVER; fi
}

# The program's stream as the server sees it: its name, what it buffers and the sink's latency.
stream_info() {
  pactl list sink-inputs | awk -F': |= ' '
    /Buffer Latency:/ { buffer = $2 / 1000 }
    /Sink Latency:/ { sink = $2 / 1000 }
    /media.name =/ { name = $2 }
    END { printf "%s, buffer %.1f ms, sink %.1f ms\n", name, buffer, sink }'
}

start_xvfb() {
  open_display "$WORK/xvfb.log" || { echo "Xvfb did not start: $(cat "$WORK/xvfb.log")" >&2; exit 1; }
  BENCH_PIDS+=("$XVFB_PID")
  export QT_QPA_PLATFORM=xcb
}
# An X server big enough for the window at twice its size, with a window manager (start_window_manager).
start_desktop() {
  export XVFB_SCREEN=1700x1100x24
  start_xvfb
  start_window_manager
}

# A window manager (openbox) on the private X server: it minimizes windows and has workspaces.
start_window_manager() {
  openbox --sm-disable >"$WORK/openbox.log" 2>&1 &
  BENCH_PIDS+=($!)
  for _ in $(seq 100); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && return 0
    sleep 0.05
  done
  echo "openbox did not start: $(cat "$WORK/openbox.log")" >&2
  exit 1
}

# Starts the program $1 and waits for its window: PROGRAM_PID, WIN and SHOWN_MS (from the start of
# the process to the window being mapped).
start_program() {
  local started
  started=$(date +%s%N)
  "$@" >"$WORK/program.out" 2>&1 &
  PROGRAM_PID=$!
  BENCH_PIDS+=("$PROGRAM_PID")
  find_window '^Lindoquet Metronome Vintra \(Preview Version\)$' 1000 0.01
  SHOWN_MS=$(( ($(date +%s%N) - started) / 1000000 ))
}
# find_window NAME TRIES PAUSE [any]: waits for the program's ($PROGRAM_PID) visible window named
# NAME (a pattern) as WIN, looking TRIES times PAUSE seconds apart; ends the script when it does not
# come. With "any", the last window of that name, visible or not (xdotool does not count a bare
# QWidget's window as visible).
find_window() {
  local only=--onlyvisible pick=head
  [ "${4:-}" = any ] && only="" pick=tail
  WIN=""
  for _ in $(seq "$2"); do
    # shellcheck disable=SC2086
    WIN=$(xdotool search $only --name "$1" 2>/dev/null | $pick -n1) || true
    [ -n "$WIN" ] && return 0
    kill -0 "$PROGRAM_PID" 2>/dev/null || { echo "the program ended: $(cat "$WORK/program.out")" >&2; exit 1; }
    sleep "$3"
  done
  echo "the window did not appear" >&2
  exit 1
}

click() { xdotool mousemove --window "$WIN" "$1" "$2" click 1; sleep 0.05; }
start_stop() { click $START_X $START_Y; }

# Drags from ($1,$2) to ($3,$4) in window pixels with the left button, in steps of about 4 pixels.
drag() {
  local x0=$1 y0=$2 x1=$3 y1=$4 n i
  local dx=$((x1 - x0)) dy=$((y1 - y0))
  n=$(( (${dx#-} > ${dy#-} ? ${dx#-} : ${dy#-}) / 4 + 1 ))
  xdotool mousemove --window "$WIN" "$x0" "$y0" mousedown 1
  for ((i = 1; i <= n; i++)); do
    xdotool mousemove --window "$WIN" $((x0 + dx * i / n)) $((y0 + dy * i / n))
    sleep 0.01
  done
  xdotool mouseup 1
  sleep 0.05
}

# The tempo rule of the step buttons: "<" -1, ">" +1, "<<" -10, ">>" +10 (from 1 to 10), within 1..250.
step_tempo() {
  case $1 in
    "<") BPM=$((BPM - 1)) ;; ">") BPM=$((BPM + 1)) ;; "<<") BPM=$((BPM - 10)) ;;
    ">>") BPM=$((BPM + 10)); [ $BPM -eq 11 ] && BPM=10 ;;
  esac
  [ $BPM -lt 1 ] && BPM=1
  [ $BPM -gt 250 ] && BPM=250
  return 0
}

# Clicks step button $1 $2 times ("<<" "<" ">" ">>").
press_steps() {
  local name=$1 count=$2
  for _ in $(seq "$count"); do
    click ${STEP_BUTTON[$name]}
    step_tempo "$name"
  done
  TEMPOS+=("$BPM")
}

# Drags the weight (only while the pendulum rests) to top $1 (24 slowest .. 296 fastest); the tempo
# shown is then round(0.9166 * top - 0.05).
drag_weight() {
  local top=$1
  drag $WEIGHT_X $((WEIGHT_TOP + 16)) $WEIGHT_X $((top + 16))
  WEIGHT_TOP=$top
  BPM=$(awk -v t="$top" 'BEGIN { printf "%d", int(0.9166 * t - 0.05 + 0.5) }')
  TEMPOS=("$BPM")
}

# Chooses preset $1 with the mouse and the popup's keys (Home, Down..., Return).
choose_preset() {
  local i keys=(Home)
  for ((i = 0; i < ${#PRESETS[@]}; i++)); do
    [ "${PRESETS[i]}" = "$1" ] && break
    keys+=(Down)
  done
  [ $i -lt ${#PRESETS[@]} ] || { echo "no preset $1" >&2; exit 1; }
  click $PRESET_X $PRESET_Y
  sleep 0.2
  xdotool key "${keys[@]}" Return
  sleep 0.05
}

# Clicks lamp $2 (1..8) of row $1 (1 upper: accent 1, 2 lower: accent 2).
toggle_lamp() {
  click $((331 + 28 * ($2 - 1))) $(($1 == 1 ? 397 : 442))
}

# Drags the button of the tempo slider to value $1 (0..249: tempo value + 1) or of the beats
# slider to value $1 (0..7: beats per cycle - 1). The button follows the pointer.
drag_fader1() {
  local from to
  from=$(( FADER_LEFT + 15 + (BPM > 250 ? 249 : BPM - 1) * 190 / 249 ))
  to=$(( FADER_LEFT + 15 + ($1 * 190 + 124) / 249 ))
  drag "$from" $FADER1_Y "$to" $FADER1_Y
  BPM=$(($1 + 1))
  TEMPOS+=("$BPM")
}
drag_fader2() {
  drag $((FADER_LEFT + 15 + FADER2 * 190 / 7)) $FADER2_Y $((FADER_LEFT + 15 + ($1 * 190 + 3) / 7)) $FADER2_Y
  FADER2=$1
}

# Drags the window around by its wooden case for $1 seconds, in circles of 60 pixels.
drag_window() {
  local end x y
  end=$(( $(date +%s%N) + $1 * 1000000000 ))
  xdotool mousemove --window "$WIN" $FACE_X $FACE_Y mousedown 1
  eval "$(xdotool getmouselocation --shell)"
  local cx=$X cy=$Y a=0
  while [ "$(date +%s%N)" -lt "$end" ]; do
    a=$(( (a + 10) % 360 ))
    read -r x y < <(awk -v a="$a" -v cx="$cx" -v cy="$cy" 'BEGIN { r = 60; printf "%d %d\n", cx + r * sin(a * 3.14159265 / 180), cy - r + r * cos(a * 3.14159265 / 180) }')
    xdotool mousemove "$x" "$y"
    sleep 0.02
  done
  xdotool mousemove "$cx" "$cy" mouseup 1
  sleep 0.05
}

# The program's CPU time in clock ticks, and its memory in KiB (resident now and its peak).
cpu_ticks() { awk '{print $14 + $15}' "/proc/$PROGRAM_PID/stat"; }
rss_kib() { awk '/VmRSS/ {print $2}' "/proc/$PROGRAM_PID/status"; }
hwm_kib() { awk '/VmHWM/ {print $2}' "/proc/$PROGRAM_PID/status"; }
# Percent of one core from ticks $1..$2 over nanoseconds $3..$4.
cpu_share() {
  awk -v c=$(($2 - $1)) -v hz="$(getconf CLK_TCK)" -v ns=$(($4 - $3)) 'BEGIN { printf "%.1f", 100 * c / hz / (ns / 1e9) }'
}

# The clicks build/analyze_beats finds in $BENCH_RECORDING at $1 bpm: their frames, one a line, in
# $WORK/onsets (a doubled beat is no click); ends the script when there are none. $build: the
# caller's build folder.
find_clicks() {
  "$build/analyze_beats" "$BENCH_RECORDING" --bpm "$1" --list >"$WORK/beats.txt" || true
  awk '/^beat / && !/doubled/ { print $4 }' "$WORK/beats.txt" >"$WORK/onsets"
  [ -s "$WORK/onsets" ] || { echo "no clicks in the recording" >&2; cat "$WORK/beats.txt" >&2; exit 1; }
}

# The time each recorded frame was played at the sink, from build/monitor_recorder's timing reports:
# awk functions that a script's awk program begins with. The caller fills n, f[1..n] (frames) and
# t[1..n] (nanoseconds) from the log, then calls fit_played(): a straight line through all points,
# again without those more than 1 ms off it, then without those more than 0.5 ms off that (late
# reports), so the sink's own rate is fitted. After it, played(frame) is that frame's time (ns),
# fitUsed the points kept, fitSd and fitWorst their scatter about the line (ns), slope ns per frame.
# A raw report (columns QUEUED PLAYED_NS, QUEUED > 0) is read by read_report($0 fields) as a point.
# shellcheck disable=SC2016,SC2034
FIT_PLAYED_AWK='
  function read_report() { if (NF >= 6 && $5 > 0) { n++; f[n] = $5 - 1; t[n] = $6; return 1 } return 0 }
  function fit_once(   i, sf, st, sff, sft, k, d) {
    k = 0; sf = st = sff = sft = 0
    for (i = 1; i <= n; i++) if (use[i]) { d = f[i] - f[1]; sf += d; st += t[i] - t[1]; sff += d * d; sft += d * (t[i] - t[1]); k++ }
    slope = (k * sft - sf * st) / (k * sff - sf * sf); icept = (st - slope * sf) / k; fitUsed = k
  }
  function played(frame) { return t[1] + icept + slope * (frame - f[1]) }
  function fit_played(   i, r) {
    for (i = 1; i <= n; i++) use[i] = 1
    fit_once()
    for (i = 1; i <= n; i++) use[i] = (t[i] - played(f[i]) < 1e6 && played(f[i]) - t[i] < 1e6)
    fit_once()
    for (i = 1; i <= n; i++) use[i] = (t[i] - played(f[i]) < 0.5e6 && played(f[i]) - t[i] < 0.5e6)
    fit_once()
    fitSd = 0; fitWorst = 0
    for (i = 1; i <= n; i++) if (use[i]) { r = t[i] - played(f[i]); fitSd += r * r; if (r < 0) r = -r; if (r > fitWorst) fitWorst = r }
    fitSd = sqrt(fitSd / fitUsed)
  }
'

# BENCH_SERVER=pipewire: PipeWire with pipewire-pulse in place of PulseAudio (bench/pipewire.sh).
if [ "${BENCH_SERVER:-pulseaudio}" = pipewire ]; then
  . "$(dirname "${BASH_SOURCE[0]}")/pipewire.sh"
fi
