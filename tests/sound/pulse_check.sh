#!/usr/bin/env bash
# The sound output against a private PulseAudio server with a null sink "metronom", one mode of
# pulse_output_check.cpp each (see there). Skipped (77) where PulseAudio is missing.
#   pulse_check.sh output|stop|moves|heard PROGRAM [ANALYZE [RECORDER]]
. "$(dirname "$0")/../e2e/lib.sh"
mode=$1 program=$2 analyze=${3:-} recorder=${4:-}
setup_dirs
need_pulse
if [ "$mode" = moves ]; then # a second sink; a null sink with no reader stalls: both are read
  pactl load-module module-null-sink sink_name=other rate=44100 channels=2 >/dev/null || fail "no second sink"
  parec -d other.monitor --latency-msec=10 >/dev/null & PIDS+=($!)
fi
record "$WORK/clicks.wav"
sleep 0.5
if [ "$mode" != heard ]; then
  out=$("$program" "--$mode") || fail "$mode: $out"
  echo "$out" | sed 's/^/  /'
  kill $RECORDER; wait $RECORDER 2>/dev/null
  [ -z "${KEEP_WAV:-}" ] || cp "$WORK/clicks.wav" "$KEEP_WAV"
fi
case $mode in
output) # every interval exactly 22050 frames, the one across the underrun too
  report=$("$analyze" "$WORK/clicks.wav" --bpm 120 --list) || fail "clicks lost or off the grid: $report"
  awk '/^beat/ && $6 > 0 && ($6 < 22049 || $6 > 22051) {bad = 1; print "  off the grid: " $0} END {exit bad}' <<<"$report" ||
    fail "a click moved: $report"
  echo "$report" | grep -E 'beats found|mean interval|dropout' | sed 's/^/  /'
  echo "clicks on their grid across the underrun: ok" ;;
stop) # a click the server already holds when STOP is pressed is not heard
  expected=$(sed -n 's/.*clicks begun before the STOPs: \([0-9]*\).*/\1/p' <<<"$out")
  report=$("$analyze" "$WORK/clicks.wav")
  found=$(sed -n 's/^beats found *\([0-9]*\).*/\1/p' <<<"$report")
  [ "$found" -eq "$expected" ] || fail "$found clicks recorded, $expected expected (a click sounded after a STOP): $report"
  echo "no click after a STOP: ok" ;;
moves)
  echo "the suspended state follows the moves: ok" ;;
heard) # the frame heard (the pendulum) against the clicks played on a device plugged in while it plays
  "$program" --heard "$WORK/heard.log" 9 & check=$!; PIDS+=($check)
  sleep 2
  # A headset plugged in, its monitor recorded, and the stream moved there as in the sound settings.
  pactl load-module module-null-sink sink_name=usb rate=44100 channels=2 >/dev/null || fail "no second sink"
  "$recorder" --device usb.monitor --wav "$WORK/usb.wav" --log "$WORK/usb.log" & rec=$!; PIDS+=($rec)
  sleep 1.5
  pactl move-sink-input "$(pactl list short sink-inputs | cut -f1 | head -n1)" usb || fail "the stream was not moved"
  wait $check || fail "the check failed"
  kill -INT $rec; wait $rec || fail "the recorder failed"
  "$analyze" "$WORK/usb.wav" --bpm 120 --list | awk '/^beat / {print $4}' >"$WORK/onsets"
  [ "$(wc -l <"$WORK/onsets")" -ge 6 ] || fail "too few clicks on the new device: $(cat "$WORK/onsets")"
  # The time each recorded frame was played: a straight line through the recorder's raw reports
  # (frame QUEUED - 1 played at PLAYED_NS), those more than 1 ms off a first line left out. The heard
  # frame reaches a click's frame when it is played.
  awk '
    function fit(lim,   i, k, sf, st, sff, sft, d) {
      k = sf = st = sff = sft = 0
      for (i = 1; i <= n; i++) if (lim == 0 || (t[i] - played(f[i]) < lim && played(f[i]) - t[i] < lim)) {
        d = f[i] - f[1]; sf += d; st += t[i] - t[1]; sff += d * d; sft += d * (t[i] - t[1]); k++
      }
      b = (k * sft - sf * st) / (k * sff - sf * sf); a = (st - b * sf) / k
    }
    function played(frame) { return t[1] + a + b * (frame - f[1]) }
    FILENAME == ARGV[1] { if (NF >= 6 && $5 > 0) { n++; f[n] = $5 - 1; t[n] = $6 } next }
    FILENAME == ARGV[2] { m++; ht[m] = $1; hf[m] = $2; next }
    { onset[++c] = $1 }
    END {
      fit(0); fit(1e6)
      for (j = 1; j <= c; j++) {
        p = played(onset[j]); best = -1
        # Where the heard frame passed a multiple of 22050 (a click), the one nearest in time.
        for (i = 2; i <= m; i++) {
          k = int(hf[i] / 22050)
          if (k * 22050 <= hf[i - 1] || hf[i] <= hf[i - 1]) continue
          x = ht[i - 1] + (ht[i] - ht[i - 1]) * (k * 22050 - hf[i - 1]) / (hf[i] - hf[i - 1])
          d = x - p; if (best < 0 || (d < 0 ? -d : d) < best) { best = d < 0 ? -d : d; off = d }
        }
        ms = off / 1e6
        printf "  click %d: heard frame %+.2f ms from the click played\n", j, ms
        if (best < 0 || ms < -4 || ms > 7) bad = 1
      }
      exit bad
    }' "$WORK/usb.log" "$WORK/heard.log" "$WORK/onsets" || fail "the heard frame is off the clicks on the new device"
  echo "the heard frame follows the clicks on a device the stream moved to: ok" ;;
*) fail "unknown mode $mode" ;;
esac
