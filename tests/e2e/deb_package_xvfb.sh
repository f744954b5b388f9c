#!/usr/bin/env bash
# `cpack -G DEB` makes a package whose dependencies name the libraries and the font, and which
# lintian passes without an error or a warning. Unpacked into a scratch root it holds the program
# with its Sounds folder, a relative link to it in bin/, the desktop entry, the icons at their sizes
# (the scalable one drawn in paths), the AppStream data, the manual page, the copyright file and the
# changelog; the Freedesktop and AppStream validators accept the data, and a software centre's cache
# built over it finds the program by "metronome" and "bpm" (`cmake --install` lays out the same
# files by the same rules). Its program answers --help and --version without a display, starts
# through the link, finds its Sounds folder and shows its window with its icon.
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
# lintian's verdict: errors (E:) and warnings (W:) fail; information (I:, X:) does not.
lintian --tag-display-limit 0 "$DEB" >"$WORK/lintian.log" 2>&1
grep -E '^[EW]: ' "$WORK/lintian.log" && fail "lintian: $(grep -cE '^[EW]: ' "$WORK/lintian.log") errors or warnings"
dpkg-deb -x "$DEB" "$WORK/root" || fail "cannot unpack"
P=$WORK/root/usr

[ -f "$P/lib/metronom/Sounds/Count/Long/8a.wav" ] || fail "the counting voices are missing"
[ "$(readlink "$P/bin/metronom")" = ../lib/metronom/metronom ] || fail "bin/metronom is not a relative link to the program"
desktop-file-validate "$P/share/applications/$APP.desktop" || fail "desktop entry rejected"
grep -qx 'Categories=AudioVideo;Audio;Music;' "$P/share/applications/$APP.desktop" || fail "desktop entry without its categories"
grep -qx 'GenericName=Metronome' "$P/share/applications/$APP.desktop" && grep -q '^Comment\[de\]=' "$P/share/applications/$APP.desktop" || fail "desktop entry not in English with German translations"
dpkg-deb -f "$DEB" Recommends | grep -q qt6-translations-l10n || fail "Qt's German texts are not recommended"
dpkg-deb -f "$DEB" Description | grep -q "Ableton Link" && grep -q "Ableton Link" "$P/share/metainfo/$APP.metainfo.xml" || fail "the package's texts do not name Link"
appstreamcli validate --pedantic --no-net "$P/share/metainfo/$APP.metainfo.xml" || fail "AppStream data rejected"
for size in 16 22 24 32 48 64 128 256 512; do
  png=$P/share/icons/hicolor/${size}x${size}/apps/$APP.png
  [ "$(identify -format '%wx%h' "$png" 2>/dev/null)" = "${size}x${size}" ] || fail "icon $png is not ${size}x${size}"
  # Drawn, and transparent around the case.
  [ "$(convert "$png" -format '%[fx:p{0,0}.a]' info:)" = 0 ] || fail "icon $png has no transparent corner"
  [ "$(convert "$png" -format %k info:)" -gt 8 ] || fail "icon $png is nearly empty"
done
SVG=$P/share/icons/hicolor/scalable/apps/$APP.svg
grep -q '<svg' "$SVG" || fail "no scalable icon"
# Drawn in paths, not a picture embedded in an SVG.
grep -q '<image' "$SVG" && fail "the scalable icon embeds a picture"
[ "$(grep -o '<path' "$SVG" | wc -l)" -ge 5 ] || fail "the scalable icon holds no paths"

# The documents: the licence in Debian's format, the changelog, the manual page.
grep -q '^License: GPL-3+' "$P/share/doc/metronom/copyright" || fail "no GPL-3+ in the copyright file"
zcat "$P/share/doc/metronom/changelog.Debian.gz" | head -n1 | grep -q "^metronom (" || fail "no changelog"
LC_ALL=C.UTF-8 man -l "$P/share/man/man1/metronom.1.gz" 2>"$WORK/man.err" | tr -s " \n" " " | grep -q "Übungen und Einstellungen" || fail "the manual page does not read"
[ ! -s "$WORK/man.err" ] || fail "man: $(cat "$WORK/man.err")"
grep -q 'project_license>GPL-3.0-or-later<' "$P/share/metainfo/$APP.metainfo.xml" || fail "AppStream data without the licence"

# --help and --version: printed at once, without a display, status 0.
for option in --help --version; do
  out=$(env -u DISPLAY -u WAYLAND_DISPLAY timeout 10 "$P/bin/metronom" "$option") || fail "$option failed"
  grep -q "metronom" <<<"$out" || fail "$option printed: $out"
done

# A software centre's view: the cache built over the installed files (this root mounted over /usr's
# data folders in a mount namespace of our own) finds the program by English words.
if unshare -rm true 2>/dev/null || unshare -m true 2>/dev/null; then
  as_root=-r; [ "$(id -u)" -eq 0 ] && as_root=""
  unshare $as_root -m bash -c '
    mount --bind "$1/share/metainfo" /usr/share/metainfo && mount --bind "$1/share/applications" /usr/share/applications &&
    appstreamcli refresh-cache --force --cachepath "$2" >/dev/null &&
    for word in metronome bpm; do appstreamcli search "$word" --cachepath "$2" | grep -q "^Identifier: $3 " || exit 1; done' \
    _ "$P" "$WORK/ascache" "$APP" || fail "a software centre does not find the program by metronome and bpm"
else
  echo "no mount namespace here: the software centre search is not tried"
fi

start_xvfb
start "$MAIN" "$P/bin/metronom"
sleep 0.5
xprop -id "$ID" _NET_WM_ICON 2>/dev/null | head -c 200 | grep -Eq 'Icon \([0-9]+ x [0-9]+\)' || fail "the window has no icon"
kill -0 "$PID" || fail "the installed program ended: $(cat "$WORK/out")"
echo "$(basename "$DEB"): $depends"
echo "1 passed, 0 failed"
