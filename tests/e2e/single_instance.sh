#!/usr/bin/env bash
# A second copy of the program ends at once, silently and with status 0, while the first runs; a
# copy that died leaves no lock behind that keeps the next one out.
. "$(dirname "$0")/lib.sh"
PROGRAM=$1
setup_dirs
export QT_QPA_PLATFORM=offscreen

"$PROGRAM" >"$WORK/first.out" 2>&1 &
FIRST=$!; PIDS+=("$FIRST")
for _ in $(seq 1 100); do [ -e "$XDG_RUNTIME_DIR/metronom.lock" ] && break; sleep 0.1; done
sleep 0.5
kill -0 "$FIRST" 2>/dev/null || fail "the first copy did not keep running: $(cat "$WORK/first.out")"
status=0
timeout 10 "$PROGRAM" --irgendwas >"$WORK/second.out" 2>&1 || status=$?
[ "$status" -eq 0 ] || fail "the second copy ended with status $status"
[ ! -s "$WORK/second.out" ] || fail "the second copy was not silent: $(cat "$WORK/second.out")"
kill -0 "$FIRST" 2>/dev/null || fail "the first copy ended when the second started"

# The first copy dies without cleaning up; the next start must run all the same.
kill -9 "$FIRST"; wait "$FIRST" 2>/dev/null
"$PROGRAM" >"$WORK/third.out" 2>&1 &
PIDS+=("$!")
sleep 2
kill -0 "$!" 2>/dev/null || fail "a stale lock kept the program from starting: $(cat "$WORK/third.out")"
echo "1 passed, 0 failed"
