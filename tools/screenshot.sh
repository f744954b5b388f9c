#!/usr/bin/env bash
# Takes the README's screenshot: starts the program under a private X server (Xvfb), waits for
# its window and saves a picture of it.
# Usage: tools/screenshot.sh [PROGRAM] [OUTPUT.png] [KEY...]
#   (defaults: build/metronom, docs/screenshot.png; the keys are pressed in the window first, e.g.
#   "u g" for docs/screenshot-practice.png)
here=$(cd "$(dirname "$0")/.." && pwd)
. "$here/tools/session.sh"
program=${1:-$here/build/metronom}
out=${2:-$here/docs/screenshot.png}
command -v import >/dev/null || fail "needs import (apt-get install -y imagemagick)"
setup_dirs
start_xvfb
export SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-dummy}

"$program" &
PIDS+=($!)
id=$(wait_window "Lindoquet Metronome Vintra (Preview Version)" 20) || fail "the window did not appear"
[ $# -gt 2 ] && xdotool windowfocus --sync "$id"
for key in "${@:3}"; do xdotool key "$key"; sleep 0.2; done
sleep 1
import -window "$id" "$out" || fail "no screenshot"
echo "saved $out"
