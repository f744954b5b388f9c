#!/usr/bin/env bash
# `cmake --install` into a scratch prefix: the program with its Sounds folder, the link in bin/, the
# desktop entry, the icons at their sizes and the AppStream data, which the Freedesktop and
# AppStream validators accept.
. "$(dirname "$0")/lib.sh"
BUILD=$1
ID=org.metronom.Metronom
setup_dirs
P=$WORK/prefix
cmake --install "$BUILD" --prefix "$P" >"$WORK/install.log" 2>&1 || fail "install failed: $(tail -5 "$WORK/install.log")"

[ -x "$P/lib/metronom/metronom" ] || fail "no program in lib/metronom"
[ -f "$P/lib/metronom/Sounds/Klack.wav" ] || fail "no Sounds folder beside the program"
[ -f "$P/lib/metronom/Sounds/Count/Long/8a.wav" ] || fail "the counting voices are missing"
[ "$(readlink "$P/bin/metronom")" = ../lib/metronom/metronom ] || fail "bin/metronom is not a relative link to the program"
desktop-file-validate "$P/share/applications/$ID.desktop" || fail "desktop entry rejected"
grep -qx 'Categories=AudioVideo;Audio;Music;' "$P/share/applications/$ID.desktop" || fail "desktop entry without its categories"
appstreamcli validate --no-net "$P/share/metainfo/$ID.metainfo.xml" || fail "AppStream data rejected"
for size in 16 22 24 32 48 64 128 256; do
  png=$P/share/icons/hicolor/${size}x${size}/apps/$ID.png
  [ "$(identify -format '%wx%h' "$png" 2>/dev/null)" = "${size}x${size}" ] || fail "icon $png is not ${size}x${size}"
  # Drawn, and transparent around the case.
  [ "$(convert "$png" -format '%[fx:p{0,0}.a]' info:)" = 0 ] || fail "icon $png has no transparent corner"
  [ "$(convert "$png" -format %k info:)" -gt 8 ] || fail "icon $png is nearly empty"
done
grep -q '<svg' "$P/share/icons/hicolor/scalable/apps/$ID.svg" || fail "no scalable icon"
echo "1 passed, 0 failed"
