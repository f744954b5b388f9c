#!/usr/bin/env bash
# make-sounds.sh — regenerates the whole Sounds folder (sounds/ in the source
# tree). The generated files are committed, so a normal build needs none of
# this; run it only after changing tools/soundgen.cpp or tools/make-voices.sh.
#
# Usage: tools/make-sounds.sh [OUTPUT_DIR]        (default: sounds/ beside tools/)
#
# Needs g++, espeak-ng and sox (apt-get install -y g++ espeak-ng sox).
# Builds tools/soundgen.cpp into a temporary folder, lets it write the
# percussion sounds (and checks them, see there), then speaks the counting files
# with make-voices.sh, and finally checks every file: 44100 Hz, 16 bit, stereo,
# no peak above -1 dBFS, not too long, and a percussion sound's attack within
# its first 5 ms (a spoken word starts with its first consonant; the program
# starts it early by its swell).

set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
out=${1:-$here/../sounds}

for tool in g++ sox soxi espeak-ng awk; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        echo "make-sounds.sh: $tool is missing (apt-get install -y g++ espeak-ng sox)" >&2
        exit 1
    fi
done

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

g++ -std=c++17 -O2 -Wall -Wextra -o "$tmp/soundgen" "$here/soundgen.cpp"
mkdir -p "$out"
"$tmp/soundgen" "$out"
bash "$here/make-voices.sh" "$out"

# Check every file and print a table of lengths and levels.
# peak: highest sample in dBFS; first 5 ms: highest sample in the first 5 ms.
bad=0
printf '%-26s %9s %10s %12s\n' "file" "length s" "peak dBFS" "first 5 ms"
while IFS= read -r file; do
    name=${file#"$out"/}
    rate=$(soxi -r "$file")
    channels=$(soxi -c "$file")
    bits=$(soxi -b "$file")
    length=$(soxi -D "$file")
    peak=$(sox "$file" -n stats 2>&1 | awk '/^Pk lev dB/ { print $NF }')
    first=$(sox "$file" -n trim 0 0.005 stats 2>&1 | awk '/^Pk lev dB/ { print $NF }')
    limit=1.0
    [[ $name == Count/* ]] && limit=0.7
    problem=""
    [[ $rate == 44100 && $channels == 2 && $bits == 16 ]] || problem+=" format ${rate}Hz/${channels}ch/${bits}bit"
    awk "BEGIN { exit !($peak <= -1.0) }" || problem+=" peak above -1 dBFS"
    [[ $name == Count/* ]] || awk "BEGIN { exit !(\"$first\" != \"-inf\" && $first > -30) }" 2>/dev/null ||
        problem+=" late attack"
    [[ $name == Crash.wav || $name == Triangel.wav ]] && limit=2.0
    awk "BEGIN { exit !($length <= $limit) }" || problem+=" too long"
    printf '%-26s %9.3f %10s %12s%s\n' "$name" "$length" "$peak" "$first" "${problem:+  <--$problem}"
    [[ -z $problem ]] || bad=$((bad + 1))
done < <(find "$out" -name '*.wav' | LC_ALL=C sort)

echo "total size: $(du -sh "$out" | cut -f1)"
if ((bad > 0)); then
    echo "make-sounds.sh: $bad file(s) failed the checks" >&2
    exit 1
fi
