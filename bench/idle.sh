#!/usr/bin/env bash
# Measures what the program costs while it stands still: a private PulseAudio server (null sink)
# and X server (Xvfb), the program started, 3 s played (START, STOP), and then, after 2 s, its CPU
# time and its threads' wake-ups over --seconds while stopped.
#
# Usage: bench/idle.sh [--seconds 60] [--load N] [--sdl] [--build DIR]
# --sdl plays through SDL's PulseAudio backend instead of the program's own stream.
# CPU time is summed over the threads from their scheduler statistics (nanoseconds) and counted in
# the process's clock ticks; wake-ups are the threads' context switches.
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

# One line per thread: TID CPU_NS CONTEXT_SWITCHES.
thread_totals() {
  local t a b
  for t in /proc/"$PROGRAM_PID"/task/*; do
    read -r a _ <"$t/schedstat" 2>/dev/null || continue
    b=$(awk '/ctxt_switches/ { s += $2 } END { print s + 0 }' "$t/status" 2>/dev/null) || continue
    echo "${t##*/} $a $b"
  done
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
thread_totals >"$WORK/threads0"
c0=$(cpu_ticks)
t0=$(date +%s%N)
sleep "$seconds"
thread_totals >"$WORK/threads1"
c1=$(cpu_ticks)
t1=$(date +%s%N)
kill -0 "$PROGRAM_PID" 2>/dev/null || { echo "the program ended: $(cat "$WORK/program.out")" >&2; exit 1; }
# Threads that ended meanwhile (Qt's idle pool threads do) are left out of the fine figures; the
# clock ticks of the process count them.
awk -v span=$((t1 - t0)) -v ticks=$((c1 - c0)) -v hz="$(getconf CLK_TCK)" '
  NR == FNR { cpu0[$1] = $2; sw0[$1] = $3; next }
  { alive++; if ($1 in cpu0) { cpu += $2 - cpu0[$1]; sw += $3 - sw0[$1] } else { cpu += $2; sw += $3 } }
  END {
    printf "stopped for             %.1f s\n", span / 1e9
    printf "CPU while stopped       %.3f %% of one core (%.1f ms; %d clock ticks of 1/%d s: %.2f %%)\n", 100 * cpu / span, cpu / 1e6, ticks, hz, 100 * ticks / hz / (span / 1e9)
    printf "wake-ups                %.1f per second (context switches of its %d threads)\n", sw / (span / 1e9), alive
  }' "$WORK/threads0" "$WORK/threads1"
