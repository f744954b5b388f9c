#!/usr/bin/env bash
# What a frame costs in instructions, counted by callgrind (which counts rather than times, so a
# busy machine does not move the figure): the program runs at 120 bpm under a window manager on a
# private X server, callgrind counts its UI thread over SECONDS and the figure is that thread's
# instructions divided by the frames drawn meanwhile (calls of the face's paint event). With
# --floor, bench/frame_floor instead (frames: its square's paint events). With --xserver the X
# server runs under callgrind as well and its instructions per frame are printed beside. --keep
# copies the callgrind dumps (UI thread, X server) into DIR.
# Usage: bench/frame_cost.sh [--seconds 10] [--scale 1] [--floor] [--xserver] [--build DIR] [--keep DIR]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
. "$here/bench/lib.sh"
build=$here/build seconds=10 scale=1 floor="" xserver="" keep=""
while [ $# -gt 0 ]; do
  case $1 in
    --seconds) seconds=$2; shift 2 ;;
    --scale) scale=$2; shift 2 ;;
    --floor) floor=1; shift ;;
    --xserver) xserver=1; shift ;;
    --build) build=$2; shift 2 ;;
    --keep) keep=$2; shift 2 ;;
    *) echo "unknown option $1" >&2; exit 1 ;;
  esac
done
need_tools Xvfb xdotool openbox xprop valgrind callgrind_annotate
bench_setup
export SDL_AUDIODRIVER=dummy QT_SCALE_FACTOR=$scale
# With --xserver, Xvfb under callgrind, with more time to come up (read by open_display).
# shellcheck disable=SC2034
[ -z "$xserver" ] || XVFB_WRAPPER="valgrind --tool=callgrind --callgrind-out-file=$WORK/x.out --instr-atstart=no" XVFB_WAIT=120
start_desktop

out=$WORK/ui.out
if [ -n "$floor" ]; then
  program=$build/bench/frame_floor frames='Square::paintEvent' name='^frame_floor$' which=any
else
  program=$build/metronom frames='PendulumFace::paintEvent' which=visible
  name='^Lindoquet Metronome Vintra \(Preview Version\)$'
fi
valgrind --tool=callgrind --callgrind-out-file="$out" --separate-threads=yes --instr-atstart=no \
  "$program" >"$WORK/program.out" 2>&1 &
PROGRAM_PID=$! && BENCH_PIDS+=("$PROGRAM_PID")
find_window "$name" 600 0.1 $which
sleep 3
[ -n "$floor" ] || xdotool mousemove --window "$WIN" $((START_X * scale)) $((START_Y * scale)) click 1
sleep 3
callgrind_control -i on "$PROGRAM_PID" >/dev/null
[ -z "$xserver" ] || callgrind_control -i on "$XVFB_PID" >/dev/null
sleep "$seconds"
callgrind_control -i off "$PROGRAM_PID" >/dev/null
[ -z "$xserver" ] || callgrind_control -i off "$XVFB_PID" >/dev/null
callgrind_control -d "$PROGRAM_PID" >/dev/null
[ -z "$xserver" ] || callgrind_control -d "$XVFB_PID" >/dev/null
# The dump of thread 1, the UI thread (written a moment after it is asked for).
ui=""
for _ in $(seq 600); do
  ui=$(ls "$out".*-01 2>/dev/null | head -n1) || true
  [ -n "$ui" ] && tail -c 200 "$ui" | grep -q totals && break
  sleep 0.1
done
[ -n "$ui" ] || { echo "no dump: $(ls "$WORK")" >&2; exit 1; }
[ -z "$keep" ] || cp "$ui" "$keep/"
total=$(callgrind_annotate "$ui" 2>/dev/null | awk '/PROGRAM TOTALS/ {gsub(",", "", $1); print $1}')
# Calls of the frame's paint event (not of the lambdas within it): in the dump, each call site names
# its callee (cfn=, by number after its first mention) and then gives the count (calls=).
calls=$(awk -v f="$frames" '
  /^c?fn=\(/ { id = $0; sub(/^c?fn=/, "", id); name = id; sub(/\).*/, ")", id); sub(/^\([0-9]+\) ?/, "", name)
               if (name != "") names[id] = name; if ($0 ~ /^cfn=/) callee = id }
  /^calls=/ { n = $0; sub(/^calls=/, "", n); sub(/ .*/, "", n)
              if (index(names[callee], f) && names[callee] !~ /lambda/) sum += n }
  END { print sum + 0 }' "$ui")
printf 'UI thread: %s instructions in %s s, %s frames: %s per frame\n' "$total" "$seconds" "$calls" \
  "$(awk -v t="$total" -v c="$calls" 'BEGIN { if (c > 0) printf "%.0f", t / c; else print "-" }')"
if [ -n "$xserver" ]; then
  for _ in $(seq 600); do
    x=$(ls "$WORK"/x.out.* 2>/dev/null | head -n1) || true
    [ -n "$x" ] && tail -c 200 "$x" | grep -q totals && break
    sleep 0.1
  done
  [ -z "$keep" ] || cp "$x" "$keep/"
  xt=$(callgrind_annotate "$x" 2>/dev/null | awk '/PROGRAM TOTALS/ {gsub(",", "", $1); print $1}')
  printf 'X server: %s instructions: %s per frame\n' "$xt" \
    "$(awk -v t="$xt" -v c="$calls" 'BEGIN { if (c > 0) printf "%.0f", t / c; else print "-" }')"
fi
