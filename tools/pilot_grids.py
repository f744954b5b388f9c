#!/usr/bin/env python3
"""Finds where the beats of a recording of the program moved against two pilot pulse trains
played into the same sink, to tell a shift of what was played from a fault of the recorder.

Usage: pilot_grids.py RECORDING.wav [RECORDING.wav ...]

The program plays the same on both channels (the default preset, no pan); the pilots add pulses to
the right channel only: the pilot played through pipewire-pulse (paplay) +8000 at mid-beat, the
one played by a native PipeWire client (pw-play) -8000 a quarter beat in (bench/pipewire-pilot.sh).
So the left channel holds the program alone and right minus left the pilots alone.

For each recording, each of the three grids (every 22050 frames at 120 BPM) is followed from its
first pulse; every step of a grid is printed with its time in the recording. A recorder that loses
or repeats a block moves all three grids alike; a stream that the sound server plays later or
earlier moves its own grid only.
"""
import array
import sys
import wave

PERIOD = 22050  # frames between beats at 120 BPM, 44100 Hz


def onsets(samples, silence):
    """First sample of each sound after `silence` samples of digital silence."""
    found, last = [], -silence - 1
    for i, v in enumerate(samples):
        if v:
            if i - last > silence:
                found.append(i)
            last = i
    return found


def edges(samples, threshold):
    """Rising edges of samples above threshold (threshold > 0) or below it (threshold < 0)."""
    found, inside = [], False
    for i, v in enumerate(samples):
        now = v > threshold if threshold > 0 else v < threshold
        if now and not inside:
            found.append(i)
        inside = now
    return found


def steps(frames):
    """(frame, step) where the grid of `frames` moved, each frame taken against the first one."""
    moved, previous = [], 0
    for f in frames[1:]:
        offset = (f - frames[0]) % PERIOD
        if offset > PERIOD // 2:
            offset -= PERIOD
        if offset != previous:
            moved.append((f, offset - previous))
            previous = offset
    return moved


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    for path in sys.argv[1:]:
        with wave.open(path) as w:
            if w.getnchannels() != 2 or w.getsampwidth() != 2:
                sys.exit(f"{path}: not 16-bit stereo")
            data = array.array("h", w.readframes(w.getnframes()))
        left, right = data[0::2], data[1::2]
        pilots = [r - l for l, r in zip(left, right)]
        grids = [("program", onsets(left, 882)),  # 20 ms of silence before each click
                 ("pilot paplay", edges(pilots, 4000)),
                 ("pilot pw-play", edges(pilots, -4000))]
        print(path)
        for name, frames in grids:
            moved = steps(frames) if len(frames) > 1 else []
            listed = ", ".join(f"{f / 44100:.2f} s {s:+d}" for f, s in moved) or "none"
            print(f"  {name:14s} {len(frames):5d} pulses, grid moved: {listed}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
