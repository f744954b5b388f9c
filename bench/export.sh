#!/usr/bin/env bash
# Measures the click-track export of a one-hour song (1800 bars of 4/4 at 120, with a ramp and a
# list of tempos among them): wall time, CPU time and peak memory (maximum resident set) of
# `metronom --export`, for WAV and FLAC at 48000 (converted) and 44100 frames a second, and that two
# exports are byte-identical. No window, no sound server.
#
# Usage: bench/export.sh [--build DIR]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=$here/build
while [ $# -gt 0 ]; do
  case $1 in
    --build) build=$2; shift 2 ;;
    *) echo "unknown option $1" >&2; exit 1 ;;
  esac
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_CONFIG_HOME=$work/config # the first-run sounds, whatever is remembered here
{
  echo "start: 900 120"
  echo "ramp:  4 120-140"
  echo "       1 4/4 140,138,136,134"
  echo "rest:  895 4/4 120"
} >"$work/hour.txt"
for out in hour.wav hour.flac; do
  for rate in 48000 44100; do
    /usr/bin/time -f "%e %U %M" -o "$work/time" "$build/metronom" --export "$work/$out" "$work/hour.txt" --rate "$rate"
    read -r wall cpu rss <"$work/time"
    size=$(stat -c %s "$work/$out")
    secs=$(soxi -D "$work/$out" 2>/dev/null || echo "?")
    printf '%-10s %6s Hz  %7.1f s of audio  wall %6.2f s  cpu %6.2f s  peak RSS %6d KiB  file %5d MiB\n' \
      "$out" "$rate" "$secs" "$wall" "$cpu" "$rss" $((size / 1048576))
    cp "$work/$out" "$work/first.$out"
    "$build/metronom" --export "$work/$out" "$work/hour.txt" --rate "$rate"
    cmp -s "$work/$out" "$work/first.$out" && echo "           a second export: byte-identical" ||
      { echo "           a second export DIFFERS"; exit 1; }
  done
done
# For comparison: the program's peak memory when it only prints its version.
/usr/bin/time -f "%M" -o "$work/time" "$build/metronom" --version >/dev/null
echo "--version alone: peak RSS $(cat "$work/time") KiB"
