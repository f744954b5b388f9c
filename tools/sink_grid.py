#!/usr/bin/env python3
# The clicks of a recording of a PipeWire sink's monitor (tools/pw_recorder: WAV and block log, in
# the sink's own frames) against a grid of PERIOD frames: the grid is the place most clicks share;
# a click is on it (+-4 frames: the converter's phase moves by up to half a frame with each skip),
# or late by less than 1024 frames (due in frames the sink played without the stream), or off it.
# None may be doubled, and none missing except where the recorder itself missed the cycle (a hole in
# its log); a click just after such a hole is not judged (the recorder places the blocks around its
# own missed cycles less surely). A click's onset: its first frame above 1000 after 20 ms without one.
# Usage: sink_grid.py REC.wav BLOCKS.log PERIOD [--min-on N]; exit 1 when a click is off the grid,
# doubled or missing, more than 3 are late, or fewer than N (6) are on the grid.
import array, sys, wave
P = int(sys.argv[3])
min_on = int(sys.argv[5]) if len(sys.argv) > 5 else 6  # --min-on N
w = wave.open(sys.argv[1]); d = array.array("h", w.readframes(w.getnframes()))[0::2]
holes, end = [], None
for line in open(sys.argv[2]):
    at, _, n = map(int, line.split())
    if end is not None and at != end: holes.append((end, at))
    end = at + n
onsets, loud = [], -960
for i, v in enumerate(d):
    if abs(v) >= 1000:
        if i - loud >= 960: onsets.append(i)
        loud = i
votes = {}
for t in onsets:
    for e in (-1, 0, 1): votes[(t + e) % P] = votes.get((t + e) % P, 0) + 1
ref = max(votes, key=votes.get)
on = late = holed = uncertain = 0; bad = False; last = None
for t in onsets:
    k = (t - ref + P // 2) // P; off = t - ref - k * P
    if k == last: print(f"  click at {t} doubled"); bad = True
    for m in range(last + 1 if last is not None else k, k):
        e = ref + m * P
        if any(a < e + 1024 and b > e - 1024 for a, b in holes): holed += 1
        else: print(f"  the click due at {e} is missing"); bad = True
    last = k
    if -4 <= off <= 4: on += 1
    elif any(a < t + 64 and b > t - 2048 for a, b in holes):
        uncertain += 1; print(f"  click at {t} off the grid by {off} frames, just after a hole of the recorder")
    elif 4 < off < 1024: late += 1; print(f"  click at {t} late by {off} frames (due in skipped frames)")
    else: print(f"  click at {t} off the grid by {off} frames"); bad = True
offs = [t - ref - ((t - ref + P // 2) // P) * P for t in onsets]
print(f"  clicks on the grid {on} (from {min(offs)} to {max(offs)} frames), late {late}, in the recorder's holes {holed}, "
      f"just after one {uncertain}")
sys.exit(1 if bad or on < min_on or late > 3 else 0)
