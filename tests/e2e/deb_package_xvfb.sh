#!/usr/bin/env bash
# `cpack -G DEB` makes a package whose dependencies name the libraries and the font. Unpacked into a
# scratch root it holds the program with its Sounds folder, a relative link to it in bin/, the
# desktop entry, the icons at their sizes and the AppStream data, which the Freedesktop and
# AppStream validators accept (`cmake --install` lays out the same files by the same rules); its
# program starts through the link, finds its Sounds folder and shows its window with its icon.
. "$(dirname "$0")/lib.sh"
BUILD=$1
APP=org.metronom.Metronom
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
dpkg-deb -x "$DEB" "$WORK/root" || fail "cannot unpack"
P=$WORK/root/usr

[ -f "$P/lib/metronom/Sounds/Count/Long/8a.wav" ] || fail "the counting voices are missing"
[ "$(readlink "$P/bin/metronom")" = ../lib/metronom/metronom ] || fail "bin/metronom is not a relative link to the program"
desktop-file-validate "$P/share/applications/$APP.desktop" || fail "desktop entry rejected"
grep -qx 'Categories=AudioVideo;Audio;Music;' "$P/share/applications/$APP.desktop" || fail "desktop entry without its categories"
appstreamcli validate --no-net "$P/share/metainfo/$APP.metainfo.xml" || fail "AppStream data rejected"
for size in 16 22 24 32 48 64 128 256; do
  png=$P/share/icons/hicolor/${size}x${size}/apps/$APP.png
  [ "$(identify -format '%wx%h' "$png" 2>/dev/null)" = "${size}x${size}" ] || fail "icon $png is not ${size}x${size}"
  # Drawn, and transparent around the case.
  [ "$(convert "$png" -format '%[fx:p{0,0}.a]' info:)" = 0 ] || fail "icon $png has no transparent corner"
  [ "$(convert "$png" -format %k info:)" -gt 8 ] || fail "icon $png is nearly empty"
done
grep -q '<svg' "$P/share/icons/hicolor/scalable/apps/$APP.svg" || fail "no scalable icon"

start_xvfb
start "$MAIN" "$P/bin/metronom"
sleep 0.5
xprop -id "$ID" _NET_WM_ICON 2>/dev/null | head -c 200 | grep -Eq 'Icon \([0-9]+ x [0-9]+\)' || fail "the window has no icon"
kill -0 "$PID" || fail "the installed program ended: $(cat "$WORK/out")"
echo "$(basename "$DEB"): $depends"
echo "1 passed, 0 failed"
