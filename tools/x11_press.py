#!/usr/bin/env python3
"""Clicks the left mouse button where the pointer is (XTest), once for each line read, and prints
for each the time (CLOCK_MONOTONIC, ns) the press went to the X server (START/STOP reacts on the
press). Timed without a process started per click (xdotool takes milliseconds to start and
connect, more on a busy machine), so a measuring script knows within a fraction of a millisecond
when a press reached the program's X server.

Usage: x11_press.py < LINES   (the display from $DISPLAY; place the pointer first, e.g. with
xdotool mousemove --window WIN X Y). A line holding a number MS presses MS milliseconds after the
press before it (not at once): placed this way to a fraction of a millisecond.
"""
import ctypes
import sys
import time


def main():
    x11 = ctypes.CDLL("libX11.so.6")
    xtst = ctypes.CDLL("libXtst.so.6")
    x11.XOpenDisplay.restype = ctypes.c_void_p
    x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x11.XFlush.argtypes = [ctypes.c_void_p]
    x11.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
    xtst.XTestFakeButtonEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int, ctypes.c_ulong]
    display = x11.XOpenDisplay(None)
    if not display:
        print("x11_press: no display", file=sys.stderr)
        return 1
    last = 0
    for line in sys.stdin:
        if line.strip():
            due = last + int(float(line) * 1e6)
            while (wait := due - time.clock_gettime_ns(time.CLOCK_MONOTONIC)) > 0:
                time.sleep(min(wait, 2_000_000) / 1e9 if wait > 2_000_000 else 0)
        xtst.XTestFakeButtonEvent(display, 1, 1, 0)
        at = time.clock_gettime_ns(time.CLOCK_MONOTONIC)
        x11.XSync(display, 0)
        time.sleep(0.03)
        xtst.XTestFakeButtonEvent(display, 1, 0, 0)
        x11.XSync(display, 0)
        last = at
        print(at, flush=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
