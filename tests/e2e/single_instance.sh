#!/usr/bin/env bash
# One copy at a time: a second start brings the running window to the front and ends at once,
# silently, with status 0. Nothing a crash can leave at the lock (a garbage lock file, a folder, a
# FIFO, the socket of a killed copy) keeps the program from starting. A song named to a second copy
# is opened by the running one, by its absolute path. Then the songs of the practice menu.
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
CONF="$XDG_CONFIG_HOME/metronom/metronom.conf"
mkdir -p "$XDG_CONFIG_HOME/metronom" "$WORK/songs"
: >"$CONF"
printf 'intro: 2 120\n' >"$WORK/songs/lied.txt"
start "$MAIN" "$PROGRAM"
(cd "$WORK/songs" && timeout 10 "$PROGRAM" lied.txt) || fail "the second copy with a song failed"
opened() { for _ in $(seq 50); do grep -qx "song=$1" "$CONF" && return; sleep 0.2; done; fail "not opened: $1 ($(cat "$CONF"))"; }
opened "$WORK/songs/lied.txt"
echo "a song named to a second copy: opened by the running one"

# The practice menu (F10), its items clicked where they show: a song opened and exported as --export
# writes it; a setlist folder chosen, N and P step through it; SIGTERM during a long export leaves
# no temporary file, and the file it was to replace as it was. `menu X Y KEYS FILE`: the item at X Y
# (then KEYS), FILE typed into its dialog.
menu() {
  xdotool windowfocus --sync "$ID" key F10 sleep 0.5 mousemove --window "$ID" "$1" "$2" click 1 sleep 1 ${3:+key $3 sleep 1}
  xdotool key ctrl+a type --delay 10 "$4"; xdotool key Return sleep 1
}
printf '1 90\n' >"$WORK/songs/eins.txt"; printf '1000 120\n' >"$WORK/lang.txt"; echo alt >"$WORK/keep.wav"
menu 381 274 "" "$WORK/songs/eins.txt"; menu 381 340 "" "$WORK/menu.wav"
"$PROGRAM" --export "$WORK/cli.wav" "$WORK/songs/eins.txt" && cmp "$WORK/menu.wav" "$WORK/cli.wav" || fail "the menu's export is not --export's"
menu 381 362 "Down Return" "$WORK/songs"; xdotool key n && opened "$WORK/songs/lied.txt" && xdotool key p && opened "$WORK/songs/eins.txt"
menu 381 274 "" "$WORK/lang.txt"; menu 381 340 "" "$WORK/keep.wav"; xdotool key alt+j sleep 0.5 # "Ja": replace it
compgen -G "$WORK/keep.wav.?*" >/dev/null && kill -TERM "$PID" && wait "$PID" || fail "no export under way, or no clean end: $(ls "$WORK")"
[ "$(ls "$WORK" | grep -c '^keep')" = 1 ] && [ "$(cat "$WORK/keep.wav")" = alt ] || fail "a cut-short export left: $(ls "$WORK")"
echo "9 passed, 0 failed"
