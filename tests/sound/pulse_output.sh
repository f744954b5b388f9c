#!/usr/bin/env bash
# The sound output against a private PulseAudio server with a null sink (see pulse_output_check.cpp):
# clicks on their grid across an underrun, recorded from the sink's monitor and checked to the sample.
# Skipped (77) where PulseAudio is missing.
. "$(dirname "$0")/../e2e/lib.sh"
program=$1 analyze=$2
setup_dirs
need_pulse
record "$WORK/clicks.wav"
sleep 0.5
"$program" || fail "clicks"
kill $RECORDER; wait $RECORDER 2>/dev/null
report=$("$analyze" "$WORK/clicks.wav" --bpm 120 --list) || fail "clicks lost or off the grid: $report"
# Every interval exactly 22050 frames, the one across the underrun too.
awk '/^beat/ && $6 > 0 && ($6 < 22049 || $6 > 22051) {bad = 1; print "  off the grid: " $0} END {exit bad}' <<<"$report" ||
  fail "a click moved: $report"
echo "$report" | grep -E 'beats found|mean interval|dropout' | sed 's/^/  /'
echo "clicks on their grid across the underrun: ok"
