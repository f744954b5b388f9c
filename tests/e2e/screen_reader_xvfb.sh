#!/usr/bin/env bash
# The program as a screen reader meets it: under Xvfb on a private session bus with the
# accessibility bus, keys pressed in its window, what the reader is told checked over AT-SPI
# (screen_reader.py), on a sound server that never answers. Skipped (77) without the accessibility bus, dbus-run-session or Atspi for python3.
PROGRAM=$1
launcher=""
for l in /usr/libexec/at-spi-bus-launcher /usr/lib/at-spi2-core/at-spi-bus-launcher; do
  [ -x "$l" ] && launcher=$l && break
done
[ -n "$launcher" ] || { echo "at-spi2-core is not installed"; exit 77; }
command -v dbus-run-session >/dev/null || { echo "dbus-run-session is not installed"; exit 77; }
/usr/bin/python3 -c 'import gi; gi.require_version("Atspi", "2.0")' 2>/dev/null \
  || { echo "python3-gi with gir1.2-atspi-2.0 is not installed"; exit 77; }
if [ -z "${SCREEN_READER_BUS:-}" ]; then
  SCREEN_READER_BUS=1 exec dbus-run-session -- bash "$0" "$@"
fi

. "$(dirname "$0")/lib.sh"
setup_dirs
start_xvfb
"$launcher" --launch-immediately >"$WORK/atspi.log" 2>&1 &
PIDS+=($!)
sleep 0.5
# A sound server that takes the connection and never answers: the program runs silent, and the
# START button tells the reader why ("Kein Tonserver").
/usr/bin/python3 -c 'import socket, sys, time
s = socket.socket(socket.AF_UNIX); s.bind(sys.argv[1]); s.listen(8); time.sleep(120)' "$WORK/mute" &
PIDS+=($!)
for _ in $(seq 50); do [ -S "$WORK/mute" ] && break; sleep 0.1; done
export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 PULSE_SERVER="unix:$WORK/mute"
unset SDL_AUDIODRIVER
start "$MAIN" "$PROGRAM"
sleep 1
xdotool windowactivate --sync "$ID" 2>/dev/null || xdotool windowfocus --sync "$ID"
/usr/bin/python3 "$(dirname "$0")/screen_reader.py" "$ID"
