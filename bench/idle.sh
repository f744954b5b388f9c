#!/usr/bin/env bash
# Measures what the program costs while it stands still: a private PulseAudio server (null sink)
# and X server (Xvfb), the program started, 3 s played (START, STOP), and then, after 2 s, its CPU
# time and its threads' wake-ups over --seconds while stopped.
#
# Usage: bench/idle.sh [--seconds 60] [--load N] [--sdl] [--build DIR]
# --sdl plays through SDL's PulseAudio backend instead of the program's own stream.
# CPU time is summed over all threads from their scheduler statistics (nanoseconds); wake-ups are
# their context switches.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
. "$here/bench/lib.sh"
build=$here/build
seconds=60
load=0
while [ $# -gt 0 ]; do
  case $1 in
    --seconds) seconds=$2; shift 2 ;;
    --load) load=$2; shift 2 ;;
    --sdl) export BENCH_SDL=1; shift ;;
    --build) build=$2; shift 2 ;;
    *) echo "unknown option $1" >&2; exit 1 ;;
  esac
done
need_tools Xvfb xdotool pulseaudio pactl

# CPU nanoseconds and context switches of all the program's threads.
thread_totals() {
  local ns=0 switches=0 t a b
  for t in /proc/"$PROGRAM_PID"/task/*; do
    read -r a _ <"$t/schedstat" 2>/dev/null || continue
    b=$(awk '/ctxt_switches/ { s += $2 } END { print s + 0 }' "$t/status" 2>/dev/null) || b=0
    ns=$((ns + a)) switches=$((switches + b))
  done
  echo "$ns $switches"
}

bench_setup
start_pulse || { echo "PulseAudio does not start" >&2; exit 1; }
start_recorder "$WORK/recording.wav" # the sink running, as when something listens
start_xvfb
start_load "$load"
choose_output
start_program "$build/metronom"
sleep 1
start_stop # START
sleep 3
start_stop # STOP
sleep 2
read -r ns0 sw0 < <(thread_totals)
t0=$(date +%s%N)
sleep "$seconds"
read -r ns1 sw1 < <(thread_totals)
t1=$(date +%s%N)
kill -0 "$PROGRAM_PID" 2>/dev/null || { echo "the program ended: $(cat "$WORK/program.out")" >&2; exit 1; }
threads=$(ls /proc/"$PROGRAM_PID"/task | wc -l)
awk -v cpu=$((ns1 - ns0)) -v sw=$((sw1 - sw0)) -v span=$((t1 - t0)) -v threads="$threads" 'BEGIN {
  printf "stopped for             %.1f s\n", span / 1e9
  printf "CPU while stopped       %.3f %% of one core (%.1f ms)\n", 100 * cpu / span, cpu / 1e6
  printf "wake-ups                %.1f per second (context switches of its %d threads)\n", sw / (span / 1e9), threads
}'
