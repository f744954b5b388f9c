#!/usr/bin/env bash
# Tells, on PipeWire, a shift of the beats that the sink played from a fault of the recorder: the
# program plays at 120 BPM while two pilot pulse trains are played into the same sink, one through
# pipewire-pulse (paplay, a PulseAudio stream as the program's) and one by a native client
# (pw-play); the sink's monitor is recorded twice (parec with 10 ms, the bench's recorder, and with
# 200 ms). tools/pilot_grids.py then lists where each grid moved in each recording.
#
# Reading it: a step of all three grids alike in one recording is the recorder's own (it lost or
# repeated a block of the graph); a step of one grid alone, the same in both recordings, is a
# stream the sound server played a block later or earlier. bench/measure.sh on PipeWire cannot
# tell the two apart.
#
# Why a stream is played a block later: pipewire-pulse runs the graph nodes of all its streams on
# one thread, one after the other, in the order the graph woke them. When the graph's next cycle
# begins before that thread got to a stream's node, it runs the node once for both cycles and logs
# "client missed N wakeups" (pw.node at info level, turned on here): the sink plays N cycles of
# silence in that stream's place and the stream plays N cycles later from then on. The count per
# stream is printed last; two streams' grids move apart by the difference of their counts.
#
# Usage: bench/pipewire-pilot.sh [--seconds N] [--load N] [--build DIR] [--keep DIR]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
export BENCH_SERVER=pipewire
. "$here/bench/lib.sh"
build=$here/build
seconds=60
load=0
BENCH_KEEP=""
while [ $# -gt 0 ]; do
  case $1 in
    --seconds) seconds=$2; shift 2 ;;
    --load) load=$2; shift 2 ;;
    --build) build=$2; shift 2 ;;
    --keep) BENCH_KEEP=$(cd "$2" && pwd); shift 2 ;;
    *) echo "unknown option $1" >&2; exit 1 ;;
  esac
done
need_tools Xvfb xdotool pulseaudio parec paplay pw-play pactl python3

bench_setup
keep() {
  [ -n "$BENCH_KEEP" ] && cp "$WORK"/rec10.wav "$WORK"/rec200.wav "$WORK"/pulse.log "$BENCH_KEEP/" 2>/dev/null
  bench_cleanup
}
trap keep EXIT
# The pilots: right channel only, 8 samples of +8000 at mid-beat (paplay) and of -8000 a quarter
# beat in (pw-play), every 22050 frames, for the whole run.
python3 - "$WORK" $((seconds + 30)) <<'PY'
import array, sys, wave
work, seconds = sys.argv[1], int(sys.argv[2])
for name, at, level in (("pilot-pa.wav", 11025, 8000), ("pilot-pw.wav", 5512, -8000)):
    frames = array.array("h", bytes(4 * 44100 * seconds))
    for beat in range(at, 44100 * seconds - 8, 22050):
        for i in range(beat, beat + 8):
            frames[2 * i + 1] = level
    with wave.open(f"{work}/{name}", "wb") as w:
        w.setnchannels(2); w.setsampwidth(2); w.setframerate(44100); w.writeframes(frames.tobytes())
PY
export BENCH_PULSE_DEBUG=${BENCH_PULSE_DEBUG-mod.protocol-pulse:4,pw.node:3}
start_pulse || { echo "PipeWire does not start" >&2; exit 1; }
start_recorder "$WORK/rec10.wav"
recorder10=$RECORDER
parec -d metronom.monitor --format=s16le --rate=44100 --channels=2 --latency-msec=200 --file-format=wav "$WORK/rec200.wav" &
recorder200=$!
BENCH_PIDS+=("$recorder200")
paplay -d metronom "$WORK/pilot-pa.wav" &
BENCH_PIDS+=($!)
pw-play --target metronom "$WORK/pilot-pw.wav" &
BENCH_PIDS+=($!)
start_xvfb
start_load "$load"
choose_output
start_program "$build/metronom"
sleep 1
start_stop # START
sleep "$seconds"
start_stop # STOP
sleep 1.5
kill "$recorder10" "$recorder200" 2>/dev/null || true
wait "$recorder10" "$recorder200" 2>/dev/null || true
echo "120 BPM for $seconds s$([ "$load" -gt 0 ] && echo ", $load busy processes"); underruns pipewire-pulse logged (all streams): $(pulse_underruns 0)"
python3 "$here/tools/pilot_grids.py" "$WORK/rec10.wav" "$WORK/rec200.wav"
echo "wake-ups of a stream's node pipewire-pulse missed (both recorders count as parec; two streams'"
echo "grids move apart by the difference of their counts):"
awk '/client missed [0-9]+ wakeups/ {
       name = $0; sub(/.*\(/, "", name); sub(/-[0-9]+\) client missed.*/, "", name)
       n = $0; sub(/.*client missed /, "", n); missed[name] += n + 0
     }
     END { for (name in missed) printf "  %-14s %d\n", name, missed[name]; if (length(missed) == 0) print "  none" }' "$WORK/pulse.log"
