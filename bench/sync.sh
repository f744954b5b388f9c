#!/usr/bin/env bash
# Measures how well the pendulum on the screen keeps step with the click the sink plays: for every
# beat, the time the rod is drawn crossing the centre against the time the click was played at the
# sink. Positive offsets: the pendulum passes the centre after the click is heard.
#
# Usage: bench/sync.sh [--seconds N] [--fragments "2 20"] [--row Y] [--load N] [--sdl] [--build DIR] [--keep DIR]
#                     [--output pipewire|pulse [--quanta "256 1024"]]
#   --fragments  the record fragment sizes in ms, one run each (default "2 20"). The null sink runs
#                at the smallest latency its readers ask for, so this sets the sink's latency.
#   --row Y      the row of the window where the rod is read (default 60).
#   --load N     keeps N processes busy during the run (stress-ng --cpu N).
#   --sdl        plays through SDL's PulseAudio backend instead of the program's own stream.
#   --output pipewire|pulse  on a private PipeWire (bench/pipewire.sh, a null sink at 48 kHz): the
#                program through its native stream or through pipewire-pulse (METRONOM_OUTPUT), one
#                run for each graph cycle of --quanta (frames, forced with pw-metadata
#                clock.force-quantum; default "256 1024") in place of the fragment sizes. The sink
#                is recorded natively (build/pw_recorder): each block at the sink's frame of its
#                cycle and timed by the cycle's own pw_time, less the cycle a null sink's monitor
#                passes it late.
#   --stops N    with --output: the pipewire daemon stopped (SIGSTOP) for 7 ms, N times spread over
#                the run, as bench/pipewire-native.sh does (the pendulum must be back on its click
#                within a beat of each stall).
#   --keep DIR   leaves each run's recording, timing log and rod log in DIR.
#   --from DIR   analyses what --keep left in DIR again, without a run.
#
# Each run has its own PulseAudio server (a null sink at 44100 Hz), X server (Xvfb) and program,
# playing 120 as started. Two instruments watch it (built by CMake where libpulse and XDamage are
# found):
#   build/monitor_recorder records the sink's monitor and logs, every 2 ms, the server's timing
#     report: the frames queued for the recorder by then and when the last of them was played at
#     the sink (CLOCK_MONOTONIC); a straight line through these (late reports, more than 0.5 ms
#     off, left out) gives the time each recorded frame was played at the sink.
#   build/rod_tracker stamps (CLOCK_MONOTONIC) every damage event on the program's window and
#     reads the rod's column in one pixel row; the centre crossing is interpolated between the
#     last frame drawn before it and the first after.
# build/analyze_beats finds the click onsets in the recording; each is paired with the nearest
# crossing (within 100 ms); a crossing between two frames more than 3 frame intervals apart (the
# window was not drawn meanwhile) is counted, not timed. The instruments run at real-time priority where the system allows it,
# so their stamps are not late when the machine is busy.
#
# Prints a report per run and one Markdown table row each:
#   | fragments | sink latency (configured) | beats (paired) | mean | std dev | worst | frames drawn |
# Exit status: 0 when every run paired at least 90 % of its beats with a crossing and kept the
# mean offset within +-2 ms and every offset within +-5 ms; 6 when it did not; 1 when a run failed.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=$here/build
seconds=20
fragments="2 20"
row=60
load=0
stops=0
keep=""
from=""
output=""
quanta="256 1024"
args=("$@")
while [ $# -gt 0 ]; do
  case $1 in
    --seconds) seconds=$2; shift 2 ;;
    --fragments) fragments=$2; shift 2 ;;
    --row) row=$2; shift 2 ;;
    --load) load=$2; shift 2 ;;
    --stops) stops=$2; shift 2 ;;
    --sdl) export BENCH_SDL=1; shift ;;
    --output) output=$2; export BENCH_SERVER=pipewire BENCH_RATE=48000 METRONOM_OUTPUT=$2; shift 2 ;;
    --quanta) quanta=$2; shift 2 ;;
    --build) build=$2; shift 2 ;;
    --keep) keep=$(cd "$2" && pwd); shift 2 ;;
    --from) from=$(cd "$2" && pwd); shift 2 ;;
    *) echo "unknown option $1" >&2; exit 1 ;;
  esac
done

# Several fragment sizes (on PipeWire graph cycles): one run of this script each.
[ -n "$output" ] && fragments=$quanta
read -ra sizes <<<"$fragments"
if [ ${#sizes[@]} -gt 1 ]; then
  rows=() status=0
  for f in "${sizes[@]}"; do
    out=$("$0" "${args[@]}" --fragments "$f" --quanta "$f") || { s=$?; [ $s -gt $status ] && status=$s; }
    echo "$out"
    rows+=("$(grep '^|' <<<"$out" || true)")
    echo
  done
  echo "| ${output:+graph cycle / }record fragments | sink latency (configured) | beats (paired) | mean offset | std dev | worst | frames drawn |"
  echo "|---|---|---|---|---|---|---|"
  printf '%s\n' "${rows[@]}"
  exit $status
fi
fragment=${sizes[0]}

. "$here/bench/lib.sh"
if [ -n "$from" ]; then
  WORK=$(mktemp -d)
  trap 'rm -rf "$WORK"' EXIT
  BENCH_RECORDING=$from/sync-$fragment.wav
  cp "$from/sync-$fragment-timing.log" "$WORK/timing.log"
  cp "$from/sync-$fragment-rod.log" "$WORK/rod.log"
  configured=$(cat "$from/sync-$fragment-sink" 2>/dev/null || echo "?")
  stream=$(cat "$from/sync-$fragment-stream" 2>/dev/null || echo "?")
else
  need_tools Xvfb xdotool pulseaudio pactl
  recorder_tool=monitor_recorder
  [ -n "$output" ] && recorder_tool=pw_recorder
  for tool in analyze_beats $recorder_tool rod_tracker metronom; do
    [ -x "$build/$tool" ] || { echo "build $build/$tool first (monitor_recorder needs libpulse-dev, rod_tracker libxdamage-dev)" >&2; exit 1; }
  done
  rt=()
  chrt -f 30 true 2>/dev/null && rt=(chrt -f 30)

  bench_setup
  start_pulse || { echo "PulseAudio does not start" >&2; exit 1; }
  BENCH_RECORDING=$WORK/recording.wav
  if [ -n "$output" ]; then
    pw-metadata -n settings 0 clock.force-quantum "$fragment" >/dev/null
    start_pw_recorder "$BENCH_RECORDING" "$WORK/blocks.log" "$fragment" || exit 1
    recorder=$PW_RECORDER
  else
    ${rt[@]+"${rt[@]}"} "$build/monitor_recorder" --device metronom.monitor --wav "$BENCH_RECORDING" --log "$WORK/timing.log" \
      --fragment-ms "$fragment" &
    recorder=$!
    BENCH_PIDS+=("$recorder")
    for _ in $(seq 100); do awk '$1 > 0 { found = 1; exit } END { exit !found }' "$WORK/timing.log" 2>/dev/null && break; sleep 0.05; done
  fi
  start_xvfb
  start_load "$load"
  choose_output
  start_program "$build/metronom"
  sleep 1
  "${rt[@]}" "$build/rod_tracker" "$WIN" --row "$row" >"$WORK/rod.log" &
  BENCH_PIDS+=($!)
  for _ in $(seq 100); do grep -q '^# rest' "$WORK/rod.log" && break; sleep 0.05; done
  grep -q '^# rest' "$WORK/rod.log" || { echo "the rod tracker did not start" >&2; exit 1; }

  start_stop # START
  if [ "$stops" -gt 0 ]; then
    (for _ in $(seq "$stops"); do
      sleep "$(awk -v s="$seconds" -v n="$stops" 'BEGIN { print s / (n + 1) }')"
      kill -STOP "${PIPEWIRE_PIDS[0]}"; sleep 0.007; kill -CONT "${PIPEWIRE_PIDS[0]}"
    done) &
    BENCH_PIDS+=($!)
  fi
  half=$(awk -v s="$seconds" 'BEGIN { print s / 2 }')
  sleep "$half"
  # The latency the sink runs at, as configured from its readers' and streams' requests.
  stream=$(stream_info)
  configured=$(pactl list sinks | awk '/Latency:/ { for (i = 1; i < NF; i++) if ($i == "configured") printf "%.1f", $(i + 1) / 1000 }')
  [ -n "$output" ] && configured=$(awk -v q="$fragment" -v r="$BENCH_RATE" 'BEGIN { printf "%.1f", q * 1000 / r }') stream="$output: $stream"
  sleep "$half"
  start_stop # STOP
  sleep 1
  kill -INT "$recorder"
  wait "$recorder" || { echo "the recorder failed" >&2; exit 1; }
  [ -n "$output" ] && pw_blocks_as_reports "$WORK/blocks.log" >"$WORK/timing.log"
  kill -0 "$PROGRAM_PID" 2>/dev/null || { echo "the program ended: $(cat "$WORK/program.out")" >&2; exit 1; }
  if [ -n "$keep" ]; then
    cp "$BENCH_RECORDING" "$keep/sync-$fragment.wav"
    cp "$WORK/timing.log" "$keep/sync-$fragment-timing.log"
    cp "$WORK/rod.log" "$keep/sync-$fragment-rod.log"
    echo "$configured" >"$keep/sync-$fragment-sink"
    echo "$stream" >"$keep/sync-$fragment-stream"
  fi
fi

if [ -n "$output" ]; then find_sink_clicks; else find_clicks 120; fi

echo "stream                  $stream"
awk -v fragment="$fragment" -v unit="$( [ -n "$output" ] && echo frames || echo ms)" -v configured="$configured" -v rate="${BENCH_RATE:-44100}" "$FIT_PLAYED_AWK"'
  FILENAME == ARGV[1] {           # the timing log: FRAMES MONOTONIC_NS LATENCY_US SINK_US [QUEUED PLAYED_NS]
    if (NF >= 6) { if (read_report()) { sink[n] = $4; raw = 1 } }
    else if ($1 > 0) { n++; f[n] = $1; t[n] = $2 - 1000 * $3; sink[n] = $4 }
    next
  }
  FILENAME == ARGV[2] { onset[++beats] = $1; next }
  FILENAME == ARGV[3] {           # the rod log: MONOTONIC_NS SERVER_MS X
    if ($1 == "#") next
    frames++
    if (frames > 1) { gap[frames - 1] = ($1 - lastStamp) / 1e6 }
    late = $1 / 1e6 - $2; if (late > lateMax) lateMax = late
    if ($3 != "-" && prevX != "" && prevX != "-") {
      x = $3 + 0; p = prevX + 0
      if ((p < 0 && x >= 0) || (p > 0 && x <= 0)) {
        crossing[++crossings] = lastStamp + ($1 - lastStamp) * (0 - p) / (x - p)
        between[crossings] = ($1 - lastStamp) / 1e6
      }
    }
    prevX = $3; lastStamp = $1
    next
  }
  function median(a, k,   i, j, v, b) {
    for (i = 1; i <= k; i++) b[i] = a[i]
    for (i = 2; i <= k; i++) { v = b[i]; for (j = i - 1; j >= 1 && b[j] > v; j--) b[j + 1] = b[j]; b[j + 1] = v }
    return k % 2 ? b[(k + 1) / 2] : (b[k / 2] + b[k / 2 + 1]) / 2
  }
  END {
    if (n < 10) { print "too few timing lines" > "/dev/stderr"; exit 1 }
    fit_played() # the line through the timing points, late reports left out
    sd = fitSd; worst = fitWorst; used = fitUsed
    for (i = 1; i <= n; i++) sinkMs[i] = sink[i] / 1000
    sinkMedian = median(sinkMs, n)
    drawn = frames > 1 ? median(gap, frames - 1) : 0
    printf "%s %s %s\n", unit == "ms" ? "record fragments       " : "graph cycle            ", fragment, unit
    printf "sink latency            %s ms configured; %.1f ms still to play (median of the reports)\n", configured, sinkMedian
    printf "played-time line        (%s) %d of %d timing points within 0.5 ms, residual std dev %.3f ms, worst %.3f ms; %.1f ppm off the nominal rate\n", raw ? "raw server reports" : "interpolated latency", used, n, sd / 1e6, worst / 1e6, (slope * rate / 1e9 - 1) * 1e6
    printf "frames drawn            %d, median interval %.1f ms; stamps at most %.1f ms after the X server time\n", frames, drawn, lateMax
    paired = 0; sum = 0; sum2 = 0; worstOff = 0; stalled = 0
    for (b = 1; b <= beats; b++) {
      heard = played(onset[b]); best = -1
      for (c = 1; c <= crossings; c++) {
        d = crossing[c] - heard; a = d < 0 ? -d : d
        if (a < 100e6 && (best < 0 || a < best)) { best = a; off = d; gapHere = between[c] }
      }
      if (best < 0) { printf "beat %3d at frame %9d: no centre crossing within 100 ms\n", b, onset[b]; continue }
      # A crossing between two frames far apart (the window was not drawn meanwhile) has no time.
      if (gapHere > 3 * drawn) {
        stalled++
        printf "beat %3d at frame %9d: no frame drawn for %.0f ms around the crossing: not timed\n", b, onset[b], gapHere
        continue
      }
      paired++; ms = off / 1e6; sum += ms; sum2 += ms * ms
      if ((ms < 0 ? -ms : ms) > (worstOff < 0 ? -worstOff : worstOff)) worstOff = ms
      printf "beat %3d at frame %9d: pendulum at the centre %+7.2f ms from the click played (frames %.0f ms apart)\n", b, onset[b], ms, gapHere
    }
    if (paired == 0) { print "no beat paired with a crossing" > "/dev/stderr"; exit 1 }
    mean = sum / paired; spread = sqrt(sum2 / paired - mean * mean)
    printf "beats                   %d, %d paired with a centre crossing%s\n", beats, paired, stalled ? sprintf(", %d not timed (no frame drawn for more than %.0f ms around it)", stalled, 3 * drawn) : ""
    printf "pendulum - click        mean %+.2f ms, std dev %.2f ms, worst %+.2f ms\n", mean, spread, worstOff
    printf "| %s %s | %s ms | %d (%d%s) | %+.2f ms | %.2f ms | %+.2f ms | every %.1f ms |\n", fragment, unit, configured, beats, paired, stalled ? sprintf("; %d in a stall", stalled) : "", mean, spread, worstOff, drawn
    good = stalled == 0 && paired * 10 >= beats * 9 && mean <= 2 && mean >= -2 && worstOff <= 5 && worstOff >= -5
    exit good ? 0 : 6
  }' "$WORK/timing.log" "$WORK/onsets" "$WORK/rod.log"
