#!/usr/bin/env bash
# make-voices.sh — speaks the counting files of the Sounds folder.
#
# Usage: tools/make-voices.sh [OUTPUT_DIR]        (default: sounds)
#
# Writes OUTPUT_DIR/Count/<Voice>/1.wav .. 8.wav (plain) and 1a.wav .. 8a.wav
# (accented, for the first beat of a bar) for the voices Long, Englisch and
# Computer. Needs espeak-ng, sox and g++ (apt-get install -y espeak-ng sox g++),
# and the percussion sounds in OUTPUT_DIR (tools/make-sounds.sh makes both).
#
# Every file is 44100 Hz, 16 bit, stereo, and holds the whole word from its
# first consonant on (only the silence before it is cut): a listener hears a
# word's beat where its voice swells, not where it starts, so the program
# starts each file early by its swell (where its 5 ms RMS envelope first
# reaches half its peak) instead of the words being clipped to fit. No word swells
# later than 150 ms into its file: where a slow voice takes longer over the
# consonants before its vowel, they are spoken faster (see hurry), so that even
# at 271 BPM the program can start the word early enough.
#
# Every plain word is as loud as the percussion sounds (K-weighted RMS of its
# loudest 100 ms, tools/sound_level.h, against that of the first 100 ms of
# Klack.wav); an accented word is spoken higher and with emphasis, and is
# 2.5 dB louder where its peak leaves room below -1 dBFS. Nothing is
# compressed.

set -euo pipefail

out=${1:-sounds}
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

for tool in espeak-ng sox soxi awk g++; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        echo "make-voices.sh: $tool is missing (apt-get install -y espeak-ng sox g++)" >&2
        exit 1
    fi
done
if [[ ! -f $out/Klack.wav ]]; then
    echo "make-voices.sh: $out/Klack.wav is missing: run tools/make-sounds.sh" >&2
    exit 1
fi

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# The measures of sound_level.h, by soundgen --measure.
g++ -std=c++17 -O2 -o "$tmp/soundgen" "$here/soundgen.cpp"
# measure FILE: prints "PEAK_DBFS LOUDNESS_DB SWELL_MS" (loudness: of its loudest 100 ms)
measure() { "$tmp/soundgen" --measure "$1" | awk 'NR == 2 { print $5, $9, $8 }'; }

read -r _ level _ < <("$tmp/soundgen" --measure "$out/Klack.wav" | awk 'NR == 2 { print $5, $3, $8 }')
accent_gain=2.5
max_peak=-1.05
# Longest allowed file, so that counts still fit between fast beats.
max_len=0.70
# Latest swell of a word, and the rise of its vowel kept as spoken before it (ms; see hurry).
max_swell=150
vowel_rise=60

# Arithmetic on decimal numbers (bash has integers only).
calc() { awk "BEGIN { printf \"%.6f\", ($1) }"; }

# hurry FILE: a word whose voice swells later than max_swell ms into it (slowly spoken
# consonants before its vowel, like the "tsv" of "zwei") has them spoken faster. Everything up to
# vowel_rise ms before its swell is shortened in time, its pitch kept (sox tempo), so that the
# swell comes at max_swell; the vowel and its rise stay as spoken. The program starts a word at
# most two thirds of a beat before its beat (147 ms at 271 BPM), so a later swell is heard late.
hurry() {
    local file=$1 probe=$tmp/hurry.wav head=$tmp/head.wav tail=$tmp/tail.wav swell cut factor
    sox -R -D "$file" -b 16 "$probe"
    read -r _ _ swell < <(measure "$probe")
    awk "BEGIN { exit !($swell > $max_swell) }" || return 0
    cut=$(calc "($swell - $vowel_rise) / 1000")
    factor=$(calc "($swell - $vowel_rise) / ($max_swell - $vowel_rise)")
    sox -R -D "$file" "$head" trim 0 "$cut" tempo -s "$factor" 30
    sox -R -D "$file" "$tail" trim "$cut"
    sox -R -D "$head" "$tail" "$file" splice -q "$(soxi -D "$head")",0.002
}

# render VOICE_DIR FILE_NAME EXTRA_DB ESPEAK_ARGS... -- TEXT [SOX_EFFECTS...]
render() {
    local dir=$1 name=$2 extra=$3
    shift 3
    local espeak_args=()
    while [[ $1 != -- ]]; do
        espeak_args+=("$1")
        shift
    done
    shift
    local text=$1
    shift
    local effects=("$@")

    local raw=$tmp/raw.wav norm=$tmp/norm.wav probe=$tmp/probe.wav
    espeak-ng -z "${espeak_args[@]}" -w "$raw" "$text"

    # 44.1 kHz, voice effects, rumble removed, then the silence cut off both
    # ends: before the first sound 50 dB below the peak, after the last one
    # 52 dB below it (thresholds relative to the peak, hence the normalising
    # first). Work files are float so nothing clips on the way.
    sox -R -D "$raw" -e floating-point -b 32 -r 44100 -c 1 "$norm" \
        gain -10 rate -v 44100 "${effects[@]}" highpass 60 norm -1 \
        silence 1 0.0002 -50d reverse silence 1 0.010 -52d reverse
    hurry "$norm"
    local len trim_args=() fade=0.030
    len=$(soxi -D "$norm")
    if awk "BEGIN { exit !($len > $max_len) }"; then
        trim_args=(trim 0 "$max_len")
        fade=0.080
    fi

    # The level: as loud as the percussion (plus the accent's extra), but no
    # peak above -1 dBFS.
    sox -R -D "$norm" -b 16 "$probe" "${trim_args[@]}" fade h 0 -0 "$fade"
    local peak loud swell gain
    read -r peak loud swell < <(measure "$probe")
    gain=$(calc "$level + $extra - $loud")
    gain=$(calc "$peak + $gain > $max_peak ? $max_peak - $peak : $gain")

    mkdir -p "$dir"
    sox -R -D "$norm" -r 44100 -b 16 -c 2 "$dir/$name" "${trim_args[@]}" fade h 0 -0 "$fade" gain "$gain"
    printf '%s/%s: swell %s ms\n' "${dir#"$out"/}" "$name" "$swell" >>"$tmp/swells"
}

# voice FOLDER PLAIN_ESPEAK_ARGS ACCENT_ESPEAK_ARGS WORDS SOX_EFFECTS
#   Both espeak argument lists and the effects are single strings that are
#   split on spaces; WORDS are the eight numbers.
voice() {
    local folder=$1 plain_args=$2 accent_args=$3 words=$4 sox_effects=$5
    local dir=$out/Count/$folder n=1 word
    # shellcheck disable=SC2086
    for word in $words; do
        render "$dir" "$n.wav" 0 $plain_args -- "$word" $sox_effects
        render "$dir" "${n}a.wav" "$accent_gain" $accent_args -m -- \
            "<speak><emphasis level=\"strong\">$word</emphasis></speak>" $sox_effects
        n=$((n + 1))
    done
    awk -v f="Count/$folder" '$0 ~ f { s = $3 + 0; lo = (lo == "" || s < lo) ? s : lo; hi = s > hi ? s : hi }
        END { printf "%s: 8 numbers, swell %.1f-%.1f ms\n", f, lo, hi }' "$tmp/swells"
}

german="eins zwei drei vier fünf sechs sieben acht"
english="one two three four five six seven eight"

# Long: a German voice, slow, with drawn-out vowels.
voice Long "-v de -s 105 -p 40" "-v de -s 105 -p 62" "$german" ""

# Englisch: an English voice at a natural, brisk pace.
voice Englisch "-v en -s 150 -p 45" "-v en -s 150 -p 68" "$english" ""

# Computer: a robot voice without intonation; a 4 ms echo gives it the
# metallic ring of a tin can.
voice Computer "-v de+robosoft -s 140 -p 35" "-v de+robosoft -s 140 -p 55" "$german" \
    "echo 0.6 0.9 4 0.5"
