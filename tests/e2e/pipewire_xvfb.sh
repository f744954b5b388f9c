#!/usr/bin/env bash
# The program through a private PipeWire (a null sink at 48 kHz): its stream is a native node, not
# one pipewire-pulse serves; with the daemon stopped for 7 ms five times and then restarted, every
# beat at 120 is on its frame of the sink's grid (sink_grid.py, the sink recorded in its own frames
# by pw_recorder), none lost or doubled, and the program plays on; with the sink destroyed and made
# again three times while playing, no two clicks closer than 450 ms (sink_times.py); without the
# right to real-time scheduling it says so once. Skipped (77) without PipeWire.
#   pipewire_xvfb.sh PROGRAM RECORDER
. "$(dirname "$0")/lib.sh"
program=$1 recorder=$2
setup_dirs
need_pipewire
start_xvfb
record_sink() { "$recorder" --target metronom --wav "$WORK/$1.wav" --log "$WORK/$1.log" --latency 1024 --seconds 60 2>/dev/null & }
record_sink gone; rec=$!; PIDS+=($rec)
start "$MAIN" "$program"
sleep 1
press_start
sleep 1
[ "$(pw-dump | python3 "$(dirname "$0")/../../tools/pw_node_api.py" Metronom)" = native ] || fail "no native PipeWire stream: $(cat "$WORK/out")"
for _ in 1 2 3; do sleep 2; sink_gone_and_back 2 || fail "the sink could not be destroyed"; done; sleep 2; kill -INT $rec; wait $rec
python3 "$(dirname "$0")/../../tools/sink_times.py" 500 /dev/null "$WORK/gone.wav" "$WORK/gone.log" || fail "beats doubled or early with the sink gone"
record_sink stops; rec=$!; PIDS+=($rec)
for _ in 1 2 3 4 5; do sleep 0.8; kill -STOP "${PIPEWIRE_PIDS[0]}"; sleep 0.007; kill -CONT "${PIPEWIRE_PIDS[0]}"; done
sleep 1; kill -INT $rec; wait $rec
python3 "$(dirname "$0")/../../tools/sink_grid.py" "$WORK/stops.wav" "$WORK/stops.log" 24000 || fail "beats off the sink's grid"
restart_pipewire TERM >/dev/null 2>&1 || fail "PipeWire does not start again"
PIDS+=("${PIPEWIRE_PIDS[@]}")
sleep 2; record_sink restart; rec=$!; PIDS+=($rec); sleep 4; kill -INT $rec; wait $rec
kill -0 "$PID" 2>/dev/null || fail "the program ended: $(cat "$WORK/out")"
python3 "$(dirname "$0")/../../tools/sink_grid.py" "$WORK/restart.wav" "$WORK/restart.log" 24000 || fail "no beats after the restart"
echo "native stream, beats on the sink's grid across the stops and after a restart, none doubled with the sink gone: ok"
# Without the right to real-time scheduling (no RTKit, no CAP_SYS_NICE), the window says so once on
# the error output and plays on.
kill -TERM "$PID"; wait "$PID" 2>/dev/null
start "$MAIN" setpriv --bounding-set -sys_nice --inh-caps -sys_nice "$program"
sleep 1; press_start
for _ in $(seq 80); do grep -q 'no real-time scheduling' "$WORK/out" && break; sleep 0.1; done
sleep 1
[ "$(grep -c 'no real-time scheduling' "$WORK/out")" = 1 ] || fail "the refused real-time scheduling not said once: $(cat "$WORK/out")"
echo "refused real-time scheduling said once: ok"
