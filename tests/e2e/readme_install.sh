#!/usr/bin/env bash
# The README's two commands to the letter, in a copy of the source as a clone holds it (run.sh with
# --build-only, the prefix a scratch one): the installed program answers and its icons, manual page
# and desktop entry are there. A file the install takes that run.sh does not build fails it.
. "$(dirname "$0")/lib.sh"
setup_dirs
mkdir "$WORK/clone" && cd "$1" || exit 1
git ls-files -z --cached --others --exclude-standard | xargs -0 cp --parents -t "$WORK/clone" || exit 77
run=$(grep -xE 'bash scripts/run\.sh' README.md | head -n1)
install=$(grep -xE '(sudo )?cmake --install build --prefix [^ ]+' README.md | sed "s|^sudo ||; s|--prefix .*|--prefix $WORK/usr|")
[ -n "$run" ] && [ -n "$install" ] || fail "the README no longer names its two commands"
# With ccache, a run after the first builds from its cache (paths counted from the scratch folder).
command -v ccache >/dev/null && export CMAKE_CXX_COMPILER_LAUNCHER=ccache CCACHE_BASEDIR=$WORK CCACHE_NOHASHDIR=1
cd "$WORK/clone" && $run --build-only >"$WORK/log" 2>&1 && $install >>"$WORK/log" 2>&1 || fail "$(tail -4 "$WORK/log")"
P=$WORK/usr APP=org.metronom.Metronom
env -u DISPLAY -u WAYLAND_DISPLAY timeout 10 "$P/bin/metronom" --version | grep -q metronom || fail "no program"
ls "$P"/share/icons/hicolor/{16x16,256x256}/apps/$APP.png "$P/share/icons/hicolor/scalable/apps/$APP.svg" || fail "no icons"
LC_ALL=C.UTF-8 man -l "$P/share/man/man1/metronom.1.gz" | grep -q metronom || fail "no manual page"
desktop-file-validate "$P/share/applications/$APP.desktop" || fail "no valid desktop entry"
echo "1 passed, 0 failed"
