#!/usr/bin/env bash
# The real program under an X server with SDL's disk audio driver: START and STOP are clicked like
# a user clicks them; the sound written to the file must hold evenly spaced beats at the tempo
# shown, and the program must stay nearly idle while it runs (no busy loop) and after STOP.
. "$(dirname "$0")/lib.sh"
PROGRAM=$1
ANALYZE=$2
setup_dirs
start_xvfb
export SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$WORK/sound.raw"

"$PROGRAM" >"$WORK/out" 2>&1 &
PID=$!; PIDS+=("$PID")
ID=$(wait_window "Lindoquet Metronome Vintra (Preview Version)" 30) || fail "no main window: $(cat "$WORK/out")"
sleep 0.5

ticks() { awk '{print $14 + $15}' "/proc/$PID/stat"; }
cpu_share() { # percent of one core over $1 seconds
  local c0 t0 c1 t1
  c0=$(ticks); t0=$(date +%s%N); sleep "$1"; c1=$(ticks); t1=$(date +%s%N)
  awk -v c=$((c1 - c0)) -v hz="$(getconf CLK_TCK)" -v ns=$((t1 - t0)) 'BEGIN { printf "%d", 100 * c / hz / (ns / 1e9) }'
}

xdotool mousemove --window "$ID" 668 463 click 1 # START
sleep 2
running=$(cpu_share 3)
xdotool mousemove --window "$ID" 668 463 click 1 # STOP
sleep 0.5
stopped=$(cpu_share 2)
kill -0 "$PID" || fail "the program ended: $(cat "$WORK/out")"
kill "$PID"; wait "$PID" 2>/dev/null

echo "CPU while running ${running} %, after STOP ${stopped} % of one core"
# A spinning loop would take a whole core; drawing at display rate takes a few percent.
[ "$running" -lt 50 ] || fail "busy while running (${running} %)"
[ "$stopped" -lt 20 ] || fail "busy after STOP (${stopped} %)"

report=$("$ANALYZE" "$WORK/sound.raw" --raw-float --bpm 120) || fail "beats lost or doubled: $report"
echo "$report"
beats=$(awk '/beats found/ {print $3}' <<<"$report")
[ "$beats" -ge 8 ] || fail "only $beats beats in 5 s at 120"
grep -q 'worst deviation        0.0 samples' <<<"$report" || fail "beats not evenly spaced"
echo "1 passed, 0 failed"
