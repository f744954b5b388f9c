#!/usr/bin/env bash
# The CPU share of the real program and of the X server drawing for it: running at 120 bpm, at the
# fastest tempo (the weight at the bottom: 271) and stopped, at device pixel ratio 1 and 2
# (QT_SCALE_FACTOR); state "floor" measures instead a bare Qt window repainting a small moving square
# on every refresh (build/bench/frame_floor), what any frame costs here. Each case is measured
# RUNS times, each run a fresh start of the program; a run counts the user and system time of both
# processes (and of the program's UI thread) in /proc over SECONDS and prints the share of one
# core. Sound goes to a private PulseAudio server's null sink (SDL_AUDIODRIVER=dummy instead with
# --dummy).
# Usage: bench/cpu.sh [--seconds 20] [--runs 3] [--scales "1 2"] [--states "stopped 120 271 floor"] [--dummy]
#                     [--build DIR]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
. "$here/bench/lib.sh"
build=$here/build seconds=20 runs=3 scales="1 2" states="stopped 120 271 floor" dummy=""
while [ $# -gt 0 ]; do
  case $1 in
    --seconds) seconds=$2; shift 2 ;;
    --runs) runs=$2; shift 2 ;;
    --scales) scales=$2; shift 2 ;;
    --states) states=$2; shift 2 ;;
    --dummy) dummy=1; shift ;;
    --build) build=$2; shift 2 ;;
    *) echo "unknown option $1" >&2; exit 1 ;;
  esac
done
need_tools Xvfb xdotool pulseaudio pactl
bench_setup
if [ -n "$dummy" ]; then
  export SDL_AUDIODRIVER=dummy
else
  start_pulse || { echo "PulseAudio does not start" >&2; exit 1; }
  unset SDL_AUDIODRIVER # the program's own PulseAudio stream (a set driver would choose SDL)
fi
export XVFB_SCREEN=1700x1100x24 # the window at twice its size fits
start_xvfb

ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
share() { awk -v d="$1" -v t="$2" -v hz="$hz" 'BEGIN { printf "%.2f", 100 * d / hz / (t / 1e9) }'; }
hz=$(getconf CLK_TCK)
median() { printf '%s\n' "$@" | sort -g | awk '{v[NR] = $1} END {print v[int((NR + 1) / 2)]}'; }
# Clicks at ($1,$2) in the window's logical pixels.
at() { xdotool mousemove --window "$WIN" $(($1 * scale)) $(($2 * scale)); }

printf '%-6s %-8s %s\n' scale state "program % (its UI thread %) / X server % of one core: each run, then the medians"
for scale in $scales; do
  export QT_SCALE_FACTOR=$scale
  for state in $states; do
    prog=() ui=() xs=()
    for _ in $(seq "$runs"); do
      if [ "$state" = floor ]; then
        "$build/bench/frame_floor" >/dev/null 2>&1 &
        PROGRAM_PID=$! && BENCH_PIDS+=("$PROGRAM_PID")
      else
        start_program "$build/metronom"
      fi
      sleep 1
      if [ "$state" = 271 ]; then # the weight dragged from its top at 131 down to 296
        at "$WEIGHT_X" $((131 + 16)); xdotool mousedown 1
        for y in $(seq 151 8 311) 312; do at "$WEIGHT_X" "$y"; sleep 0.01; done
        xdotool mouseup 1; sleep 0.1
      fi
      [ "$state" = stopped ] || [ "$state" = floor ] || { at "$START_X" "$START_Y"; xdotool click 1; }
      sleep 2 # past the start and the first beats
      p0=$(ticks "$PROGRAM_PID") u0=$(ticks "$PROGRAM_PID/task/$PROGRAM_PID") x0=$(ticks "$XVFB_PID") t0=$(date +%s%N)
      sleep "$seconds"
      p1=$(ticks "$PROGRAM_PID") u1=$(ticks "$PROGRAM_PID/task/$PROGRAM_PID") x1=$(ticks "$XVFB_PID") t1=$(date +%s%N)
      kill "$PROGRAM_PID"; wait "$PROGRAM_PID" 2>/dev/null || true
      prog+=("$(share $((p1 - p0)) $((t1 - t0)))") ui+=("$(share $((u1 - u0)) $((t1 - t0)))")
      xs+=("$(share $((x1 - x0)) $((t1 - t0)))")
    done
    printf '%-6s %-8s %s (%s) / %s   median %s (%s) / %s\n' "$scale" "$state" "${prog[*]}" "${ui[*]}" "${xs[*]}" \
      "$(median "${prog[@]}")" "$(median "${ui[@]}")" "$(median "${xs[@]}")"
  done
done
