#!/usr/bin/env bash
# The CPU share of the real program and of the X server drawing for it, under a window manager
# (openbox) on a private X server: running at 120 bpm, at the fastest tempo (the weight at the
# bottom: 271), at 120 with frames paced by QWindow::requestUpdate ("120-update"), running at 120 with the window minimized ("minimized") or moved to another
# workspace ("elsewhere"), and stopped; at device pixel ratio 1 and 2 (QT_SCALE_FACTOR). State
# "floor" measures instead a bare Qt window repainting a small moving square on every refresh
# (build/bench/frame_floor), what any frame costs here. The states are measured in turn, round
# after round (RUNS rounds), each a fresh start of the program, so that a machine that gets busier
# or quieter meanwhile touches every state alike. A run reads each thread's time on the CPU from
# the scheduler (/proc/PID/task/*/schedstat) over SECONDS: the program's UI thread, its other
# threads (mostly audio; all but Qt's X event reader), the X event reader and the X server, each as a share
# of one core. At the end: the medians per state, and the ratio of each running state to the floor
# (UI thread and X server), per round and their median. Sound goes to a private PulseAudio server's
# null sink (SDL_AUDIODRIVER=dummy instead with --dummy).
# Usage: bench/cpu.sh [--seconds 20] [--runs 3] [--scales "1 2"]
#                     [--states "stopped 120 271 minimized elsewhere floor"] [--dummy] [--build DIR]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
. "$here/bench/lib.sh"
build=$here/build seconds=20 runs=3 scales="1 2" states="stopped 120 271 minimized elsewhere floor" dummy=""
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
need_tools Xvfb xdotool pulseaudio pactl openbox xprop xwininfo
bench_setup
if [ -n "$dummy" ]; then
  export SDL_AUDIODRIVER=dummy
else
  start_pulse || { echo "PulseAudio does not start" >&2; exit 1; }
  unset SDL_AUDIODRIVER # the program's own PulseAudio stream (a set driver would choose SDL)
fi
start_desktop

# Nanoseconds on the CPU: the sum over the threads of process $1 whose name matches (or, with
# "!", does not match) the pattern $2; the UI thread alone with "ui".
cpu_ns() {
  local pid=$1 pattern=${2:-} t name a sum=0
  for t in /proc/"$pid"/task/*; do
    if [ "$pattern" = ui ]; then
      [ "${t##*/}" = "$pid" ] || continue
    elif [ -n "$pattern" ]; then
      name=$(cat "$t/comm" 2>/dev/null) || continue
      [ "${t##*/}" != "$pid" ] || continue
      case $pattern in
        '!'*) [[ $name =~ ${pattern#!} ]] && continue ;;
        *) [[ $name =~ $pattern ]] || continue ;;
      esac
    fi
    read -r a _ <"$t/schedstat" 2>/dev/null || continue
    sum=$((sum + a))
  done
  echo "$sum"
}
share() { awk -v d="$1" -v t="$2" 'BEGIN { printf "%.3f", 100 * d / t }'; }
median() { printf '%s\n' "$@" | sort -g | awk '{v[NR] = $1} END {print v[int((NR + 1) / 2)]}'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "-" }'; }
# Clicks at ($1,$2) in the window's logical pixels.
at() { xdotool mousemove --window "$WIN" $(($1 * scale)) $(($2 * scale)); }
xevents='QXcbEventQueue'

# One run of state $1 at scale $scale: sets UI AUDIO XEV XS (shares of one core).
measure() {
  local state=$1 pid p0 p1 t0 t1
  if [ "$state" = floor ]; then
    "$build/bench/frame_floor" >/dev/null 2>&1 &
    PROGRAM_PID=$! && BENCH_PIDS+=("$PROGRAM_PID")
  else
    # 120-update: frames paced by QWindow::requestUpdate instead of the timer.
    if [ "$state" = 120-update ]; then export METRONOM_FRAME_PACING=update; else unset METRONOM_FRAME_PACING; fi
    start_program "$build/metronom"
  fi
  pid=$PROGRAM_PID
  sleep 1
  if [ "$state" = 271 ]; then # the weight dragged from its top at 131 down to 296
    at "$WEIGHT_X" $((131 + 16)); xdotool mousedown 1
    for y in $(seq 151 8 311) 312; do at "$WEIGHT_X" "$y"; sleep 0.01; done
    xdotool mouseup 1; sleep 0.1
  fi
  [ "$state" = stopped ] || [ "$state" = floor ] || { at "$START_X" "$START_Y"; xdotool click 1; }
  case $state in
    minimized) sleep 1; xdotool windowminimize --sync "$WIN" ;;
    elsewhere) sleep 1; xdotool set_desktop_for_window "$WIN" 1 ;;
  esac
  sleep 2 # past the start and the first beats
  case $state in # the window really out of sight: iconic, or unmapped on the other workspace
    minimized) xprop -id "$WIN" WM_STATE | grep -q 'window state: Iconic' || { echo "not minimized" >&2; exit 1; } ;;
    elsewhere) xwininfo -id "$WIN" | grep -q IsUnMapped || { echo "still mapped" >&2; exit 1; } ;;
  esac
  p0=("$(cpu_ns "$pid" ui)" "$(cpu_ns "$pid" "!$xevents")" "$(cpu_ns "$pid" "$xevents")" "$(cpu_ns "$XVFB_PID")")
  t0=$(date +%s%N)
  sleep "$seconds"
  p1=("$(cpu_ns "$pid" ui)" "$(cpu_ns "$pid" "!$xevents")" "$(cpu_ns "$pid" "$xevents")" "$(cpu_ns "$XVFB_PID")")
  t1=$(date +%s%N)
  kill "$pid"; wait "$pid" 2>/dev/null || true
  UI=$(share $((p1[0] - p0[0])) $((t1 - t0))) AUDIO=$(share $((p1[1] - p0[1])) $((t1 - t0)))
  XEV=$(share $((p1[2] - p0[2])) $((t1 - t0))) XS=$(share $((p1[3] - p0[3])) $((t1 - t0)))
}

declare -A ui audio xev xs
echo "share of one core in %: UI thread, other threads (audio), X event thread / X server; each run, then the medians"
for scale in $scales; do
  export QT_SCALE_FACTOR=$scale
  for round in $(seq "$runs"); do
    for state in $states; do
      measure "$state"
      k="$scale $state"
      ui[$k]+="$UI " audio[$k]+="$AUDIO " xev[$k]+="$XEV " xs[$k]+="$XS "
      printf '  round %s scale %s %-9s %s %s %s / %s\n' "$round" "$scale" "$state" "$UI" "$AUDIO" "$XEV" "$XS"
    done
  done
  printf '%-6s %-9s %-34s %s\n' scale state "UI thread, audio, X events / X server" "ratio to the floor: UI thread, X server (per round)"
  for state in $states; do
    k="$scale $state"
    # shellcheck disable=SC2086
    line=$(printf '%s %s %s / %s' "$(median ${ui[$k]})" "$(median ${audio[$k]})" "$(median ${xev[$k]})" \
      "$(median ${xs[$k]})")
    rs=""
    if [ "$state" != floor ] && [ -n "${ui[$scale floor]:-}" ]; then
      read -ra a <<<"${ui[$k]}"; read -ra b <<<"${ui[$scale floor]}"
      read -ra c <<<"${xs[$k]}"; read -ra d <<<"${xs[$scale floor]}"
      rui=() rxs=()
      for i in "${!a[@]}"; do rui+=("$(ratio "${a[i]}" "${b[i]}")") rxs+=("$(ratio "${c[i]}" "${d[i]}")"); done
      rs="$(median "${rui[@]}") [${rui[*]}], $(median "${rxs[@]}") [${rxs[*]}]"
    fi
    printf '%-6s %-9s %-34s %s\n' "$scale" "$state" "$line" "$rs"
  done
done
