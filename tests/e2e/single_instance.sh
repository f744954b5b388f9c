#!/usr/bin/env bash
# One copy at a time: a second start brings the running window to the front and ends at once,
# silently, with status 0. Nothing a crash can leave at the lock (a garbage lock file, a folder, a
# FIFO, the socket of a killed copy) keeps the program from starting. A song named to a second copy
# is opened by the running one, by its absolute path.
. "$(dirname "$0")/lib.sh"
PROGRAM=$1
setup_dirs
start_xvfb
LOCK="$XDG_RUNTIME_DIR/metronom.lock"

on_top() { # the program's window is the topmost of the screen's windows
  xwininfo -root -children | grep -m1 -E '^ +0x[0-9a-f]+ "' | grep -q "\"$MAIN\""
}
second_start_raises() { # covers the running window, starts a second copy, sees the first come up
  xmessage -geometry 1000x750+0+0 -title Abdeckung Abdeckung &
  COVER=$!; PIDS+=("$COVER")
  timeout 10 xdotool search --sync --onlyvisible --name '^Abdeckung$' >/dev/null
  on_top && fail "$1: the cover did not come over the window"
  local status=0
  timeout 10 "$PROGRAM" --irgendwas >"$WORK/second.out" 2>&1 || status=$?
  [ "$status" -eq 0 ] || fail "$1: the second copy ended with status $status"
  [ "$(cat "$WORK/second.out")" = "metronom: unbekannte Option --irgendwas wird nicht beachtet" ] ||
    fail "$1: the second copy said more than one line of its unknown option: $(cat "$WORK/second.out")"
  kill -0 "$PID" 2>/dev/null || fail "$1: the first copy ended when the second started"
  for _ in $(seq 50); do on_top && break; sleep 0.1; done
  on_top || fail "$1: the running window was not brought to the front"
  kill "$COVER"; wait "$COVER" 2>/dev/null
  echo "$1: the second copy ended, the running window came to the front"
}

# The lock is the kernel's (flock): what a file holds does not matter, only what it is.
for leftover in 'head -c 200 /dev/urandom >"$LOCK"' 'mkdir "$LOCK"' 'mkfifo "$LOCK"'; do
  rm -rf "$LOCK"; eval "$leftover"
  start "$MAIN" "$PROGRAM"
  kill "$PID"; wait "$PID" 2>/dev/null
done
rm -rf "$LOCK"

start "$MAIN" "$PROGRAM"
second_start_raises "running copy"
# The first copy dies without cleaning up; the next start runs all the same and answers a third.
kill -9 "$PID"; wait "$PID" 2>/dev/null
[ -S "$XDG_RUNTIME_DIR/metronom.socket" ] || fail "the killed copy left no socket to try the next start with"
start "$MAIN" "$PROGRAM"
second_start_raises "after a killed copy"

# `metronom FILE` with a relative name, from another folder: the running copy opens the song, and
# remembers it (remembering is on: the settings file is there).
kill "$PID"; wait "$PID" 2>/dev/null
mkdir -p "$XDG_CONFIG_HOME/metronom" "$WORK/songs"
: >"$XDG_CONFIG_HOME/metronom/metronom.conf"
printf 'intro: 2 120\n' >"$WORK/songs/lied.txt"
start "$MAIN" "$PROGRAM"
(cd "$WORK/songs" && timeout 10 "$PROGRAM" lied.txt) || fail "the second copy with a song failed"
for _ in $(seq 50); do grep -q "^song=$WORK/songs/lied.txt\$" "$XDG_CONFIG_HOME/metronom/metronom.conf" && break; sleep 0.2; done
grep -q "^song=$WORK/songs/lied.txt\$" "$XDG_CONFIG_HOME/metronom/metronom.conf" ||
  fail "the running copy did not open the song: $(cat "$XDG_CONFIG_HOME/metronom/metronom.conf")"
echo "a song named to a second copy: opened by the running one"
echo "6 passed, 0 failed"
