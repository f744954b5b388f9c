#!/usr/bin/env bash
# `cpack -G DEB` makes a package whose dependencies name the libraries and the font; unpacked into a
# scratch root, its program starts from /usr/bin through the link, finds its Sounds folder and shows
# its window with its icon.
. "$(dirname "$0")/lib.sh"
BUILD=$1
setup_dirs
(cd "$BUILD" && cpack -G DEB -B "$WORK/pkg") >"$WORK/cpack.log" 2>&1 || fail "cpack failed: $(tail -5 "$WORK/cpack.log")"
DEB=$(find "$WORK/pkg" -maxdepth 1 -name 'metronom_*.deb' | head -n1); [ -n "$DEB" ] || fail "no package made"
depends=$(dpkg-deb -f "$DEB" Depends)
for p in libqt6widgets6 libqt6gui6 libqt6core6 libsdl2-2.0-0 fonts-liberation2 libc6; do
  grep -q "\b$p\b" <<<"$depends" || fail "Depends lacks $p: $depends"
done
# Every dependency is a package this machine knows and has installed.
for p in $(tr ',' '\n' <<<"$depends" | sed 's/(.*//; s/ //g'); do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || fail "dependency $p is not installed here"
done
ROOT=$WORK/root
dpkg-deb -x "$DEB" "$ROOT" || fail "cannot unpack"
[ -L "$ROOT/usr/bin/metronom" ] || fail "no /usr/bin/metronom link"

start_xvfb
start "$MAIN" "$ROOT/usr/bin/metronom"
sleep 0.5
xprop -id "$ID" _NET_WM_ICON 2>/dev/null | head -c 200 | grep -Eq 'Icon \([0-9]+ x [0-9]+\)' || fail "the window has no icon"
kill -0 "$PID" || fail "the installed program ended: $(cat "$WORK/out")"
echo "$(basename "$DEB"): $depends"
echo "1 passed, 0 failed"
