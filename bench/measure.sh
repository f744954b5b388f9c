#!/usr/bin/env bash
# Measures the real program as a user runs it: a private X server (Xvfb) and a private PulseAudio
# server with a null sink at 44100 Hz, the program started, START clicked, the sink's monitor
# recorded, STOP clicked; then the beats in the recording are analysed and the program's CPU share
# and memory while running are reported.
#
# Usage: bench/measure.sh [--seconds N] [--weight TOP] [--steps BUTTON:COUNT ...] [--preset NAME]
#                         [--during ACTIONS] [--accents BEATS:MARKED] [--load N] [--sdl] [--env NAME=VALUE]
#                         [--build DIR] [--keep DIR]
#   --weight 24     drags the weight to top 24 before START (24 slowest: 22 bpm .. 296 fastest: 271).
#   --steps ">>:13" clicks ">>" 13 times before START (buttons: "<<" "<" ">" ">>").
#   --preset Kick   chooses a preset before START.
#   --during "wait 4; steps >>:3; wait 4; steps <:5"
#                   what the hands do while it plays, ";" between actions:
#                   wait S | steps BUTTON:COUNT | preset NAME | drag S (the window, by its case) |
#                   lamp ROW:N | fader1 VALUE | fader2 VALUE |
#                   stall MS (the program stopped with SIGSTOP for MS milliseconds: its sound
#                   runs dry, as when a busy machine does not run it in time)
#                   The recording lasts --seconds or as long as the actions take, whichever is longer.
#   --accents 4:1,3 checks that beats 1 and 3 of every 4 carry an accent sound.
#   --load 2        keeps 2 processes busy (stress-ng --cpu 2) from before the program starts to the
#                   end, and makes the run strict: it fails when an interval is more than 1 sample
#                   from the ideal of its tempo (tempo changes aside), or the drift over the run is.
#   --sdl           plays through SDL's PulseAudio backend instead of the program's own stream.
#   --env PULSE_LATENCY_MSEC=5
#                   in the program's environment (not the recorder's).
#   --keep DIR      leaves the recording (recording.wav) in DIR.
# The beats are checked against the tempos shown, in the order they were set.
# Exit status: that of build/analyze_beats: 2 when beats were lost or doubled, 3 when the tempo
# played is not the tempo shown, 4 when the accents are not on the marked beats, 5 (--load) when
# a beat moved off its grid; a run that fails says whether the server reported underruns.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
. "$here/bench/lib.sh"
build=$here/build
seconds=20
steps=()
weight=""
preset=""
during=""
accents=""
load=0
envs=()
BENCH_KEEP=""
while [ $# -gt 0 ]; do
  case $1 in
    --seconds) seconds=$2; shift 2 ;;
    --steps) steps+=("$2"); shift 2 ;;
    --weight) weight=$2; shift 2 ;;
    --preset) preset=$2; shift 2 ;;
    --during) during=$2; shift 2 ;;
    --accents) accents=$2; shift 2 ;;
    --load) load=$2; shift 2 ;;
    --sdl) export BENCH_SDL=1; shift ;;
    --env) envs+=("$2"); shift 2 ;;
    --build) build=$2; shift 2 ;;
    --keep) BENCH_KEEP=$(cd "$2" && pwd); shift 2 ;;
    *) echo "unknown option $1" >&2; exit 1 ;;
  esac
done
need_tools Xvfb xdotool pulseaudio parec pactl
[ -x "$build/analyze_beats" ] || { echo "build $build/analyze_beats first" >&2; exit 1; }

bench_setup
start_pulse || { echo "PulseAudio does not start" >&2; exit 1; }
BENCH_RECORDING=$WORK/recording.wav
start_recorder "$BENCH_RECORDING"
start_xvfb
start_load "$load"
choose_output
for e in "${envs[@]}"; do export "${e?}"; done
start_program "$build/metronom"
sleep 1

[ -n "$weight" ] && drag_weight "$weight"
for step in "${steps[@]}"; do
  press_steps "${step%%:*}" "${step##*:}"
done
[ -n "$preset" ] && choose_preset "$preset"
TEMPOS=("$BPM")
shown_bpm=$BPM

act() {
  local verb=$1 arg=${2:-}
  case $verb in
    wait) sleep "$arg" ;;
    steps) press_steps "${arg%%:*}" "${arg##*:}" ;;
    preset) choose_preset "$arg" ;;
    drag) drag_window "$arg" ;;
    lamp) toggle_lamp "${arg%%:*}" "${arg##*:}" ;;
    fader1) drag_fader1 "$arg" ;;
    fader2) drag_fader2 "$arg" ;;
    stall) kill -STOP "$PROGRAM_PID"; sleep "$(awk -v ms="$arg" 'BEGIN { print ms / 1000 }')"; kill -CONT "$PROGRAM_PID" ;;
    "") ;;
    *) echo "unknown action $verb" >&2; exit 1 ;;
  esac
}

start_stop # START
t0=$(date +%s%N); c0=$(cpu_ticks); log0=$(pulse_log_lines)
sleep 0.5
stream=$(stream_info)
IFS=';' read -ra actions <<<"$during"
for action in "${actions[@]}"; do
  # shellcheck disable=SC2086
  act $action
done
left=$(awk -v s="$seconds" -v ns=$(($(date +%s%N) - t0)) 'BEGIN { l = s - ns / 1e9; printf "%.2f", (l > 0 ? l : 0) }')
sleep "$left"
c1=$(cpu_ticks); t1=$(date +%s%N); underruns=$(pulse_underruns "$log0")
rss=$(rss_kib); hwm=$(hwm_kib)
start_stop # STOP
sleep 1.5 # the recorder's last buffers
stop_recorder
kill -0 "$PROGRAM_PID" 2>/dev/null || { echo "the program ended: $(cat "$WORK/program.out")" >&2; exit 1; }

# The tempos in the order played, repeats dropped.
played=()
for t in "${TEMPOS[@]}"; do
  [ ${#played[@]} -gt 0 ] && [ "${played[-1]}" = "$t" ] && continue
  played+=("$t")
done
bpms=$(IFS=,; echo "${played[*]}")
echo "tempo shown             $shown_bpm$([ ${#played[@]} -gt 1 ] && echo ", then ${bpms#*,}")"
echo "window shown after      ${SHOWN_MS} ms"
echo "recorded for            $(awk -v ns=$((t1 - t0)) 'BEGIN { printf "%.1f", ns / 1e9 }') s"
echo "CPU while running       $(cpu_share "$c0" "$c1" "$t0" "$t1") % of one core"
echo "memory while running    $((rss / 1024)) MiB resident, peak $((hwm / 1024)) MiB"
echo "stream                  $stream"
echo "server underruns        $underruns (the program's stream ran dry while playing)"
[ "$load" -gt 0 ] && echo "load                    $load busy processes; load average $(cut -d' ' -f1-3 /proc/loadavg)"
args=("$BENCH_RECORDING" --bpm "$bpms")
[ -n "$accents" ] && args+=(--accents "$accents")
[ "$load" -gt 0 ] && args+=(--strict)
status=0
"$build/analyze_beats" "${args[@]}" || status=$?
if [ $status -ne 0 ]; then
  why=([2]="beats lost or doubled" [3]="the tempo played is not the tempo shown" [4]="accents not on the marked beats"
       [5]="a beat moved off its grid")
  echo "FAILED: ${why[$status]:-analysis failed ($status)}$([ "$underruns" -gt 0 ] && echo "; the server reported $underruns underruns")"
fi
exit $status
