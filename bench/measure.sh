#!/usr/bin/env bash
# Measures the real program as a user runs it: a private X server (Xvfb) and a private PulseAudio
# server with a null sink at 44100 Hz, the program started, START clicked, the sink's monitor
# recorded, STOP clicked; then the beats in the recording are analysed and the program's CPU share
# and memory while running are reported.
#
# Usage: bench/measure.sh [--seconds N] [--steps BUTTON:COUNT ...] [--build DIR] [--keep DIR]
#   --steps ">>:13" clicks ">>" 13 times before START (buttons: "<<" "<" ">" ">>"), so the tempo
#   can be set the way a user sets it; the beats are checked against the tempo shown.
#   Exit status 2 when beats were lost or doubled.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=$here/build
seconds=20
steps=()
keep=""
while [ $# -gt 0 ]; do
  case $1 in
    --seconds) seconds=$2; shift 2 ;;
    --steps) steps+=("$2"); shift 2 ;;
    --build) build=$2; shift 2 ;;
    --keep) keep=$2; shift 2 ;;
    *) echo "unknown option $1" >&2; exit 1 ;;
  esac
done
for tool in Xvfb xdotool pulseaudio parec pactl; do
  command -v $tool >/dev/null || { echo "needs $tool (apt-get install -y xvfb xdotool pulseaudio pulseaudio-utils)" >&2; exit 1; }
done
[ -x "$build/analyze_beats" ] || { echo "build $build/analyze_beats first" >&2; exit 1; }

work=$(mktemp -d)
chmod 700 "$work"
pids=()
cleanup() {
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do kill "${pids[i]}" 2>/dev/null || true; done
  PULSE_RUNTIME_PATH=$work/pulse pulseaudio --kill 2>/dev/null || true
  [ -n "$keep" ] && cp "$work/recording.wav" "$keep/" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
export XDG_RUNTIME_DIR=$work HOME=$work PULSE_RUNTIME_PATH=$work/pulse

pulseaudio -n --daemonize=yes --exit-idle-time=-1 --log-target=stderr --log-level=error \
  -L "module-null-sink sink_name=metronom rate=44100 channels=2" -L module-native-protocol-unix
pactl set-default-sink metronom
# A reader with a short latency is attached before anything plays, so the idle sink is running.
parec -d metronom.monitor --format=s16le --rate=44100 --channels=2 --latency-msec=10 \
  --file-format=wav "$work/recording.wav" &
pids+=($!)

mkfifo "$work/fd"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/fd" 2>/dev/null &
pids+=($!)
read -r -t 20 display <"$work/fd"
export DISPLAY=":$display" QT_QPA_PLATFORM=xcb SDL_AUDIODRIVER=pulseaudio

started=$(date +%s%N)
"$build/metronom" &
program=$!
pids+=($program)
id=""
for _ in $(seq 300); do
  id=$(xdotool search --onlyvisible --name '^Lindoquet Metronome Vintra \(Preview Version\)$' 2>/dev/null | head -n1) || true
  [ -n "$id" ] && break
  sleep 0.01
done
[ -n "$id" ] || { echo "the window did not appear" >&2; exit 1; }
shown_ms=$(( ($(date +%s%N) - started) / 1000000 ))
sleep 1

click() { xdotool mousemove --window "$id" "$1" "$2" click 1; sleep 0.05; }
# Button centres in the window (pixels): "<<" "<" ">" ">>" and START/STOP.
declare -A button=(["<<"]="328 218" ["<"]="360 218" [">"]="496 218" [">>"]="528 218")
# The tempo shown follows the step rule: within 1..250, ">>" from 1 gives 10.
bpm=120
for step in "${steps[@]}"; do
  name=${step%%:*}; count=${step##*:}
  for _ in $(seq "$count"); do
    click ${button[$name]}
    case $name in
      "<") bpm=$((bpm - 1)) ;; ">") bpm=$((bpm + 1)) ;; "<<") bpm=$((bpm - 10)) ;;
      ">>") bpm=$((bpm + 10)); [ $bpm -eq 11 ] && bpm=10 ;;
    esac
    [ $bpm -lt 1 ] && bpm=1; [ $bpm -gt 250 ] && bpm=250
  done
done

ticks() { awk '{print $14 + $15}' "/proc/$program/stat"; }
hz=$(getconf CLK_TCK)
click 668 463 # START
t0=$(date +%s%N); c0=$(ticks)
sleep "$seconds"
c1=$(ticks); t1=$(date +%s%N)
rss=$(awk '/VmRSS/ {print $2}' "/proc/$program/status")
hwm=$(awk '/VmHWM/ {print $2}' "/proc/$program/status")
click 668 463 # STOP
sleep 1.5 # the recorder's last buffers
kill "${pids[0]}"; wait "${pids[0]}" 2>/dev/null || true

cpu=$(awk -v c=$((c1 - c0)) -v hz="$hz" -v ns=$((t1 - t0)) 'BEGIN { printf "%.1f", 100 * c / hz / (ns / 1e9) }')
echo "tempo shown             $bpm"
echo "window shown after      ${shown_ms} ms"
echo "CPU while running       ${cpu} % of one core"
echo "memory while running    $((rss / 1024)) MiB resident, peak $((hwm / 1024)) MiB"
"$build/analyze_beats" "$work/recording.wav" --bpm "$bpm"
