#!/usr/bin/env bash
# The sound output's native PipeWire stream against a private PipeWire (need_pipewire: a null sink
# "metronom" at 48 kHz), its monitor recorded natively in the sink's own frames (pw_recorder).
# Skipped (77) where PipeWire is not installed.
#   pipewire_check.sh CHECK RECORDER
# pulse_output_check --output with METRONOM_OUTPUT=pipewire: a click every 22050 frames (24000 of
# the sink), the audio thread stalled 150 ms once, and the daemon stopped for 7 ms six times. The
# graph plays on without the stream's data meanwhile: every click must stay on its frame of the
# sink's grid (a click due in frames the sink played without us sounds less than a cycle late), none
# lost or doubled, and the stream must be a native node, not one pipewire-pulse serves.
. "$(dirname "$0")/../e2e/lib.sh"
check=$1 recorder=$2
setup_dirs
[ -z "${KEEP_DIR:-}" ] || trap 'cp -r "$WORK"/* "$KEEP_DIR"/ 2>/dev/null; cleanup' EXIT
need_pipewire
"$recorder" --target metronom --wav "$WORK/clicks.wav" --latency 256 --seconds 60 --log "$WORK/blocks.log" 2>"$WORK/rec.log" &
rec=$!; PIDS+=($rec)
sleep 0.5
METRONOM_OUTPUT=pipewire "$check" --output >"$WORK/check.log" 2>&1 & pid=$!; PIDS+=($pid)
sleep 1
node=$(pw-cli ls Node 2>/dev/null | grep -c 'node.name = "Metronom"')
client=$(pw-cli ls Client 2>/dev/null | grep -A12 'application.name = "Metronom"' | grep -c 'pipewire-pulse' || true)
for _ in 1 2 3 4 5 6; do
  sleep 0.6; kill -STOP "${PIPEWIRE_PIDS[0]}"; sleep 0.007; kill -CONT "${PIPEWIRE_PIDS[0]}"
done
wait $pid || fail "the check failed: $(cat "$WORK/check.log")"
sed 's/^/  /' "$WORK/check.log"
kill -INT $rec; wait $rec 2>/dev/null
sed 's/^/  /' "$WORK/rec.log"
[ "$node" -ge 1 ] && [ "$client" -eq 0 ] || fail "the stream is no native PipeWire node (nodes $node, through pipewire-pulse $client)"
# Each click's place on the sink's grid (the place most clicks share), in the sink's own frames: on
# it (+-4: the converter's phase moves by up to half a frame with each skip), or late by less than
# 1024 frames (due in frames the sink played without the stream). None doubled, and none missing
# except where the recorder itself missed the cycle (a hole in its log). A click's onset: its first
# frame above 1000 after 20 ms without one.
python3 - "$WORK/clicks.wav" "$WORK/blocks.log" <<'PY' || fail "clicks off the sink's grid"
import array, sys, wave
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
    for e in (-1, 0, 1): votes[(t + e) % 24000] = votes.get((t + e) % 24000, 0) + 1
ref = max(votes, key=votes.get)
on = late = holed = 0; bad = False; last = None
for t in onsets:
    k = (t - ref + 12000) // 24000; off = t - ref - k * 24000
    if k == last: print(f"  click at {t} doubled"); bad = True
    for m in range(last + 1 if last is not None else k, k):
        e = ref + m * 24000
        if any(a < e + 1024 and b > e - 1024 for a, b in holes): holed += 1
        else: print(f"  the click due at {e} is missing"); bad = True
    last = k
    if -4 <= off <= 4: on += 1
    elif 4 < off < 1024: late += 1; print(f"  click at {t} late by {off} frames (due in skipped frames)")
    else: print(f"  click at {t} off the grid by {off} frames"); bad = True
offs = [t - ref - ((t - ref + 12000) // 24000) * 24000 for t in onsets]
print(f"  clicks on the grid {on} (from {min(offs)} to {max(offs)} frames), late {late}, in the recorder's holes {holed}")
sys.exit(1 if bad or on < 6 or late > 3 else 0)
PY
echo "native stream, clicks on the sink's grid across the stall and the stopped daemon: ok"
