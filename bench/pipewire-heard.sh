#!/usr/bin/env bash
# The frame the sound output takes as heard (what the pendulum shows) against when each click was
# played at a private PipeWire's null sink (48 kHz), for the native stream and through
# pipewire-pulse, with the graph's cycle forced to each QUANTUM: pulse_output_check --heard plays a
# click every 22050 frames and logs the heard frame; pw_recorder records the sink in its own frames;
# tools/heard_vs_sink.py pairs them. The drawing's own delay is not in it (bench/sync.sh measures
# the window).
# Usage: bench/pipewire-heard.sh [--seconds N] [--build DIR] [QUANTUM ...]   (default 256 1024)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
export BENCH_SERVER=pipewire BENCH_RATE=48000
. "$here/bench/lib.sh"
build=$here/build seconds=10 quanta=()
while [ $# -gt 0 ]; do
  case $1 in
    --seconds) seconds=$2; shift 2 ;;
    --build) build=$2; shift 2 ;;
    *) quanta+=("$1"); shift ;;
  esac
done
[ ${#quanta[@]} -gt 0 ] || quanta=(256 1024)
need_tools pulseaudio pactl python3
bench_setup
BENCH_PULSE_DEBUG="" start_pulse || { echo "PipeWire does not start" >&2; exit 1; }
for quantum in "${quanta[@]}"; do
  pw-metadata -n settings 0 clock.force-quantum "$quantum" >/dev/null
  for output in pipewire pulse; do
    "$build/pw_recorder" --target metronom --wav "$WORK/rec.wav" --log "$WORK/blocks.log" --latency "$quantum" \
      --seconds $((seconds + 10)) 2>/dev/null &
    recorder=$!
    sleep 0.5
    METRONOM_OUTPUT=$output "$build/tests/sound/pulse_output_check" --heard "$WORK/heard.log" "$seconds" >/dev/null
    kill -INT "$recorder"; wait "$recorder" 2>/dev/null || true
    echo "quantum $quantum, output $output:"
    python3 "$here/tools/heard_vs_sink.py" "$WORK/heard.log" "$WORK/rec.wav" "$WORK/blocks.log" 4 | tail -1 || true
  done
done
