#!/usr/bin/env bash
# Measures what the program costs while it stands still: a private PulseAudio server (null sink)
# and X server (Xvfb), the program started, 3 s played (START, STOP), and then, after 2 s (with
# --driver 7 s), its CPU time and its threads' wake-ups over --seconds while stopped.
#
# Usage: bench/idle.sh [--seconds 60] [--load N] [--sdl | --driver NAME] [--build DIR]
# --sdl plays through SDL's PulseAudio backend instead of the program's own stream.
# --driver NAME runs without a sound server, on SDL's driver NAME (dummy, disk); afterwards START
#   once more shows that the beats come again (dummy: the pendulum swings; disk: the file the
#   driver writes has the beats of both runs).
# CPU time is summed over the threads from their scheduler statistics (nanoseconds) and counted in
# the process's clock ticks; wake-ups are the threads' context switches, also shown for each thread.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
. "$here/bench/lib.sh"
build=$here/build
seconds=60
load=0
driver=""
while [ $# -gt 0 ]; do
  case $1 in
    --seconds) seconds=$2; shift 2 ;;
    --load) load=$2; shift 2 ;;
    --sdl) export BENCH_SDL=1; shift ;;
    --driver) driver=$2; shift 2 ;;
    --build) build=$2; shift 2 ;;
    *) echo "unknown option $1" >&2; exit 1 ;;
  esac
done
if [ -n "$driver" ]; then need_tools Xvfb xdotool; else need_tools Xvfb xdotool pulseaudio pactl; fi

# One line per thread: TID CPU_NS CONTEXT_SWITCHES NAME.
thread_totals() {
  local t a b n
  for t in /proc/"$PROGRAM_PID"/task/*; do
    read -r a _ <"$t/schedstat" 2>/dev/null || continue
    b=$(awk '/ctxt_switches/ { s += $2 } END { print s + 0 }' "$t/status" 2>/dev/null) || continue
    n=$(tr -c '[:alnum:]:_.\n-' _ <"$t/comm" 2>/dev/null) || continue
    echo "${t##*/} $a $b $n"
  done
}

bench_setup
if [ -n "$driver" ]; then
  # No sound server: none runs in the private runtime folder, and PULSE_SERVER points nowhere.
  export PULSE_SERVER=unix:$WORK/no-server SDL_AUDIODRIVER=$driver SDL_DISKAUDIOFILE=$WORK/sound.raw
else
  start_pulse || { echo "PulseAudio does not start" >&2; exit 1; }
  start_recorder "$WORK/recording.wav" # the sink running, as when something listens
  choose_output
fi
start_xvfb
start_load "$load"
start_program "$build/metronom"
sleep 1
start_stop # START
sleep 3
start_stop # STOP
# The stream rests once its last sound has played out; SDL's device after 5 s of silence.
if [ -n "$driver" ]; then sleep 7; else sleep 2; fi
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
echo "by thread (wake-ups per second, CPU % of one core; threads that began meanwhile marked +):"
awk -v span=$((t1 - t0)) '
  NR == FNR { cpu0[$1] = $2; sw0[$1] = $3; next }
  { new = !($1 in cpu0); printf "  %-18s %8.1f %8.3f %s\n", $4, ($3 - sw0[$1]) / (span / 1e9), 100 * ($2 - cpu0[$1]) / span, new ? "+" : "" }
' "$WORK/threads0" "$WORK/threads1"

[ -n "$driver" ] || exit 0
# START once more: the beats must come again.
start_stop
sleep 2
if [ "$driver" = disk ]; then
  analyze=$(dirname "$build/metronom")/analyze_beats
  [ -x "$analyze" ] || { echo "build $analyze to check the beats" >&2; exit 1; }
  start_stop # STOP
  sleep 1
  "$analyze" "$WORK/sound.raw" --raw-float --bpm 120 --pause 2 | grep -E '^(runs|beats) found'
else
  import -window "$WIN" "$WORK/a.png"
  sleep 0.37
  import -window "$WIN" "$WORK/b.png"
  moved=$(compare -metric AE "$WORK/a.png" "$WORK/b.png" null: 2>&1 || true)
  echo "after START again      $moved pixels changed in 0.37 s (the pendulum swings when many do)"
fi
