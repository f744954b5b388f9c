#!/usr/bin/env bash
# The practice menu's subdivision heard through the program's own PulseAudio stream (a private
# server's null sink): key U (two clicks a beat), Up three times (volume 100, so that the softer
# click's first step is one the beat analysis takes for an onset), START, and the recorded onsets
# come every half beat at 120, exactly, alternately the beat and a click about 10 dB softer, though
# PULSE_LATENCY_MSEC asks for a latency of its own (the program sets it aside, and says so). No
# settings file is written.
# Then a song (a tempo change, a ramp, 6/8, a list of tempos): exported at the sink's rate twice
# (byte-identical), opened in the running window by a second start, played to its end through the
# same sink: every interval heard equals the export's to 2 frames, and it stops by itself. A bad
# map exports nothing.
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
# Each onset against the next, about 10 dB apart, louder and softer in turn (one at the first frame,
# or less than the 20 ms measured before the last, is a sound the recording cut into).
awk -v frames="$(soxi -s "$WORK/rec.wav")" '/^beat / && $4 > 0 && $4 + 882 <= frames { for (i = 1; i <= NF; i++) if ($i == "adds") e[n++] = $(i + 1) }
     END {
       bad = 0
       for (i = 1; i < n; i++) {
         d = e[i] - e[i - 1]
         if (d < 0) d = -d
         if (d < 7 || d > 13 || (i > 1 && (e[i] - e[i - 1]) * (e[i - 1] - e[i - 2]) >= 0)) bad++
       }
       printf "%d onsets, %d not alternating by 7..13 dB\n", n, bad
       exit bad > 0 || n < 15
     }' <<<"$REPORT" || fail "not alternately loud and soft: $(grep '^beat' <<<"$REPORT")"
grep -E 'beats found|mean interval|worst' <<<"$REPORT"

xdotool key u u u # one click a beat again
press_start       # STOP
printf 'a: 2 120\nb: 1 3/4 90-150\nc: 1 6/8 80\nd: 1 2/4 100,140 # the end\n' >"$WORK/song.txt"
"$PROGRAM" --export "$WORK/song.wav" "$WORK/song.txt" --rate 44100 || fail "the export failed"
"$PROGRAM" --export "$WORK/again.wav" "$WORK/song.txt" --rate 44100 || fail "the second export failed"
cmp -s "$WORK/song.wav" "$WORK/again.wav" || fail "two exports of the song differ"
printf '1 120\n2 9/8 100\n' >"$WORK/bad.txt"
status=0
"$PROGRAM" --export "$WORK/bad.wav" "$WORK/bad.txt" 2>"$WORK/bad.err" || status=$?
[ $status -ne 0 ] && [ "$(wc -l <"$WORK/bad.err")" -eq 1 ] && grep -q "bad.txt, Zeile 2:" "$WORK/bad.err" ||
  fail "a bad map: status $status, said: $(cat "$WORK/bad.err")"
[ -z "$(ls "$WORK" | grep '^bad\.wav')" ] || fail "a bad map left a file: $(ls "$WORK")"
"$PROGRAM" "$WORK/song.txt" || fail "the second start with the song failed"
sleep 1
record "$WORK/live.wav"
sleep 0.3
press_start
sleep 11 # the song lasts 8.8 s after its first click
kill $RECORDER 2>/dev/null; wait $RECORDER 2>/dev/null
sox "$WORK/song.wav" -D -b 16 "$WORK/song16.wav"
intervals() { "$ANALYZE" "$1" --list | awk '/^beat +[0-9]/ { if (n++) printf "%d ", $4 - last; last = $4 }'; }
exported=$(intervals "$WORK/song16.wav")
heard=$(intervals "$WORK/live.wav")
echo "exported intervals: $exported"
echo "heard intervals:    $heard"
awk -v a="$exported" -v b="$heard" 'BEGIN {
  n = split(a, x, " "); m = split(b, y, " ")
  if (n != 18 || m != n) { printf "%d intervals exported, %d heard (18 expected)\n", n, m; exit 1 }
  for (i = 1; i <= n; i++) if (x[i] - y[i] > 2 || y[i] - x[i] > 2) { printf "interval %d: %d exported, %d heard\n", i, x[i], y[i]; exit 1 }
}' || fail "the song heard is not the song exported"
[ ! -e "$XDG_CONFIG_HOME/metronom" ] || fail "a settings file was written: $(ls -R "$XDG_CONFIG_HOME/metronom")"
echo "2 passed, 0 failed"
