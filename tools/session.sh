# Helpers for scripts that run the real program: a private runtime folder, a private X server,
# finding the window. Sourced by the end-to-end tests, the measurements and the screenshot.
# shellcheck shell=bash
set -u

fail() { echo "FAIL: $*" >&2; exit 1; }

# A private runtime folder (the single-instance lock lives there), a private configuration folder
# (remembered settings) and a scratch folder.
setup_dirs() {
  WORK=$(mktemp -d)
  export XDG_RUNTIME_DIR="$WORK/run" XDG_CONFIG_HOME="$WORK/config"
  mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
  trap cleanup EXIT
}

PIDS=()
cleanup() {
  # The last started first: the programs before their X server.
  local i
  for ((i = ${#PIDS[@]} - 1; i >= 0; i--)); do kill "${PIDS[i]}" 2>/dev/null; done
  { wait; } 2>/dev/null
  rm -rf "$WORK"
}

. "$(dirname "${BASH_SOURCE[0]}")/xvfb.sh"

# Starts Xvfb on a free display and exports DISPLAY.
start_xvfb() {
  command -v Xvfb >/dev/null || fail "Xvfb is not installed"
  open_display "$WORK/xvfb.log" || fail "Xvfb did not start: $(cat "$WORK/xvfb.log")"
  PIDS+=("$XVFB_PID")
  export QT_QPA_PLATFORM=xcb
}

# Waits up to $2 seconds for a visible window whose title is exactly $1; prints its id.
wait_window() {
  local title=$1 secs=${2:-20} id
  for _ in $(seq 1 $((secs * 10))); do
    id=$(xdotool search --onlyvisible --name "^$(printf '%s' "$title" | sed 's/[][().*^$]/\\&/g')\$" 2>/dev/null | head -n1)
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.1
  done
  return 1
}

# Waits up to $2 seconds for process $1 to end; sets EXIT_STATUS.
wait_exit() {
  local pid=$1 secs=${2:-10}
  for _ in $(seq 1 $((secs * 10))); do
    if ! kill -0 "$pid" 2>/dev/null; then
      wait "$pid"; EXIT_STATUS=$?; return 0
    fi
    sleep 0.1
  done
  return 1
}
