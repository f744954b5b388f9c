#!/usr/bin/env python3
# START and STOP against the clicks played at a PipeWire null sink: PRESSES.log has one line per
# press, "start NS" or "stop NS" (CLOCK_MONOTONIC, tools/x11_press.py); REC.wav and BLOCKS.log come
# from pw_recorder on the sink's monitor (each block's first frame, its cycle's start and length). A
# null sink's monitor passes each block one cycle after the sink played it while reporting no delay:
# that cycle is taken off here. For each START: its first click, ms after the press; for each STOP:
# every click that starts after the press, ms after it, and whether it started later than one cycle
# (the cycle the sink ran at then) after it.
# Usage: presses_vs_sink.py PRESSES.log REC.wav BLOCKS.log; exit 1 when a click started later than a
# cycle after a STOP.
import array, bisect, statistics, sys, wave
presses = [(l.split()[0], int(l.split()[1])) for l in open(sys.argv[1]) if l.strip()]
w = wave.open(sys.argv[2]); rate = w.getframerate()
d = array.array("h", w.readframes(w.getnframes()))[0::2]
blocks = [tuple(map(int, l.split())) for l in open(sys.argv[3])]
starts = [b[0] for b in blocks]
onsets, loud = [], -10**9
for i, v in enumerate(d):
    if abs(v) >= 1000:
        if i - loud >= rate // 50: onsets.append(i)
        loud = i
def block_of(frame): return blocks[max(0, bisect.bisect_right(starts, frame) - 1)]
def played(frame):  # ns at which the sink played this frame of the recording
    b = block_of(frame)
    return b[1] + (frame - b[0]) * 1e9 / rate - b[2] * 1e9 / rate
times = [(played(o), block_of(o)[2] * 1e3 / rate) for o in onsets]
first, late, after = [], 0, []
for k, (what, at) in enumerate(presses):
    until = presses[k + 1][1] if k + 1 < len(presses) else float("inf")
    clicks = [(t, c) for t, c in times if at <= t < until]
    if what == "start":
        if clicks: first.append((clicks[0][0] - at) / 1e6)
        else: print(f"  START at {at}: no click before the next press")
    else:
        for t, cycle in clicks:
            ms = (t - at) / 1e6
            after.append(ms)
            over = ms > cycle
            late += over
            print(f"  STOP at {at}: a click {ms:.2f} ms after it (cycle {cycle:.2f} ms){', LATER than a cycle' if over else ''}")
stops = sum(1 for p in presses if p[0] == "stop")
if first:
    print(f"  START to its first click: median {statistics.median(first):.1f} ms, from {min(first):.1f} to {max(first):.1f} ms "
          f"({len(first)} starts)")
print(f"  STOP: {len(after)} clicks started after {stops} presses"
      + (f" ({min(after):.2f} to {max(after):.2f} ms after)" if after else "")
      + f", {late} later than a cycle after the press")
sys.exit(1 if late else 0)
