#!/usr/bin/env bash
# The sound output's stream moved between two sinks of a private PulseAudio server, one of them
# suspended (see pulse_output_check.cpp, --moves). Skipped (77) where PulseAudio is missing.
. "$(dirname "$0")/../e2e/lib.sh"
program=$1
setup_dirs
need_pulse
pactl load-module module-null-sink sink_name=other rate=44100 channels=2 >/dev/null || fail "no second sink"
# A null sink with no reader stalls: both are read.
parec -d metronom.monitor --latency-msec=10 >/dev/null &
PIDS+=($!)
parec -d other.monitor --latency-msec=10 >/dev/null &
PIDS+=($!)
sleep 0.5
"$program" --moves || fail "moves"
echo "the suspended state follows the moves: ok"
