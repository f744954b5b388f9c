#!/usr/bin/env bash
# Takes the README's screenshot: starts the program under a private X server (Xvfb), waits for
# its window and saves a picture of it.
# Usage: tools/screenshot.sh [PROGRAM] [OUTPUT.png]   (defaults: build/metronom, docs/screenshot.png)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
program=${1:-$here/build/metronom}
out=${2:-$here/docs/screenshot.png}
for tool in Xvfb xdotool import; do
  command -v $tool >/dev/null || { echo "needs $tool (apt-get install -y xvfb xdotool imagemagick)" >&2; exit 1; }
done

work=$(mktemp -d)
pids=()
cleanup() { for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; rm -rf "$work"; }
trap cleanup EXIT

mkfifo "$work/fd"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/fd" 2>/dev/null &
pids+=($!)
read -r -t 20 display <"$work/fd"
export DISPLAY=":$display" QT_QPA_PLATFORM=xcb XDG_RUNTIME_DIR="$work"
export SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-dummy}
chmod 700 "$work"

"$program" &
pids+=($!)
id=""
for _ in $(seq 200); do
  id=$(xdotool search --onlyvisible --name '^Lindoquet Metronome Vintra \(Preview Version\)$' 2>/dev/null | head -n1) || true
  [ -n "$id" ] && break
  sleep 0.1
done
[ -n "$id" ] || { echo "the window did not appear" >&2; exit 1; }
sleep 1
import -window "$id" "$out"
echo "saved $out"
