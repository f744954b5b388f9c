#!/usr/bin/env bash
# Without a display the program ends with one line of its own and status 1. Under Xvfb with SDL's disk
# driver: the window centred at its fixed size and painted (screenshot: e2e-startup.png in the build
# folder); START and STOP clicked, evenly spaced beats at 120 written while the program stays nearly
# idle; closing the window while it plays ends the program at once with status 0.
. "$(dirname "$0")/lib.sh"
PROGRAM=$1 ANALYZE=$2
SHOT=${SHOT:-$(pwd)/e2e-startup.png}
setup_dirs
for display in "" ":9999"; do
  env -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM DISPLAY="$display" "$PROGRAM" >"$WORK/out" 2>&1
  status=$?
  [ "$status" -eq 1 ] && [ "$(wc -l <"$WORK/out")" -eq 1 ] || fail "no display '$display': status $status: $(cat "$WORK/out")"
done
start_xvfb
export SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$WORK/sound.raw"
command -v python3 >/dev/null || fail "python3 is needed to close the window"

start "$MAIN" "$PROGRAM"
eval "$(xdotool getwindowgeometry --shell "$ID")"
[ "$WIDTH" = 790 ] && [ "$HEIGHT" = 509 ] || fail "window is ${WIDTH}x${HEIGHT}, not 790x509"
# Centred on the 1024 x 768 screen in the upper nine tenths: 1710 / 15 = 114, 1164 / 15 = 77.6.
[ "$X" -ge 110 ] && [ "$X" -le 118 ] && [ "$Y" -ge 74 ] && [ "$Y" -le 82 ] || fail "window at $X,$Y, not centred"
sleep 1
import -window root "$SHOT" || fail "no screenshot"
colours=$(convert "$SHOT" -format %k info:)
[ "$colours" -gt 50 ] || fail "the face is not painted: only $colours colours"

cpu_share() { # percent of one core over $1 seconds
  local c0 c1
  c0=$(awk '{print $14 + $15}' "/proc/$PID/stat"); sleep "$1"; c1=$(awk '{print $14 + $15}' "/proc/$PID/stat")
  echo $(( 100 * (c1 - c0) / $(getconf CLK_TCK) / $1 ))
}
press_start; sleep 2
running=$(cpu_share 3)
press_start; sleep 0.5
stopped=$(cpu_share 2)
echo "CPU while running ${running} %, after STOP ${stopped} % of one core"
# A spinning loop would take a whole core; drawing at display rate takes a few percent.
[ "$running" -lt 50 ] || fail "busy while running (${running} %)"
[ "$stopped" -lt 20 ] || fail "busy after STOP (${stopped} %)"
report=$("$ANALYZE" "$WORK/sound.raw" --raw-float --bpm 120) || fail "beats lost or doubled: $report"
echo "$report"
[ "$(awk '/beats found/ {print $3}' <<<"$report")" -ge 8 ] || fail "fewer than 8 beats in 5 s at 120"
grep -q 'worst deviation        0.0 samples' <<<"$report" || fail "beats not evenly spaced"

press_start; sleep 1.5
python3 "$(dirname "$0")/../../tools/x11_close.py" "$ID" || fail "could not ask the window to close"
wait_exit "$PID" 5 || fail "the program did not end after its window was closed"
[ "$EXIT_STATUS" -eq 0 ] || fail "the program ended with status $EXIT_STATUS: $(cat "$WORK/out")"
echo "1 passed, 0 failed"
