#!/usr/bin/env bash
# The sound output against a private PulseAudio server with a null sink (see pulse_output_check.cpp):
# the fallback to SDL, clicks on their grid across an underrun (recorded from the sink's monitor
# and checked to the sample), resting, and a server that goes away and comes back. Skipped (77)
# where PulseAudio is not installed or cannot start.
set -u
program=$1 analyze=$2
for tool in pulseaudio parec pactl; do
  command -v $tool >/dev/null || { echo "$tool is not installed"; exit 77; }
done
work=$(mktemp -d)
export XDG_RUNTIME_DIR=$work HOME=$work PULSE_RUNTIME_PATH=$work/pulse
unset SDL_AUDIODRIVER PULSE_SERVER
chmod 700 "$work"
trap 'kill $recorder 2>/dev/null; pulseaudio --kill 2>/dev/null; rm -rf "$work"' EXIT
recorder=""
fail() { echo "FAILED: $*"; exit 1; }
start="pulseaudio -n --daemonize=yes --exit-idle-time=-1 --log-target=stderr --log-level=error \
  -L 'module-null-sink sink_name=out rate=44100 channels=2' -L module-native-protocol-unix"
stop="pulseaudio --kill"
eval "$start" || { echo "pulseaudio does not start here"; exit 77; }
for _ in $(seq 50); do pactl info >/dev/null 2>&1 && break; sleep 0.1; done

"$program" fallback || fail "fallback"
echo "fallback to SDL: ok"

parec -d out.monitor --format=s16le --rate=44100 --channels=2 --latency-msec=10 --file-format=wav "$work/clicks.wav" &
recorder=$!
sleep 0.5
"$program" clicks || fail "clicks"
kill $recorder; wait $recorder 2>/dev/null
report=$("$analyze" "$work/clicks.wav" --bpm 120 --list) || fail "clicks lost or off the grid: $report"
# Every interval exactly 22050 frames, the one across the underrun too.
awk '/^beat/ && $6 > 0 && ($6 < 22049 || $6 > 22051) {bad = 1; print "  off the grid: " $0} END {exit bad}' <<<"$report" ||
  fail "a click moved: $report"
echo "$report" | grep -E 'beats found|mean interval|dropout' | sed 's/^/  /'
echo "clicks on their grid across the underrun: ok"

"$program" recovery "$start" "$stop" || fail "recovery"
echo "recovery: ok"
