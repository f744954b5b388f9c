#!/usr/bin/env bash
# Starts a private PulseAudio server with a null sink, plays through it, kills and restarts it
# under the running program. Skipped (77) where PulseAudio is not installed or cannot start.
set -u
program=$1
command -v pulseaudio >/dev/null || { echo "pulseaudio is not installed"; exit 77; }
export XDG_RUNTIME_DIR=$(mktemp -d)
chmod 700 "$XDG_RUNTIME_DIR"
export SDL_AUDIODRIVER=pulseaudio HOME=$XDG_RUNTIME_DIR PULSE_RUNTIME_PATH=$XDG_RUNTIME_DIR/pulse
trap 'pulseaudio --kill 2>/dev/null; rm -rf "$XDG_RUNTIME_DIR"' EXIT
start="pulseaudio -n --daemonize=yes --exit-idle-time=-1 --log-target=stderr --log-level=error \
  -L module-null-sink -L module-native-protocol-unix"
stop="pulseaudio --kill"
$start || { echo "pulseaudio does not start here"; exit 77; }
"$program" "$start" "$stop"
