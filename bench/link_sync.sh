#!/usr/bin/env bash
# Measures how close the program's clicks come to the beats of an Ableton Link session: Ableton's
# own peer (LinkHutSilent, built from the examples of ableton-link-dev into BUILD/linkhut on first
# use) sets the tempo, the program joins with Link (key L) while playing, and every click recorded
# at the sink is compared with the session's beat time.
#
# Usage: bench/link_sync.sh [--bpm N] [--seconds N] [--load N] [--late-peers MS] [--e2e] [--plain-recorder]
#                           [--output pipewire|pulse [--quantum N]] [--build DIR] [--keep DIR]
#   --bpm N      the peer's tempo (default 97).
#   --load N     keeps N processes busy during the run (stress-ng --cpu N).
#   --late-peers MS  the peers paused (SIGSTOP) from just before key L until MS later, so that the
#                program is alone in Link for a moment before it finds them.
#   --e2e        the end-to-end test, after the measured part:
#                - a tempo change in the peer (+1) must be painted in the program's tempo number
#                  within 1 s of the session's change (the program traces each new text its number
#                  is painted with, METRONOM_TRACE_TEMPO, on Link's clock) and still be shown after;
#                - one in the program (key +) must reach the peer (its state line) within 1 s;
#                - "Start/Stop teilen" (practice menu) on in the program and start/stop sync (s) in
#                  the peer: the peer's start starts the program's clicks, its stop stops them, and
#                  START in the program starts the peer within 1 s (its first click on the
#                  session's bar: beat 1 of the bar the peer starts at), STOP stops it;
#                - no click off the session grid (by more than 10 ms) later than 0.4 s after the
#                  peer was found (what was rendered before is still heard);
#                - every session beat with a click, every click within 10 ms of its beat, the
#                  median within 2 ms (reported, not failed, when the program's stream ran dry at
#                  the server: a machine too busy for the sound server loses clicks there);
#                - at the end, the peers gone, 15,000 empty, short, long and random datagrams to
#                  the program's Link ports (in the library an empty one ends the receive loop of
#                  the socket it reaches): a peer started after them must find the program within
#                  5 s, and the program must show the tempo that peer sets.
#   --output pipewire|pulse  on a private PipeWire (bench/pipewire.sh, a null sink at 48 kHz), the
#                program through its native stream or through pipewire-pulse (METRONOM_OUTPUT); the sink
#                recorded natively by build/pw_recorder (libpulse's reports step by whole cycles there),
#                each block at the sink's frame of its cycle, on Link's clock. --quantum N forces the
#                graph's cycle (pw-metadata clock.force-quantum; else the recorder asks 256 frames).
#   --song FILE  the program opens the tempo map FILE and plays it with Link on: key L, then START
#                once the peer is found; the figures are the song's clicks against the session's
#                beats (the session's tempo is the song's), from 3 s after START (the song waits for
#                the session's bar). Not with --e2e; --seconds within the song's length.
#   --plain-recorder  the recorder at normal priority (by default real-time where allowed, as the
#                program's audio thread and the sound server's sink are; at normal priority under
#                --load it falls up to a second behind, and would report holes if it lost sound).
#
# Everything runs in a private network namespace with only loopback up (root is needed: unshare -n),
# so no peer ever reaches a real network. Clocks are compared only through Link's host clock
# (CLOCK_MONOTONIC_RAW): build/monitor_recorder (--clock raw) logs when each recorded frame was
# played at the sink, a straight line through its reports (late ones left out) gives every frame's
# host time, so the null sink's own rate is fitted; build/link_beats, a silent third peer, logs the
# session's beat against the same clock. The figures leave out the first second after the program
# joined; a line of its own says from when after the peer was found the clicks were on its grid.
#
# Prints the click-to-beat error (median, 95 % of the absolute errors, worst) and, measured the same
# way, the recorder's own scatter: its timing reports against the fitted line; then what may have
# lost clicks: the program's stream running dry at the server (underruns), the recorder's holes, and
# the beats the session had against the clicks found. One Markdown row:
#   | tempo | load | session beats with a click | median | 95 % | worst | recorder scatter (std dev, worst) |
# Exit status: 0; with --e2e 6 when a check above failed; 77 when it cannot run here (no root, no
# unshare); 1 when a run failed.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=$here/build
bpm=97
seconds=12
load=0
skip=1 # seconds after joining left out of the figures
e2e=0
late=0
keep=""
plain=0
quantum=""
song=
args=("$@")
while [ $# -gt 0 ]; do
  case $1 in
    --bpm) bpm=$2; shift 2 ;;
    --seconds) seconds=$2; shift 2 ;;
    --load) load=$2; shift 2 ;;
    --late-peers) late=$2; shift 2 ;;
    --e2e) e2e=1; shift ;;
    --plain-recorder) plain=1; shift ;;
    --output) export BENCH_SERVER=pipewire BENCH_RATE=48000 METRONOM_OUTPUT=$2; shift 2 ;;
    --quantum) quantum=$2; shift 2 ;;
    --song) song=$(realpath "$2"); shift 2 ;;
    --build) build=$(cd "$2" && pwd); shift 2 ;;
    --keep) keep=$(cd "$2" && pwd); shift 2 ;;
    *) echo "unknown option $1" >&2; exit 1 ;;
  esac
done

[ -n "$song" ] && [ $e2e -eq 1 ] && { echo "--song measures; it is not part of --e2e" >&2; exit 1; }

# Into a private network namespace first: a fresh one has only loopback, and that down.
if [ -z "${LINK_SYNC_NETNS:-}" ]; then
  [ "$(id -u)" -eq 0 ] && command -v unshare >/dev/null || { echo "SKIP: needs root and unshare for a private network namespace"; exit 77; }
  LINK_SYNC_NETNS=1 exec unshare -n bash "$0" "${args[@]}"
fi
ip link set lo up
[ "$(ip -o link show up | grep -cv ' lo:')" -eq 0 ] || { echo "not a private network namespace" >&2; exit 1; }

. "$here/bench/lib.sh"
need_tools Xvfb xdotool pulseaudio pactl
recorder_tool=monitor_recorder
[ "${BENCH_SERVER:-}" = pipewire ] && recorder_tool=pw_recorder
for tool in analyze_beats $recorder_tool link_beats metronom; do
  [ -x "$build/$tool" ] || { echo "build $build/$tool first" >&2; exit 1; }
done
hut=$build/linkhut/LinkHutSilent
if [ ! -x "$hut" ]; then
  echo "building LinkHutSilent from /usr/share/doc/ableton-link-dev/examples (once, about a minute)"
  cmake -S /usr/share/doc/ableton-link-dev/examples -B "$build/linkhut" -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$build/linkhut" --target LinkHutSilent >/dev/null
fi

rt=()
[ $plain -eq 0 ] && chrt -f 30 true 2>/dev/null && rt=(chrt -f 30)
# Link's host clock now, in microseconds (marks of what the script did, for the checks below).
host_us() { python3 -c 'import time; print(time.clock_gettime_ns(time.CLOCK_MONOTONIC_RAW) // 1000)'; }

bench_setup
start_pulse || { echo "PulseAudio does not start" >&2; exit 1; }
BENCH_RECORDING=$WORK/recording.wav
if [ $recorder_tool = pw_recorder ]; then
  [ -z "$quantum" ] || pw-metadata -n settings 0 clock.force-quantum "$quantum" >/dev/null
  start_pw_recorder "$BENCH_RECORDING" "$WORK/blocks.log" "${quantum:-256}" raw || exit 1
  recorder=$PW_RECORDER
else
  ${rt[@]+"${rt[@]}"} "$build/monitor_recorder" --clock raw --device metronom.monitor --wav "$BENCH_RECORDING" \
    --log "$WORK/timing.log" --fragment-ms 2 2>"$WORK/recorder.err" &
  recorder=$!
  BENCH_PIDS+=("$recorder")
fi

# The peer, driven by keys on its standard input, kept open (at its end it would spin).
mkfifo "$WORK/hut.in" "$WORK/ref.in"
"$hut" <"$WORK/hut.in" >"$WORK/hut.out" 2>&1 &
hut_pid=$!
BENCH_PIDS+=("$hut_pid")
exec 3>"$WORK/hut.in"
"$build/link_beats" "$WORK/beats.log" <"$WORK/ref.in" &
reference=$!
BENCH_PIDS+=("$reference")
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
[ $e2e -eq 1 ] && export METRONOM_TRACE_TEMPO=1
start_program "$build/metronom" ${song:+"$song"}
sleep 1
from_line=$(pulse_log_lines)
[ -z "$song" ] && start_stop # START, alone at 120
sleep 1
key() { xdotool windowfocus --sync "$WIN" 2>/dev/null || true; xdotool key "$1"; }
[ "$late" -gt 0 ] && kill -STOP "$hut_pid" "$reference" # the peers deaf for a moment
linked=$(host_us)
key l || true # Link on: the program joins the peer (and the peers go on below in any case)
if [ "$late" -gt 0 ]; then
  sleep "$(awk -v ms="$late" 'BEGIN { print ms / 1000 }')"
  kill -CONT "$hut_pid" "$reference"
fi
joined=""
for _ in $(seq 200); do
  joined=$(awk '$4 >= 2 { print $1; exit }' "$WORK/beats.log")
  [ -n "$joined" ] && break
  sleep 0.05
done
[ -n "$joined" ] || { echo "the program did not join the session" >&2; exit 1; }
if [ -n "$song" ]; then
  sleep 1
  joined=$(host_us) skip=3
  start_stop # the song leads the session from its next bar
fi
sleep "$seconds"
status=0
fail() { echo "FAILED: $*"; status=6; }
hut_playing() { [[ "$(hut_state 4)" == *"[playing]"* ]]; }
if [ $e2e -eq 1 ]; then
  # The peer one faster: the session's change (the reference peer's log) to the program's number.
  printf e >&3
  for _ in $(seq 30); do grep -q "^tempo shown $((bpm + 1)) " "$WORK/program.out" && break; sleep 0.05; done
  sleep 2
  # The session's change as the reference peer logged it; the number's first paint of the new
  # tempo after it, and its last paint. While running the number shows the tempo measured between
  # the beats heard, so the new tempo may show at once and give way to the last beat's until a
  # beat at the new tempo is heard (as with a step button): it must show within 1 s and stay.
  changed=$(awk -v j="$joined" -v b="$bpm" '$1 > j && $3 > b + 0.5 { print $1; exit }' "$WORK/beats.log")
  read -r last first < <(awk -v c="${changed:-0}" -v t=$((bpm + 1)) '$1 == "tempo" && $2 == "shown" {
      v = $3; if (v == t && $5 >= c && !f) f = $5 } END { printf "%s %.0f\n", v, f }' "$WORK/program.out")
  if [ -n "$changed" ] && [ "$last" = "$((bpm + 1))" ] && [ "$first" -gt 0 ] && [ $((first - changed)) -le 1000000 ]; then
    echo "tempo set in the peer   shown by the program $(((first - changed) / 1000)) ms after the session's change"
  else
    fail "the peer's tempo $((bpm + 1)) was not shown in the program's number within 1 s (session changed at ${changed:-?} us, first shown at $first us, shown last $last)"
  fi
  sleep 1
  key plus # the program one faster: the peer follows
  for _ in $(seq 20); do [ "$(hut_tempo)" = "$((bpm + 2))" ] && break; sleep 0.05; done
  if [ "$(hut_tempo)" = "$((bpm + 2))" ]; then echo "tempo set in the program reached the peer: $(hut_tempo)"
  else fail "the program's tempo did not reach the peer within 1 s (it shows $(hut_tempo))"; fi
  sleep 2

  # Start and stop shared: the program stopped, its menu's "Start/Stop teilen" on (F10, the eighth
  # entry), the peer's start/stop sync on.
  stopped=$(host_us) # before the click: python starts slowly on a busy machine
  start_stop # STOP
  sleep 0.5
  key F10
  sleep 0.3
  xdotool key Down Down Down Down Down Down Down Return
  printf s >&3
  for _ in $(seq 40); do [[ "$(hut_state 4)" == *yes* ]] && break; sleep 0.05; done
  sleep 0.5
  printf ' ' >&3 # the peer starts: so must the program
  sleep 4
  printf ' ' >&3 # the peer stops: so must the program
  sleep 1.5
  restarted=$(host_us) # before the click, as above
  start_stop # START in the program: the peer starts
  for _ in $(seq 20); do hut_playing && break; sleep 0.05; done
  if hut_playing; then echo "START in the program started the peer"; else fail "START in the program did not start the peer within 1 s"; fi
  sleep 3 # the bar comes within 2.4 s of START (and the output latency)
  start_stop # STOP in the program: the peer stops
  for _ in $(seq 20); do hut_playing || break; sleep 0.05; done
  if hut_playing; then fail "STOP in the program did not stop the peer within 1 s"; else echo "STOP in the program stopped the peer"; fi
  sleep 1
else
  stopped=$(host_us)
  start_stop # STOP
fi
sleep 1
kill -INT "$recorder"
wait "$recorder" || { echo "the recorder failed: $(cat "$WORK/recorder.err" "$WORK/pw_recorder.err" 2>/dev/null)" >&2; exit 1; }
if [ $recorder_tool = pw_recorder ]; then
  pw_blocks_as_reports "$WORK/blocks.log" >"$WORK/timing.log"
  cp "$WORK/pw_recorder.err" "$WORK/recorder.err"
fi
exec 3>&- 4>&-
kill -TERM "$reference" # others hold its input open: it ends on the signal, its log complete
wait "$reference" || true
kill -0 "$PROGRAM_PID" 2>/dev/null || { echo "the program ended: $(cat "$WORK/program.out")" >&2; exit 1; }
if [ $e2e -eq 1 ]; then
  # The program alone in Link, 15,000 malformed datagrams to its ports; a peer started then.
  kill -TERM "$hut_pid"; wait "$hut_pid" 2>/dev/null || true
  flood_from=$(host_us)
  python3 -c 'import os, socket, sys
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
s.setsockopt(socket.IPPROTO_IP, socket.IP_MULTICAST_IF, socket.inet_aton("127.0.0.1"))
for i in range(15000):
    p = int(sys.argv[1 + i % (len(sys.argv) - 1)])
    s.sendto(os.urandom((0, 1 + i % 19, 513 + i % 9000, i % 1500)[i // 7 % 4]), ("224.76.78.75" if p == 20808 else "127.0.0.1", p))' \
    $(ss -Huanp | awk -v p="pid=$PROGRAM_PID," 'index($0, p) { sub(/.*:/, "", $4); print $4 }')
  flooded=$(host_us)
  # It must find the program (measure its session) within 5 s, and the program hear it: its tempo.
  "$build/link_beats" "$WORK/late.log" < <(sleep 5; echo tempo 123; sleep 2) & late_peer=$!
  sleep 6.5; kill -TERM "$late_peer"; wait "$late_peer" || true
  found=$(awk -v f="$flooded" '$4 >= 1 { print int(($1 - f) / 1000); exit }' "$WORK/late.log")
  heard=$(awk -v f="$flooded" '$1 $2 $3 == "temposhown123" && $5 > f { print "yes"; exit }' "$WORK/program.out")
  if [ -n "$found" ] && [ "$found" -le 5000 ] && [ -n "$heard" ]; then
    echo "after $(((flooded - flood_from) / 1000)) ms of malformed datagrams a new peer found the program $found ms later, which took its tempo"
  else fail "after a flood of malformed datagrams a new peer found the program after ${found:-no} ms (5 s at most), its tempo shown: ${heard:-no}"; fi
fi
[ -n "$keep" ] && cp "$BENCH_RECORDING" "$WORK/timing.log" "$WORK/beats.log" "$WORK/program.out" "$WORK/pulse.log" \
  "$WORK/recorder.err" "$keep/"
underruns=$(pulse_underruns "$from_line")
echo "host times              the program joined at $joined us (the reference peer saw it, $(((joined - linked) / 1000)) ms after key L), STOP at $stopped us"
echo "stream underruns         $underruns since START (the program's stream ran dry at the server)"
echo "recorder                $(sed -n 's/^\(monitor\|pw\)_recorder: //p' "$WORK/recorder.err")${rt:+ (real-time priority)}"
[ "${BENCH_SERVER:-}" = pipewire ] && echo "output                  ${METRONOM_OUTPUT:-chosen by the program} on PipeWire, graph cycle ${quantum:-as asked (the recorder 256)}"

if [ $recorder_tool = pw_recorder ]; then find_sink_clicks; else find_clicks "$bpm"; fi

awk -v rate="${BENCH_RATE:-44100}" -v joined="$joined" -v restarted="${restarted:-0}" -v skip="$skip" -v stopped="$stopped" -v bpm="$bpm" -v load="$load" -v e2e="$e2e" -v underruns="$underruns" "$FIT_PLAYED_AWK"'
  FILENAME == ARGV[1] { read_report(); next }  # FRAMES RAW_NS LATENCY_US SINK_US QUEUED PLAYED_RAW_NS
  FILENAME == ARGV[2] { m++; bt[m] = $1; bb[m] = $2; bpmAt[m] = $3; on[m] = $5; next }   # HOST_US BEAT TEMPO PEERS PLAYING
  FILENAME == ARGV[3] { onset[++clicks] = $1; next }
  function frac(x) { return x - int(x) + (x < int(x) ? 1 : 0) }
  function sortAbs(a, k,   i, j, v) {
    for (i = 2; i <= k; i++) { v = a[i]; for (j = i - 1; j >= 1 && a[j] > v; j--) a[j + 1] = a[j]; a[j + 1] = v }
  }
  # Clicks (host times, microseconds) in [from, to).
  function clicksIn(from, to,   c, k) { k = 0; for (c = 1; c <= clicks; c++) if (host[c] >= from && host[c] < to) k++; return k }
  function firstClick(from, to,   c) { for (c = 1; c <= clicks; c++) if (host[c] >= from && host[c] < to) return host[c]; return 0 }
  # The session beats in [from, to) (where its beat time crosses a whole beat between two log lines;
  # a jump, a start renumbering the beats, is none) and, of them, those with no click within 50 ms.
  function beatsIn(from, to,   i, k, x) {
    k = 0; unheard = 0
    for (i = 2; i <= m; i++) {
      if (bb[i] - bb[i - 1] <= 0 || bb[i] - bb[i - 1] > 0.1 || frac(bb[i]) >= frac(bb[i - 1])) continue
      x = bt[i - 1] + (bt[i] - bt[i - 1]) * (1 - frac(bb[i - 1])) / (bb[i] - bb[i - 1])
      if (x < from || x >= to) continue
      k++
      if (clicksIn(x - 5e4, x + 5e4) == 0) { unheard++; printf "no click within 50 ms of the session beat at %.0f us\n", x }
    }
    return k
  }
  # How far (ms) the click at host time h lies off the nearest session beat; "" outside the log.
  function offBeat(h,   j, d, beat) {
    while (ob > 1 && bt[ob] > h) ob--
    while (ob < m && bt[ob + 1] < h) ob++
    j = ob
    if (j < 1 || j >= m || bt[j] > h) return ""
    # The beat between two log lines 2 ms apart (a start may renumber the beats by whole bars).
    d = bb[j + 1] - bb[j]; d -= int(d + (d < 0 ? -0.5 : 0.5))
    beat = bb[j] + d * (h - bt[j]) / (bt[j + 1] - bt[j]); lastBeat = beat; lastBpm = bpmAt[j]
    return (beat - int(beat + (beat < 0 ? -0.5 : 0.5))) * 60000 / bpmAt[j]
  }
  function check(ok, what) { if (!ok) { print "FAILED: " what; failed = 1 } else print "start/stop shared      " what }
  END {
    if (n < 10 || m < 10) { print "too few timing lines" > "/dev/stderr"; exit 1 }
    fit_played()
    for (c = 1; c <= clicks; c++) host[c] = played(onset[c]) / 1000
    # From the peer being found: the last click more than 10 ms off the session beat (on another
    # grid) in the first five seconds, and the first click after it (from then on all are on it).
    lastOff = 0; offBy = 0; onGrid = 0
    for (c = 1; c <= clicks; c++) {
      h = host[c]
      if (h < joined || h >= joined + 5e6 || (ms = offBeat(h)) == "") continue
      if (ms > 10 || ms < -10) { lastOff = h; offBy = ms; onGrid = 0 } else if (!onGrid) onGrid = h
    }
    k = 0; worst = 0
    for (c = 1; c <= clicks; c++) {
      h = host[c]
      if (h < joined + skip * 1e6 || (ms = offBeat(h)) == "") continue  # the first moments after joining
      err[++k] = ms; a = ms < 0 ? -ms : ms; abs[k] = a
      if (a > 10) printf "click at %.0f us %+.2f ms off the session beat\n", h, ms
      if (a > (worst < 0 ? -worst : worst)) worst = ms
    }
    if (k == 0) { print "no click after joining" > "/dev/stderr"; exit 1 }
    sortAbs(err, k); median = k % 2 ? err[(k + 1) / 2] : (err[k / 2] + err[k / 2 + 1]) / 2
    sortAbs(abs, k); p95 = abs[int(0.95 * k + 0.999)]
    # The measured part: from a second after joining until STOP, less what was still to be heard.
    beats = beatsIn(joined + skip * 1e6, stopped - 3e5); missing = unheard
    printf "recorder line           %d of %d timing reports within 0.5 ms, scatter std dev %.3f ms, worst %.3f ms; sink %.1f ppm off nominal\n", fitUsed, n, fitSd / 1e6, fitWorst / 1e6, (slope * rate / 1e9 - 1) * 1e6
    printf "clicks                  %d after the first second in the session; until STOP %d session beats, %d of them without a click\n", k, beats, missing
    if (onGrid) printf "on the session grid     from %.0f ms after the peer was found (every click within 10 ms from then)%s\n", (onGrid - joined) / 1000, lastOff ? sprintf("; the last click off it at %.0f ms, %+.1f ms off", (lastOff - joined) / 1000, offBy) : ""
    else print "on the session grid     not within five seconds of the peer being found"
    printf "click - session beat    median %+.2f ms, 95 %% within %.2f ms, worst %+.2f ms\n", median, p95, worst
    printf "| %s BPM | %s | %d of %d | %+.2f ms | %.2f ms | %+.2f ms | %.3f ms, %.3f ms |\n", bpm, load ? "--load " load : "idle", beats - missing, beats, median, p95, worst, fitSd / 1e6, fitWorst / 1e6
    if (!e2e) exit 0
    if (lastOff > joined + 4e5) { printf "FAILED: a click %.0f ms after the peer was found was off its grid\n", (lastOff - joined) / 1000; failed = 1 }
    # A stream running dry at the server (a machine too busy for the sound server) loses or delays
    # the clicks it covers: then those are reported, not failed.
    if (underruns > 0 && (missing > 0 || worst > 10 || worst < -10))
      print "NOT CHECKED: the stream ran dry at the server " underruns " times; clicks lost or late there are the server'"'"'s"
    else {
      if (median > 2 || median < -2 || worst > 10 || worst < -10) { print "FAILED: clicks off the session beat"; failed = 1 }
      if (missing > 0) { print "FAILED: session beats without a click"; failed = 1 }
    }
    # The stretches the shared session played after the program stopped: the peer started it (s1 to
    # e1), then the program (s2).
    for (i = 2; i <= m; i++) if (bt[i] > stopped && on[i] != on[i - 1]) { if (on[i]) start[++starts] = bt[i]; else end[++ends] = bt[i] }
    if (starts < 2 || ends < 1) { print "FAILED: the session played " starts " times after STOP (2 expected)"; exit 6 }
    s1 = start[1]; e1 = end[1]; s2 = start[2]
    for (i = 1; i < m && bt[i] < s1; i++) ; bar = 4 * 60e6 / bpmAt[i]
    first = firstClick(s1, e1)
    check(clicksIn(stopped + 1e6, s1) == 0, "no click after STOP until the peer started")
    check(first > 0 && first <= s1 + bar + 5e5, sprintf("the peer started: first click %.0f ms later (its bar comes within %.0f ms)", (first - s1) / 1000, bar / 1000))
    during = beatsIn(first - 5e4, e1 - 3e5)
    check(first > 0 && unheard == 0, sprintf("%d clicks while the peer played, %d of its %d beats without one", clicksIn(first, e1), unheard, during))
    check(clicksIn(e1 + 5e5, s2) == 0, "no click after the peer stopped until START")
    # START in the program with the stopped peer there: nothing until the next bar of the session.
    first = firstClick(restarted, restarted + 5e6); r = 9
    if (first > 0 && offBeat(first) != "") { r = lastBeat - 4 * int(lastBeat / 4); if (r < 0) r += 4; if (r > 2) r -= 4 }
    if (r == 9) check(0, "START in the program: no click within 5 s")
    else check(r * 60000 / lastBpm < 10 && r * 60000 / lastBpm > -10, sprintf("START in the program: its first click %.0f ms later, %+.1f ms off the session'"'"'s bar", (first - restarted) / 1000, r * 60000 / lastBpm))
    exit failed ? 6 : 0
  }' "$WORK/timing.log" "$WORK/beats.log" "$WORK/onsets" || status=$?
exit $status
