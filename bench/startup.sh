#!/usr/bin/env bash
# Start-up time and memory of the real program: starts it RUNS times under a private X server and
# reports the time from the start of the process to its window being shown, and its memory once
# the window is up (resident set and its peak, from /proc).
# Usage: bench/startup.sh [PROGRAM] [RUNS]   (defaults: build/metronom, 10)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
program=${1:-$here/build/metronom}
runs=${2:-10}

work=$(mktemp -d)
pids=()
cleanup() { for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; rm -rf "$work"; }
trap cleanup EXIT
. "$here/tools/xvfb.sh"
open_display "$work/xvfb.log" || { echo "Xvfb did not start: $(cat "$work/xvfb.log")" >&2; exit 1; }
pids+=("$XVFB_PID")
export QT_QPA_PLATFORM=xcb XDG_RUNTIME_DIR="$work"
export SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-dummy}
chmod 700 "$work"

times=(); rss=(); hwm=()
for _ in $(seq "$runs"); do
  start=$(date +%s%N)
  "$program" &
  pid=$!
  # xwininfo -root -tree lists mapped windows by name; poll it tightly.
  until xwininfo -root -tree 2>/dev/null | grep '"Lindoquet Metronome Vintra (Preview Version)"' >/dev/null; do
    kill -0 "$pid" 2>/dev/null || { echo "the program ended" >&2; exit 1; }
    sleep 0.005
  done
  times+=($(( ($(date +%s%N) - start) / 1000000 )))
  sleep 1
  rss+=($(awk '/VmRSS/ {print $2}' "/proc/$pid/status"))
  hwm+=($(awk '/VmHWM/ {print $2}' "/proc/$pid/status"))
  kill "$pid"; wait "$pid" 2>/dev/null || true
done

median() { printf '%s\n' "$@" | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
printf 'runs: %d\n' "$runs"
printf 'window shown after: median %d ms (min %d, max %d)\n' "$(median "${times[@]}")" \
  "$(printf '%s\n' "${times[@]}" | sort -n | head -1)" "$(printf '%s\n' "${times[@]}" | sort -n | tail -1)"
printf 'resident memory with the window up: median %d KiB, peak %d KiB\n' "$(median "${rss[@]}")" "$(median "${hwm[@]}")"
