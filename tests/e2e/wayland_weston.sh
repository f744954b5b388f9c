#!/usr/bin/env bash
# The program on Wayland, under a private headless weston: it starts and lives, and its window,
# asked to maximize as Qt's title bar asks, lives on at its fixed size (skipped, status 77, without
# weston or Qt's Wayland plugin).
. "$(dirname "$0")/lib.sh"
PROGRAM=$1
CHECK=$2
command -v weston >/dev/null || { echo "weston is not installed: skipped"; exit 77; }
ls /usr/lib/*/qt6/plugins/platforms/libqwayland-generic.so >/dev/null 2>&1 || { echo "qt6-wayland is not installed: skipped"; exit 77; }
setup_dirs
export WAYLAND_DISPLAY=metronom-test
weston --backend=headless-backend.so --socket="$WAYLAND_DISPLAY" --idle-time=0 >"$WORK/weston.log" 2>&1 &
PIDS+=("$!")
for _ in $(seq 1 100); do [ -S "$XDG_RUNTIME_DIR/$WAYLAND_DISPLAY" ] && break; sleep 0.1; done
[ -S "$XDG_RUNTIME_DIR/$WAYLAND_DISPLAY" ] || fail "weston did not start: $(cat "$WORK/weston.log")"
unset DISPLAY
export QT_QPA_PLATFORM=wayland

"$PROGRAM" >"$WORK/out" 2>&1 &
PID=$!; PIDS+=("$PID")
sleep 3
kill -0 "$PID" 2>/dev/null || fail "the program ended on Wayland: $(cat "$WORK/out")"
kill "$PID"; wait "$PID" 2>/dev/null

# Under both names of Qt's Wayland plugin (a user may choose "wayland-egl" with QT_QPA_PLATFORM).
# Full stacks for the leak check, so that blocks the Wayland libraries keep are told apart.
for platform in wayland wayland-egl; do
  QT_QPA_PLATFORM=$platform LSAN_OPTIONS="${LSAN_OPTIONS:-}:fast_unwind_on_malloc=0" "$CHECK" >"$WORK/check" 2>&1
  status=$?
  echo "QT_QPA_PLATFORM=$platform:"
  cat "$WORK/check"
  [ "$status" = 0 ] || fail "the window under $platform failed its checks (status $status)"
done
echo "2 passed, 0 failed"
