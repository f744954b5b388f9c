#!/usr/bin/env bash
# STOP against a private PulseAudio server (see pulse_output_check.cpp, --stop): a click the server
# already holds when STOP is pressed must not be heard. Skipped (77) where PulseAudio is missing.
. "$(dirname "$0")/../e2e/lib.sh"
program=$1 analyze=$2
setup_dirs
need_pulse
record "$WORK/clicks.wav"
sleep 0.5
out=$("$program" --stop) || fail "stops: $out"
echo "$out" | sed 's/^/  /'
kill $RECORDER; wait $RECORDER 2>/dev/null
[ -z "${KEEP_WAV:-}" ] || cp "$WORK/clicks.wav" "$KEEP_WAV"
expected=$(sed -n 's/.*clicks begun before the STOPs: \([0-9]*\).*/\1/p' <<<"$out")
report=$("$analyze" "$WORK/clicks.wav")
found=$(sed -n 's/^beats found *\([0-9]*\).*/\1/p' <<<"$report")
[ "$found" -eq "$expected" ] || fail "$found clicks recorded, $expected expected (a click sounded after a STOP): $report"
echo "no click after a STOP: ok"
