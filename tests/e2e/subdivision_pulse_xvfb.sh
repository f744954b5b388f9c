#!/usr/bin/env bash
# The practice menu's subdivision heard through the program's own PulseAudio stream (a private
# server's null sink): key U (two clicks a beat), Up three times (volume 100, so that the softer
# click's first step is one the beat analysis takes for an onset), START, and the recorded onsets
# come every half beat at 120, exactly, alternately the beat and a click about 10 dB softer, though
# PULSE_LATENCY_MSEC asks for a latency of its own (the program sets it aside, and says so). No
# settings file is written.
# Skipped (77) where PulseAudio is missing or cannot start.
. "$(dirname "$0")/lib.sh"
start_on_pulse "$1" "$2" PULSE_LATENCY_MSEC=5
grep -q 'ignored PULSE_LATENCY_MSEC=5' "$WORK/out" || fail "PULSE_LATENCY_MSEC not set aside: $(cat "$WORK/out")"
xdotool windowfocus --sync "$ID"
xdotool key u Up Up Up
press_start
sleep 1.5
listen 5 16 --bpm 240 --list --strict
[ $STATUS -eq 0 ] || fail "onsets not every half beat at 120 (status $STATUS): $REPORT"
# Each onset against the next, about 10 dB apart, louder and softer in turn (one at the first frame
# is a sound the recording cut into).
awk '/^beat / && $4 > 0 { for (i = 1; i <= NF; i++) if ($i == "adds") e[n++] = $(i + 1) }
     END {
       bad = 0
       for (i = 1; i < n; i++) {
         d = e[i] - e[i - 1]
         if (d < 0) d = -d
         if (d < 7 || d > 13 || (i > 1 && (e[i] - e[i - 1]) * (e[i - 1] - e[i - 2]) >= 0)) bad++
       }
       printf "%d onsets, %d not alternating by 7..13 dB\n", n, bad
       exit bad > 0
     }' <<<"$REPORT" || fail "not alternately loud and soft: $(grep '^beat' <<<"$REPORT" | head -12)"
grep -E 'beats found|mean interval|worst' <<<"$REPORT"
[ ! -e "$XDG_CONFIG_HOME/metronom" ] || fail "a settings file was written: $(ls -R "$XDG_CONFIG_HOME/metronom")"
echo "1 passed, 0 failed"
