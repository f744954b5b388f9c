#!/usr/bin/env bash
# The sound server drops the playing program's stream (its own PulseAudio stream into a private
# server's null sink); it goes away and comes back, once asked to end and once killed: the program lives on and
# its beats come back evenly spaced at the tempo shown; the same after the server suspended the
# device meanwhile, and after every device was gone (silent meanwhile, and said); then STOP and
# START still work and the stream rests (corked) while stopped. Skipped (77) where PulseAudio is missing or cannot start.
. "$(dirname "$0")/lib.sh"
start_on_pulse "$1" "$2"
press_start
listen 4 4 --bpm 120
pactl list sink-inputs | grep -q 'media.name = "Metronom"' || fail "not the program's own PulseAudio stream"
# The server drops the stream and stays up: a new stream plays first what the dropped one had not
# played yet, so that no beat is lost and none comes early (the one after the gap only late).
stream=$(pactl list short sink-inputs | awk 'NR == 1 {print $1}')
(sleep 2; pacmd kill-sink-input "$stream") &
listen 6 10 --bpm 120 --list
# (A beat at the first frame is a click the recording began inside of: the interval from it is not
# one heard.)
early=$(awk '$1 == "beat" { if (last > 0 && $6 < 22000) print; last = $4 }' <<<"$REPORT")
[ -z "$early" ] || fail "a beat came early after the stream was dropped: $early"
[ "$(pactl list short sink-inputs | awk 'NR == 1 {print $1}')" != "$stream" ] || fail "the stream was not dropped"
echo "stream dropped by the server: $BEATS beats, none lost or early"
for how in "asked to end" killed; do
  if [ "$how" = killed ]; then kill -9 "$(cat "$PULSE_RUNTIME_PATH/pid")"; else pulseaudio --kill; fi || fail "no server to end"
  sleep 3 # the program notices the loss and retries without a server
  kill -0 "$PID" 2>/dev/null || fail "the program ended without a server: $(cat "$WORK/out")"
  start_pulse || fail "the server does not start again: $(cat "$WORK/pulse.log")"
  echo "server $how and started again:"
  listen 8 4 --bpm 120 # the program reopens the device within its polling time
  echo "$BEATS beats"
done
said() { # said TEXT: whether the program says TEXT on its error output within 10 s
  for _ in $(seq 100); do grep -q "$1" "$WORK/out" && return 0; sleep 0.1; done
  return 1
}
# The server suspends the device under the playing program (as when another program takes it):
# said on the error output, and the beats come back when it resumes.
pactl suspend-sink metronom 1
said 'Tonserver hat die Ausgabe angehalten' || fail "the suspended device was not said: $(cat "$WORK/out")"
pactl suspend-sink metronom 0
listen 4 4 --bpm 120
echo "device suspended and resumed: $BEATS beats"
# Every device gone under the playing program: it goes on silent and says so; a device that
# comes is played on.
pactl unload-module module-null-sink
said 'kein Ausgabegerät' || fail "no device, and nothing said: $(cat "$WORK/out")"
pactl load-module module-null-sink sink_name=metronom rate=44100 channels=2 >/dev/null
pactl set-default-sink metronom
listen 4 4 --bpm 120
echo "every device gone and one back: $BEATS beats"
# The window still answers: STOP silences it, START plays again.
(sleep 2; press_start; sleep 1.5; pactl list sink-inputs >"$WORK/stopped"
 sleep 0.5; press_start) &
listen 7 6 --bpm 120 --pause 1.6
grep -q 'runs found             2' <<<"$REPORT" || fail "STOP and START were not heard as two runs"
grep -q 'Corked: yes' "$WORK/stopped" || fail "the stream plays on while stopped"
echo "6 passed, 0 failed"
