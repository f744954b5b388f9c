#!/usr/bin/env python3
# The frame the program takes as heard against when its clicks were played at a PipeWire null
# sink: HEARD.log from pulse_output_check --heard (CLOCK_MONOTONIC ns and the heard frame, every
# 2 ms; clicks at every multiple of 22050 of its frames), REC.wav and BLOCKS.log from pw_recorder on
# the sink's monitor (each block's first frame and its cycle's start). A null sink's monitor passes
# each block one cycle after the sink played it while reporting no delay: that cycle (the block's
# length) is taken off here, never in the program (a real device reports its delay).
# Prints heard - played per click in ms and mean / SD / worst; exit 1 when one is beyond LIMIT ms.
# Usage: heard_vs_sink.py HEARD.log REC.wav BLOCKS.log [LIMIT]
import array, statistics, sys, wave
heard = [tuple(map(float, l.split())) for l in open(sys.argv[1])]
w = wave.open(sys.argv[2]); rate = w.getframerate()
d = array.array("h", w.readframes(w.getnframes()))[0::2]
blocks = [tuple(map(int, l.split())) for l in open(sys.argv[3])]
limit = float(sys.argv[4]) if len(sys.argv) > 4 else 4.0
onsets, loud = [], -960
for i, v in enumerate(d):
    if abs(v) >= 1000:
        if i - loud >= 960: onsets.append(i)
        loud = i
def played(frame):  # ns at which the sink played this frame of the recording
    b = max((x for x in blocks if x[0] <= frame), key=lambda x: x[0])
    return b[1] + (frame - b[0]) * 1e9 / rate - b[2] * 1e9 / rate
crossings = []  # when the heard frame passed a multiple of 22050
for (t0, f0), (t1, f1) in zip(heard, heard[1:]):
    k = int(f1 // 22050)
    if f1 > f0 and k * 22050 > f0:
        crossings.append(t0 + (t1 - t0) * (k * 22050 - f0) / (f1 - f0))
offsets = []
for o in onsets:
    p = played(o)
    near = min(crossings, key=lambda c: abs(c - p), default=None)
    if near is not None and abs(near - p) < 250e6:
        offsets.append((near - p) / 1e6)
if not offsets:
    print("  no click paired with the heard frame"); sys.exit(1)
print("  heard - played per click (ms): " + " ".join(f"{x:+.2f}" for x in offsets))
print(f"  mean {statistics.mean(offsets):+.2f} ms, SD {statistics.pstdev(offsets):.2f} ms, "
      f"worst {max(offsets, key=abs):+.2f} ms over {len(offsets)} clicks")
sys.exit(0 if all(abs(x) <= limit for x in offsets) else 1)
