#!/usr/bin/env python3
# The clicks of one or more recordings of PipeWire sinks' monitors (tools/pw_recorder: WAV and block
# log each, the blocks timed by their cycle's pw_time.now on CLOCK_MONOTONIC) on one time line: each
# click's time played (a null sink's monitor passes a block one cycle late while reporting no delay:
# that cycle is taken off), a click found in two recordings counted once. Prints every interval that
# is not PERIOD ms (within 0.1 ms) and EVENTS (lines "NS WHAT", CLOCK_MONOTONIC) where they come; then
# how far the clicks after each event lie off the grid of those before it (in whole periods: a beat
# played into nothing while the sink was away counts as a period, as on a sound card).
# A click is its first frame above 1000 after 20 ms without one.
# Usage: sink_times.py PERIOD_MS EVENTS REC.wav BLOCKS.log [REC.wav BLOCKS.log ...]; exit 1 when two
# clicks come closer than 0.9 PERIOD_MS (a beat doubled or early).
import array, bisect, sys, wave
period = float(sys.argv[1]) * 1e6
events = [(int(float(l.split()[0])), " ".join(l.split()[1:])) for l in open(sys.argv[2]) if l.strip()]
clicks, found, breaks = [], {}, []
for wav, log in zip(sys.argv[3::2], sys.argv[4::2]):
    w = wave.open(wav); rate = w.getframerate()
    d = array.array("h", w.readframes(w.getnframes()))[0::2]
    blocks = [tuple(map(int, l.split())) for l in open(log)]
    starts = [b[0] for b in blocks]
    # Where the recorder's blocks do not follow each other in time (a cycle it missed, a move to
    # another sink): shown beside two clicks too close, as a click cut there may be found twice.
    breaks += [b[1] for a, b in zip(blocks, blocks[1:]) if abs(b[1] - a[1] - a[2] * 1e9 / rate) > 1e6]
    loud = -10**9
    for i, v in enumerate(d):
        if abs(v) >= 1000:
            if i - loud >= rate // 50:
                b = blocks[max(0, bisect.bisect_right(starts, i) - 1)]
                t = b[1] + (i - b[0] - b[2]) * 1e9 / rate
                clicks.append(t)
                found[t] = f"{wav.split('/')[-1]} frame {i}, peak {max(abs(x) for x in d[i:i + rate // 50])}"
            loud = i
clicks.sort()
clicks = [t for k, t in enumerate(clicks) if k == 0 or t - clicks[k - 1] > 2e6]
for a, b in zip(clicks, clicks[1:]):
    if b - a < 0.9 * period:
        cut = [f"{(t - a) / 1e6:.1f}" for t in breaks if a - 5e7 <= t <= b + 5e7]
        print(f"  too close: {found[a]}; {found[b]}; recorder breaks at {', '.join(cut) or 'none'} ms from the first")
ev = sorted(events)
for a, b in zip(clicks, clicks[1:]):
    if abs(b - a - period) > 1e5:
        near = [w for t, w in ev if a - 5e8 <= t <= b]
        print(f"  {(b - a) / 1e6:9.2f} ms between clicks at {a / 1e9:.3f} s and {b / 1e9:.3f} s"
              + (f" ({', '.join(near)})" if near else ""))
for t, what in ev:
    before = [c for c in clicks if c < t]
    after = [c for c in clicks if c > t]
    if before and after:
        n = (after[0] - before[-1]) / period
        print(f"  {what}: the first click after it {(after[0] - before[-1] - round(n) * period) / 1e6:+.2f} ms off the grid "
              f"before it ({round(n)} periods on, {(after[0] - t) / 1e6:.0f} ms after the event)")
print(f"  {len(clicks)} clicks")
sys.exit(1 if any(b - a < 0.9 * period for a, b in zip(clicks, clicks[1:])) else 0)
