#!/usr/bin/env bash
# What Orca says while keys are pressed in the program: Orca (Debian's orca, not a dependency of
# the project) runs headless on a private session bus with the accessibility bus and a private X
# server, on a sound server that never answers; its debug log's speech lines are printed.
# Usage: tools/orca-speech.sh [PROGRAM] [KEY...]   (xdotool key names, 1.5 s apart; "+" is "plus")
#   e.g. tools/orca-speech.sh build/metronom Right space space F10 Down Down Return
here=$(cd "$(dirname "$0")/.." && pwd)
command -v orca >/dev/null || { echo "needs orca (apt-get install -y --no-install-recommends orca)" >&2; exit 1; }
if [ -z "${ORCA_SPEECH_BUS:-}" ]; then
  ORCA_SPEECH_BUS=1 exec dbus-run-session -- bash "$0" "$@"
fi
. "$here/tests/e2e/lib.sh"
program=${1:-$here/build/metronom}
setup_dirs
export HOME=$WORK
start_xvfb
launcher=/usr/libexec/at-spi-bus-launcher
[ -x $launcher ] || launcher=/usr/lib/at-spi2-core/at-spi-bus-launcher
$launcher --launch-immediately >"$WORK/atspi.log" 2>&1 &
PIDS+=($!)
sleep 0.5
# Orca's speech server must find no sound server that hangs (it would end itself after 10 s).
PULSE_SERVER=unix:/nonexistent GSETTINGS_BACKEND=memory orca -u "$WORK/orca" --debug-file="$WORK/orca.debug" >"$WORK/orca.out" 2>&1 &
PIDS+=($!)
sleep 6
/usr/bin/python3 -c 'import socket, sys, time
s = socket.socket(socket.AF_UNIX); s.bind(sys.argv[1]); s.listen(8); time.sleep(600)' "$WORK/mute" &
PIDS+=($!)
for _ in $(seq 50); do [ -S "$WORK/mute" ] && break; sleep 0.1; done
export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 PULSE_SERVER="unix:$WORK/mute"
unset SDL_AUDIODRIVER
start "$MAIN" "$program"
sleep 2
xdotool windowactivate --sync "$ID" 2>/dev/null || xdotool windowfocus --sync "$ID"
sleep 2
for key in "${@:2}"; do xdotool key "$key"; sleep 1.5; done
sleep 5 # Orca, on a busy machine, speaks seconds late
grep -ao "SPEECH OUTPUT: '[^']*'" "$WORK/orca.debug" | sed "s/^SPEECH OUTPUT: //"
