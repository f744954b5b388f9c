#!/usr/bin/env bash
# Measures how close the program's clicks come to the beats of an Ableton Link session: Ableton's
# own peer (LinkHutSilent, built from the examples of ableton-link-dev into BUILD/linkhut on first
# use) sets the tempo, the program joins with Link (key L) while playing, and every click recorded
# at the sink is compared with the session's beat time.
#
# Usage: bench/link_sync.sh [--bpm N] [--seconds N] [--load N] [--e2e] [--build DIR] [--keep DIR]
#   --bpm N      the peer's tempo (default 97).
#   --load N     keeps N processes busy during the run (stress-ng --cpu N).
#   --e2e        the end-to-end test: also a tempo change in the peer (+1) and one in the program
#                (step ">"), which must reach the other side; fails when a click is off its beat.
#
# Everything runs in a private network namespace with only loopback up (root is needed: unshare -n),
# so no peer ever reaches a real network. Clocks are compared only through Link's host clock
# (CLOCK_MONOTONIC_RAW): build/monitor_recorder (--clock raw) logs when each recorded frame was
# played at the sink, a straight line through its reports (late ones left out) gives every frame's
# host time, so the null sink's own rate is fitted; build/link_beats, a silent third peer, logs the
# session's beat against the same clock. The first second after the program joined is left out.
#
# Prints the click-to-beat error (median, 95 % of the absolute errors, worst) and, measured the same
# way, the recorder's own scatter: its timing reports against the fitted line. One Markdown row:
#   | tempo | load | clicks | median | 95 % | worst | recorder scatter (std dev, worst) |
# Exit status: 0; with --e2e 6 when the median is beyond +-2 ms or a click beyond +-10 ms or a tempo
# change did not arrive; 77 when it cannot run here (no root, no unshare); 1 when a run failed.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=$here/build
bpm=97
seconds=12
load=0
e2e=0
keep=""
args=("$@")
while [ $# -gt 0 ]; do
  case $1 in
    --bpm) bpm=$2; shift 2 ;;
    --seconds) seconds=$2; shift 2 ;;
    --load) load=$2; shift 2 ;;
    --e2e) e2e=1; shift ;;
    --build) build=$(cd "$2" && pwd); shift 2 ;;
    --keep) keep=$(cd "$2" && pwd); shift 2 ;;
    *) echo "unknown option $1" >&2; exit 1 ;;
  esac
done

# Into a private network namespace first: a fresh one has only loopback, and that down.
if [ -z "${LINK_SYNC_NETNS:-}" ]; then
  [ "$(id -u)" -eq 0 ] && command -v unshare >/dev/null || { echo "SKIP: needs root and unshare for a private network namespace"; exit 77; }
  LINK_SYNC_NETNS=1 exec unshare -n bash "$0" "${args[@]}"
fi
ip link set lo up
[ "$(ip -o link show up | grep -cv ' lo:')" -eq 0 ] || { echo "not a private network namespace" >&2; exit 1; }

. "$here/bench/lib.sh"
need_tools Xvfb xdotool pulseaudio pactl
for tool in analyze_beats monitor_recorder link_beats metronom; do
  [ -x "$build/$tool" ] || { echo "build $build/$tool first" >&2; exit 1; }
done
hut=$build/linkhut/LinkHutSilent
if [ ! -x "$hut" ]; then
  echo "building LinkHutSilent from /usr/share/doc/ableton-link-dev/examples (once, about a minute)"
  cmake -S /usr/share/doc/ableton-link-dev/examples -B "$build/linkhut" -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$build/linkhut" --target LinkHutSilent >/dev/null
fi

bench_setup
start_pulse || { echo "PulseAudio does not start" >&2; exit 1; }
BENCH_RECORDING=$WORK/recording.wav
"$build/monitor_recorder" --clock raw --device metronom.monitor --wav "$BENCH_RECORDING" --log "$WORK/timing.log" \
  --fragment-ms 2 &
recorder=$!
BENCH_PIDS+=("$recorder")

# The peer, driven by keys on its standard input, kept open (at its end it would spin).
mkfifo "$WORK/hut.in" "$WORK/ref.in"
"$hut" <"$WORK/hut.in" >"$WORK/hut.out" 2>&1 &
BENCH_PIDS+=($!)
exec 3>"$WORK/hut.in"
"$build/link_beats" "$WORK/beats.log" <"$WORK/ref.in" &
BENCH_PIDS+=($!)
exec 4>"$WORK/ref.in"
hut_state() { tr '\r' '\n' <"$WORK/hut.out" | awk -F'|' -v col="$1" 'NF > 4 { v = $col } END { print v }'; }
hut_tempo() { awk -v t="$(hut_state 5)" 'BEGIN { printf "%.0f", t + 0 }'; }
printf a >&3 # Link on; a tempo set before Link has taken it in would be reset
for _ in $(seq 200); do [[ "$(hut_state 1)" == yes* ]] && break; sleep 0.05; done
sleep 0.5
# The tempo by steps of one (w, e), until the peer shows it.
for _ in $(seq 5); do
  steps=$((bpm - $(hut_tempo)))
  [ $steps -eq 0 ] && break
  if [ $steps -gt 0 ]; then printf "%${steps}s" | tr ' ' e >&3; else printf "%$((-steps))s" | tr ' ' w >&3; fi
  sleep 0.5
done
[ "$(hut_tempo)" = "$bpm" ] || { echo "the peer did not take $bpm BPM (it shows $(hut_tempo))" >&2; exit 1; }

start_xvfb
start_load "$load"
choose_output
start_program "$build/metronom"
sleep 1
start_stop # START, alone at 120
sleep 1
key() { xdotool windowfocus --sync "$WIN" 2>/dev/null || true; xdotool key "$1"; }
key l # Link on: the program joins the peer
joined=""
for _ in $(seq 200); do
  joined=$(awk '$4 >= 2 { print $1; exit }' "$WORK/beats.log")
  [ -n "$joined" ] && break
  sleep 0.05
done
[ -n "$joined" ] || { echo "the program did not join the session" >&2; exit 1; }
sleep "$seconds"
status=0
if [ $e2e -eq 1 ]; then
  printf e >&3 # the peer one faster: the program's clicks follow (checked against the session below)
  sleep 3
  key plus # the program one faster: the peer follows
  for _ in $(seq 20); do [ "$(hut_tempo)" = "$((bpm + 2))" ] && break; sleep 0.05; done
  if [ "$(hut_tempo)" = "$((bpm + 2))" ]; then echo "tempo set in the program reached the peer: $(hut_tempo)"
  else echo "FAILED: the program's tempo did not reach the peer within 1 s (it shows $(hut_tempo))"; status=6; fi
  sleep 3
fi
start_stop # STOP
sleep 1
kill -INT "$recorder"
wait "$recorder" || { echo "the recorder failed" >&2; exit 1; }
exec 3>&- 4>&-
kill -0 "$PROGRAM_PID" 2>/dev/null || { echo "the program ended: $(cat "$WORK/program.out")" >&2; exit 1; }
[ -n "$keep" ] && cp "$BENCH_RECORDING" "$WORK/timing.log" "$WORK/beats.log" "$WORK/program.out" "$keep/"

"$build/analyze_beats" "$BENCH_RECORDING" --bpm "$bpm" --list >"$WORK/found.txt" || true
awk '/^beat / && !/doubled/ { print $4 }' "$WORK/found.txt" >"$WORK/onsets"
[ -s "$WORK/onsets" ] || { echo "no clicks in the recording" >&2; cat "$WORK/found.txt" >&2; exit 1; }

awk -v joined="$joined" -v bpm="$bpm" -v load="$load" -v e2e="$e2e" '
  FILENAME == ARGV[1] {           # FRAMES RAW_NS LATENCY_US SINK_US QUEUED PLAYED_RAW_NS
    if (NF >= 6 && $5 > 0) { n++; f[n] = $5 - 1; t[n] = $6 }
    next
  }
  FILENAME == ARGV[2] { m++; bt[m] = $1; bb[m] = $2; bpmAt[m] = $3; next }   # HOST_US BEAT TEMPO PEERS
  FILENAME == ARGV[3] { onset[++clicks] = $1; next }
  function fit(   i, sf, st, sff, sft, k, d) {
    k = 0; sf = st = sff = sft = 0
    for (i = 1; i <= n; i++) if (use[i]) { d = f[i] - f[1]; sf += d; st += t[i] - t[1]; sff += d * d; sft += d * (t[i] - t[1]); k++ }
    slope = (k * sft - sf * st) / (k * sff - sf * sf); icept = (st - slope * sf) / k; used = k
  }
  function played(frame) { return t[1] + icept + slope * (frame - f[1]) }
  function sortAbs(a, k,   i, j, v) {
    for (i = 2; i <= k; i++) { v = a[i]; for (j = i - 1; j >= 1 && a[j] > v; j--) a[j + 1] = a[j]; a[j + 1] = v }
  }
  END {
    if (n < 10 || m < 10) { print "too few timing lines" > "/dev/stderr"; exit 1 }
    for (i = 1; i <= n; i++) use[i] = 1
    fit()
    for (i = 1; i <= n; i++) use[i] = (t[i] - played(f[i]) < 1e6 && played(f[i]) - t[i] < 1e6)
    fit()
    for (i = 1; i <= n; i++) use[i] = (t[i] - played(f[i]) < 0.5e6 && played(f[i]) - t[i] < 0.5e6)
    fit()
    sd = 0; rw = 0
    for (i = 1; i <= n; i++) if (use[i]) { r = t[i] - played(f[i]); sd += r * r; if (r < 0) r = -r; if (r > rw) rw = r }
    sd = sqrt(sd / used) / 1e6; rw /= 1e6
    j = 1; k = 0; worst = 0; sum = 0
    for (c = 1; c <= clicks; c++) {
      h = played(onset[c]) / 1000                      # host time, microseconds
      if (h < joined + 1e6) continue                  # the first second after joining
      while (j < m && bt[j + 1] < h) j++
      if (j >= m || bt[j] > h) continue
      beat = bb[j] + (bb[j + 1] - bb[j]) * (h - bt[j]) / (bt[j + 1] - bt[j])
      ms = (beat - int(beat + (beat < 0 ? -0.5 : 0.5))) * 60000 / bpmAt[j]
      err[++k] = ms; a = ms < 0 ? -ms : ms; abs[k] = a; sum += ms
      if (a > (worst < 0 ? -worst : worst)) worst = ms
    }
    if (k == 0) { print "no click after joining" > "/dev/stderr"; exit 1 }
    sortAbs(err, k); median = k % 2 ? err[(k + 1) / 2] : (err[k / 2] + err[k / 2 + 1]) / 2
    sortAbs(abs, k); p95 = abs[int(0.95 * k + 0.999)]
    printf "recorder line           %d of %d timing reports within 0.5 ms, scatter std dev %.3f ms, worst %.3f ms; sink %.1f ppm off nominal\n", used, n, sd, rw, (slope * 44100 / 1e9 - 1) * 1e6
    printf "clicks                  %d after the first second in the session\n", k
    printf "click - session beat    median %+.2f ms, 95 %% within %.2f ms, worst %+.2f ms\n", median, p95, worst
    printf "| %s BPM | %s | %d | %+.2f ms | %.2f ms | %+.2f ms | %.3f ms, %.3f ms |\n", bpm, load ? "--load " load : "idle", k, median, p95, worst, sd, rw
    if (e2e && (median > 2 || median < -2 || worst > 10 || worst < -10)) { print "FAILED: clicks off the session beat"; exit 6 }
  }' "$WORK/timing.log" "$WORK/beats.log" "$WORK/onsets" || status=$?
exit $status
