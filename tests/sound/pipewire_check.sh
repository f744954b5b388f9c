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
# Each click on the sink's grid, or late by less than 1024 frames; none lost or doubled (sink_grid.py).
python3 "$(dirname "$0")/../../tools/sink_grid.py" "$WORK/clicks.wav" "$WORK/blocks.log" 24000 || fail "clicks off the sink's grid"
echo "native stream, clicks on the sink's grid across the stall and the stopped daemon: ok"
