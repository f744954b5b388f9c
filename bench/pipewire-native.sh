#!/usr/bin/env bash
# The program on a private PipeWire (bench/pipewire.sh, a null sink at 48 kHz) through its native
# stream or, for comparison, through pipewire-pulse: 120 BPM for --seconds, the sink's monitor
# recorded natively in the sink's own frames (build/pw_recorder), the clicks checked against the
# grid (tools/sink_grid.py), the CPU of the program, pipewire and pipewire-pulse while it plays.
#
# Usage: bench/pipewire-native.sh [--output pipewire|pulse] [--seconds N] [--load N] [--stops N]
#                                 [--quantum N] [--presses N [--stop-near MS]] [--sink gone|other|suspend]
#                                 [--build DIR]
#   --stops 20     the pipewire daemon stopped (SIGSTOP) for 7 ms, N times spread over the run
#   --quantum 256  the graph's cycle forced (pw-metadata clock.force-quantum); else the smallest
#                  latency a node asks for (the program's native stream: 512, the recorder 1024)
#   --presses 30   in place of one run: N times START, STOP at a random moment 0.6-2.0 s later, 0.8 s
#                  of rest; the presses sent and timed by tools/x11_press.py, each click after a STOP
#                  and the first after a START timed against them (tools/presses_vs_sink.py)
#   --stop-near MS each STOP instead MS + 500 k (k 1..3) plus -30..+10 ms after its START: with MS the
#                  time from START to its first click (as a run without it gave), the press comes
#                  within 30 ms before a click is due or just after, where STOP is put to the test
#   --sink gone    in place of one run, 3 s after START: the null sink destroyed (pw-cli destroy; the
#                  stream goes where the session manager puts it), made again 3.5 s later; "other":
#                  destroyed with a second null sink there; "suspend": suspended (pactl suspend-sink)
#                  for 3.5 s. A second recorder starts on the sink after the event; every click of both
#                  on CLOCK_MONOTONIC, the intervals that are not 500 ms and the grid kept or not
#                  (tools/sink_times.py), what the program said, whether it still runs
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
export BENCH_SERVER=pipewire BENCH_RATE=48000
. "$here/bench/lib.sh"
build=$here/build output=pipewire seconds=30 load=0 stops=0 quantum="" presses=0 near="" sink=""
while [ $# -gt 0 ]; do
  case $1 in
    --output) output=$2; shift 2 ;;
    --seconds) seconds=$2; shift 2 ;;
    --load) load=$2; shift 2 ;;
    --stops) stops=$2; shift 2 ;;
    --quantum) quantum=$2; shift 2 ;;
    --presses) presses=$2; shift 2 ;;
    --stop-near) near=$2; shift 2 ;;
    --sink) sink=$2; shift 2 ;;
    --build) build=$2; shift 2 ;;
    *) echo "unknown option $1" >&2; exit 1 ;;
  esac
done
need_tools Xvfb xdotool pulseaudio pactl pw-cli python3
bench_setup
BENCH_PULSE_DEBUG="" start_pulse || { echo "PipeWire does not start" >&2; exit 1; }
[ -z "$quantum" ] || pw-metadata -n settings 0 clock.force-quantum "$quantum" >/dev/null
"$build/pw_recorder" --target metronom --wav "$WORK/rec.wav" --log "$WORK/blocks.log" --latency 1024 \
  --seconds $((seconds + 20 + 3 * presses)) 2>"$WORK/rec.out" &
recorder=$!
BENCH_PIDS+=("$recorder")
start_xvfb
start_load "$load"
export METRONOM_OUTPUT=$output
start_program "$build/metronom"
sleep 1
if [ "$presses" -gt 0 ]; then
  xdotool mousemove --window "$WIN" $START_X $START_Y
  coproc PRESS { python3 "$here/tools/x11_press.py"; }
  press() { local t; echo "${2:-}" >&"${PRESS[1]}"; read -r t <&"${PRESS[0]}"; echo "$1 $t" >>"$WORK/presses.log"; }
  for ((i = 0; i < presses; i++)); do
    press start
    if [ -n "$near" ]; then
      press stop "$(awk -v r=$RANDOM -v k=$((1 + RANDOM % 3)) -v m="$near" 'BEGIN { printf "%.2f", m + 500 * k - 30 + 40 * r / 32768 }')"
    else
      sleep "$(awk -v r=$RANDOM 'BEGIN { printf "%.3f", 0.6 + 1.4 * r / 32768 }')"
      press stop
    fi
    sleep 0.8
  done
  kill -INT "$recorder"; wait "$recorder" 2>/dev/null || true
  echo "output $output, $presses times START and STOP at 120 BPM, load $load, quantum ${quantum:-not forced}"
  sed 's/^/  /' "$WORK/rec.out"
  python3 "$here/tools/presses_vs_sink.py" "$WORK/presses.log" "$WORK/rec.wav" "$WORK/blocks.log"
  exit
fi
if [ -n "$sink" ]; then
  event() { echo "$(date +%s%N | awk -v o="$(python3 -c 'import time; print(time.time_ns() - time.monotonic_ns())')" '{ print $1 - o }') $1" >>"$WORK/events"; }
  [ "$sink" = other ] && { make_null_sink other; sleep 0.5; }
  start_stop # START
  sleep 3
  case $sink in
    gone | other) event "sink destroyed"; pw-cli destroy "$(pw_node_id metronom)" >/dev/null ;;
    suspend) event "sink suspended"; pactl suspend-sink metronom 1 ;;
  esac
  sleep 3.5
  links=$(pw-link -l | awk '/^Metronom:/ { getline; print $2 }' | sort -u | tr '\n' ' ')
  case $sink in
    gone) event "sink made again"; make_null_sink metronom; sleep 0.3; pactl set-default-sink metronom ;;
    suspend) event "sink resumed"; pactl suspend-sink metronom 0 ;;
  esac
  sleep 0.3
  target=metronom
  [ "$sink" = other ] && target=other
  "$build/pw_recorder" --target $target --wav "$WORK/after.wav" --log "$WORK/after.log" --latency 1024 --seconds 30 2>/dev/null &
  after=$!
  BENCH_PIDS+=("$after")
  sleep 4
  running=yes
  kill -0 "$PROGRAM_PID" 2>/dev/null || running="NO, it ended"
  start_stop # STOP
  sleep 1
  kill -INT "$recorder" "$after"; wait "$recorder" "$after" 2>/dev/null || true
  echo "output $output, sink $sink while playing at 120 BPM; the stream went to: ${links:-nothing}; the program still runs: $running"
  sed 's/^/  program: /' "$WORK/program.out"
  [ -z "${BENCH_KEEP:-}" ] || cp "$WORK"/*.wav "$WORK"/*.log "$WORK/events" "$BENCH_KEEP/"
  python3 "$here/tools/sink_times.py" 500 "$WORK/events" "$WORK/rec.wav" "$WORK/blocks.log" "$WORK/after.wav" "$WORK/after.log"
  exit
fi
ticks() { local p s=0; for p in "$PROGRAM_PID" "${PIPEWIRE_PIDS[0]}" "${PIPEWIRE_PIDS[2]}"; do s=$((s + $(awk '{print $14 + $15}' "/proc/$p/stat"))); done; echo $s; }
start_stop # START
sleep 0.5
t0=$(ticks) n0=$(date +%s%N)
if [ "$stops" -gt 0 ]; then
  gap=$(awk -v s="$seconds" -v n="$stops" 'BEGIN {printf "%.3f", s / (n + 1)}')
  for ((i = 0; i < stops; i++)); do
    sleep "$gap"; kill -STOP "${PIPEWIRE_PIDS[0]}"; sleep 0.007; kill -CONT "${PIPEWIRE_PIDS[0]}"
  done
  sleep "$gap"
else
  sleep "$seconds"
fi
t1=$(ticks) n1=$(date +%s%N)
api=$(pw-dump | python3 "$here/tools/pw_node_api.py" Metronom | tr '\n' ' ')
start_stop # STOP
sleep 1
kill -INT "$recorder"; wait "$recorder" 2>/dev/null || true
echo "output $output (its node: ${api:-none}), ${seconds} s at 120 BPM, load $load, daemon stopped 7 ms $stops times, quantum ${quantum:-not forced}"
sed 's/^/  /' "$WORK/rec.out"
awk -v t="$((t1 - t0))" -v hz="$(getconf CLK_TCK)" -v ns="$((n1 - n0))" \
  'BEGIN {printf "  CPU while playing (program + pipewire + pipewire-pulse): %.2f %%\n", 100 * t / hz / (ns / 1e9)}'
grep -i "real-time\|PipeWire" "$WORK/program.out" | sed 's/^/  program: /' || true
python3 "$here/tools/sink_grid.py" "$WORK/rec.wav" "$WORK/blocks.log" 24000 --min-on 0 || true
