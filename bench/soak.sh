#!/usr/bin/env bash
# A long run of the real program with busy hands: the weight dragged to the fastest tempo, START,
# then over and over the presets switched ("Normal", "Kick", "Rhythmus"), lamps clicked, the beats
# slider dragged and, once a run, the tempo slider dragged (it keeps the tempo between 240 and 250);
# STOP, a pause, and again. The whole sound is recorded; afterwards no beat may be missing or
# doubled, and the program's memory must stay flat.
#
# Usage: bench/soak.sh [--minutes N | --seconds N] [--driver pulse|disk] [--max-growth KIB]
#                      [--build DIR] [--program FILE --analyze FILE] [--keep DIR]
#   --driver pulse  (default) a private PulseAudio server with a null sink, its monitor recorded;
#   --driver disk   SDL's disk driver writes the stream to a file (no sound server needed).
#   --max-growth K  fails when the resident memory grew by more than K KiB from the end of the
#                   first run (every sound loaded once) to the end (not checked in sanitizer
#                   builds, whose allocator keeps freed memory on purpose).
# Exit status: 0 all well, 1 the program ended or could not be driven, 2 beats lost or doubled,
# 3 the tempo played was not the tempo set, 5 memory grew too much.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
. "$here/bench/lib.sh"
build=$here/build
program="" analyze=""
seconds=1800
driver=pulse
max_growth=""
BENCH_KEEP=""
while [ $# -gt 0 ]; do
  case $1 in
    --minutes) seconds=$(awk -v m="$2" 'BEGIN { printf "%d", m * 60 }'); shift 2 ;;
    --seconds) seconds=$2; shift 2 ;;
    --driver) driver=$2; shift 2 ;;
    --max-growth) max_growth=$2; shift 2 ;;
    --build) build=$2; shift 2 ;;
    --program) program=$2; shift 2 ;;
    --analyze) analyze=$2; shift 2 ;;
    --keep) BENCH_KEEP=$(cd "$2" && pwd); shift 2 ;;
    *) echo "unknown option $1" >&2; exit 1 ;;
  esac
done
program=${program:-$build/metronom}
analyze=${analyze:-$build/analyze_beats}
[ -x "$analyze" ] || { echo "build $analyze first" >&2; exit 1; }

bench_setup
case $driver in
  pulse)
    need_tools Xvfb xdotool pulseaudio parec pactl
    start_pulse || { echo "PulseAudio does not start" >&2; exit 1; }
    BENCH_RECORDING=$WORK/recording.wav
    start_recorder "$BENCH_RECORDING"
    choose_output # the program's own PulseAudio stream
    raw=()
    ;;
  disk)
    need_tools Xvfb xdotool
    BENCH_RECORDING=$WORK/sound.raw
    export SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=$BENCH_RECORDING
    raw=(--raw-float)
    ;;
  *) echo "unknown driver $driver" >&2; exit 1 ;;
esac
start_xvfb
start_program "$program"
sleep 1
alive() { kill -0 "$PROGRAM_PID" 2>/dev/null || { echo "FAIL: the program ended: $(cat "$WORK/program.out")" >&2; exit 1; }; }

# A run plays about 12 s; between runs the pendulum rests 2.5 s (and the weight is dragged).
run_seconds=12
rounds=(Normal Kick Rhythmus)
runs=0 presets=0 lamps=0 beats_drags=0 tempo_drags=0
rss_first="" rss_warm="" rss_max=0 rss_runs=()
started=$(date +%s)
c0=$(cpu_ticks); t0=$(date +%s%N)
[ "$driver" = pulse ] && log0=$(pulse_log_lines)
RANDOM=7
while :; do
  # At rest: the weight to the bottom, the fastest tempo.
  drag_weight 296
  start_stop # START
  runs=$((runs + 1))
  [ -n "$rss_first" ] || rss_first=$(rss_kib)
  run_end=$(( $(date +%s) + run_seconds ))
  moved_tempo=0
  while [ "$(date +%s)" -lt "$run_end" ]; do
    choose_preset "${rounds[presets % 3]}"; presets=$((presets + 1))
    toggle_lamp $((RANDOM % 2 + 1)) $((RANDOM % (FADER2 + 1) + 1)); lamps=$((lamps + 1))
    drag_fader2 $((RANDOM % 8)); beats_drags=$((beats_drags + 1))
    if [ $moved_tempo -eq 0 ] && [ $(( run_end - $(date +%s) )) -le $((run_seconds / 3)) ]; then
      drag_fader1 $((239 + RANDOM % 11)); tempo_drags=$((tempo_drags + 1))
      # The weight follows the tempo: its top for tempos 22..275 is (12 * tempo + 5) / 11.
      WEIGHT_TOP=$(( (12 * BPM + 5) / 11 ))
      moved_tempo=1
    fi
    sleep 0.3
  done
  start_stop # STOP
  alive
  rss=$(rss_kib)
  rss_runs+=("$rss")
  [ "$rss" -gt "$rss_max" ] && rss_max=$rss
  [ $runs -eq 1 ] && rss_warm=$rss
  [ $(( $(date +%s) - started )) -ge "$seconds" ] && break
  sleep 2.5
done
c1=$(cpu_ticks); t1=$(date +%s%N)
rss_end=$(rss_kib); hwm=$(hwm_kib)
underruns=n/a
[ "$driver" = pulse ] && underruns=$(pulse_underruns "$log0")
sleep 1.5 # the last sounds
[ "$driver" = pulse ] && stop_recorder
alive
# SIGTERM closes the window and the program ends with status 0; anything else is a crash or an
# error report (in a sanitizer build, a leak found at the end too).
kill -TERM "$PROGRAM_PID"
status=0; wait "$PROGRAM_PID" || status=$?
[ $status -eq 0 ] || { echo "FAIL: the program ended with status $status on SIGTERM: $(cat "$WORK/program.out")" >&2; exit 1; }
# In sanitizer builds: any report the program wrote fails the soak.
if grep -q -E 'Sanitizer|runtime error:' "$WORK/program.out"; then
  echo "FAIL: sanitizer report: $(cat "$WORK/program.out")" >&2
  exit 1
fi

growth=$((rss_end - rss_warm))
echo "driver                 $driver"
echo "played                 $(( $(date +%s) - started )) s in $runs runs (START to STOP)"
echo "tempo                  271 from the weight; the tempo slider moved it within 240..250 once a run"
echo "hands                  $presets presets, $lamps lamps, $beats_drags beats-slider drags, $tempo_drags tempo-slider drags"
echo "CPU                    $(cpu_share "$c0" "$c1" "$t0" "$t1") % of one core over the whole soak"
echo "memory                 resident $((rss_first / 1024)) MiB at the first START, $((rss_warm / 1024)) MiB after the first run, $((rss_end / 1024)) MiB at the end (largest between runs $((rss_max / 1024)) MiB, peak $((hwm / 1024)) MiB)"
echo "memory growth          $growth KiB from the end of the first run to the end"
n=${#rss_runs[@]}
quarters=""
for q in 1 2 3 4; do
  i=$((q * n / 4)); [ $i -ge 1 ] || i=1
  quarters+="$(awk -v k="${rss_runs[i - 1]}" 'BEGIN { printf "%.1f", k / 1024 }') MiB after run $i, "
done
echo "memory by quarter      ${quarters%, }"
echo "server underruns       $underruns (the program's stream ran dry)"
result=0
report=$("$analyze" "$BENCH_RECORDING" "${raw[@]}" --bpm-range 240:271 --pause 2) || result=$?
echo "$report"
found=$(awk '/^runs found/ {print $3}' <<<"$report")
if [ "$found" != "$runs" ]; then
  echo "FAIL: $runs runs played, $found found in the sound (beats missing for seconds?)" >&2
  [ $result -ne 0 ] || result=2
fi
if [ -n "$max_growth" ] && [ $result -eq 0 ]; then
  # grep reads all of ldd's list: with -q it would stop at the first match, and ldd, cut off, would
  # fail the pipe (pipefail) at random, so that a sanitizer build went unnoticed.
  if ldd "$program" 2>/dev/null | grep 'lib[at]san' >/dev/null; then
    echo "memory growth not checked: a sanitizer build"
  elif [ "$growth" -gt "$max_growth" ]; then
    echo "FAIL: memory grew by $growth KiB (more than $max_growth)" >&2
    result=5
  fi
fi
exit $result
