#!/usr/bin/env bash
# make-voices.sh — speaks the counting files of the Sounds folder.
#
# Usage: tools/make-voices.sh [OUTPUT_DIR]        (default: sounds)
#
# Writes OUTPUT_DIR/Count/<Voice>/1.wav .. 8.wav (plain) and 1a.wav .. 8a.wav
# (accented, for the first beat of a bar) for the voices Long, Englisch and
# Computer. Needs espeak-ng and sox (apt-get install -y espeak-ng sox).
#
# Every file is 44100 Hz, 16 bit, stereo, peak-normalised, and starts right
# at the attack of the word: the program plays it exactly on the beat, so any
# silence at the start would make the count lag behind. Long consonant
# lead-ins are shortened for the same reason: a listener hears the beat where
# the vowel starts.

set -euo pipefail

out=${1:-sounds}

for tool in espeak-ng sox soxi awk; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        echo "make-voices.sh: $tool is missing (apt-get install -y espeak-ng sox)" >&2
        exit 1
    fi
done

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# Peak levels: accented counts are clearly louder than plain ones.
plain_level=-6
accent_level=-1
# Longest allowed file, so that counts still fit between fast beats.
max_len=0.70

# Arithmetic on decimal numbers (bash has integers only).
calc() { awk "BEGIN { printf \"%.6f\", $1 }"; }

# render VOICE_DIR FILE_NAME LEVEL LEAD ESPEAK_ARGS... -- TEXT [SOX_EFFECTS...]
#   LEAD: how much of the sound before the vowel (in seconds) is kept.
render() {
    local dir=$1 name=$2 level=$3 lead=$4
    shift 4
    local espeak_args=()
    while [[ $1 != -- ]]; do
        espeak_args+=("$1")
        shift
    done
    shift
    local text=$1
    shift
    local effects=("$@")

    local raw=$tmp/raw.wav norm=$tmp/norm.wav vowel=$tmp/vowel.wav
    espeak-ng -z "${espeak_args[@]}" -w "$raw" "$text"

    # 44.1 kHz, voice effects, rumble removed, then the silence cut off both
    # ends (thresholds relative to the peak, hence the normalising first). At
    # the start the faint fade-in of a consonant goes too: the word has to be
    # there from the first millisecond. Work files are float so nothing clips
    # on the way.
    sox -R -D "$raw" -e floating-point -b 32 -r 44100 -c 1 "$norm" \
        gain -10 rate -v 44100 "${effects[@]}" highpass 60 norm -1 \
        silence 1 0.002 -40d reverse silence 1 0.010 -52d reverse

    # Where the strong part of the word (its vowel) starts: the first 10 ms
    # whose RMS level is within 20 dB of the peak.
    sox -R -D "$norm" "$vowel" silence 1 0.010 -20d
    local total vowel_len start len trim_args fade
    total=$(soxi -D "$norm")
    vowel_len=$(soxi -D "$vowel")
    start=$(calc "($vowel_len < 0.05 || $total - $vowel_len < $lead) ? 0 : $total - $vowel_len - $lead")
    len=$(calc "$total - $start")
    trim_args=("$start")
    fade=0.030
    if awk "BEGIN { exit !($len > $max_len) }"; then
        len=$max_len
        trim_args+=("$len")
        fade=0.080
    fi

    # Cut, then compress: consonants come up by about 12 dB against the vowels,
    # so the first milliseconds are clearly audible and all eight numbers sound
    # equally strong. The compressor has no look-ahead (nothing is delayed);
    # its curve is set for the peak at -15 dB after "gain -14", which leaves
    # room for its overshoot at the onset of a vowel. Then set the level and
    # fade out the tail.
    mkdir -p "$dir"
    sox -R -D "$norm" -r 44100 -b 16 -c 2 "$dir/$name" \
        trim "${trim_args[@]}" \
        gain -14 \
        compand 0.002,0.120 6:-94,-94,-69,-54,-54,-42,-39,-32,-24,-24,-14,-20 0 -54 0 \
        norm "$level" \
        fade h 0.001 -0 "$fade"
}

# voice FOLDER LEAD PLAIN_ESPEAK_ARGS ACCENT_ESPEAK_ARGS WORDS SOX_EFFECTS
#   Both espeak argument lists and the effects are single strings that are
#   split on spaces; WORDS are the eight numbers.
voice() {
    local folder=$1 lead=$2 plain_args=$3 accent_args=$4 words=$5 sox_effects=$6
    local dir=$out/Count/$folder n=1 word
    # shellcheck disable=SC2086
    for word in $words; do
        render "$dir" "$n.wav" "$plain_level" "$lead" $plain_args -- "$word" $sox_effects
        render "$dir" "${n}a.wav" "$accent_level" "$lead" $accent_args -m -- \
            "<speak><emphasis level=\"strong\">$word</emphasis></speak>" $sox_effects
        n=$((n + 1))
    done
    echo "Count/$folder: $((n - 1)) numbers"
}

german="eins zwei drei vier fünf sechs sieben acht"
english="one two three four five six seven eight"

# Long: a German voice, slow, with drawn-out vowels.
voice Long 0.060 "-v de -s 105 -p 40" "-v de -s 105 -p 62" "$german" ""

# Englisch: an English voice at a natural, brisk pace.
voice Englisch 0.045 "-v en -s 150 -p 45" "-v en -s 150 -p 68" "$english" ""

# Computer: a robot voice without intonation; a 4 ms echo gives it the
# metallic ring of a tin can.
voice Computer 0.045 "-v de+robosoft -s 140 -p 35" "-v de+robosoft -s 140 -p 55" "$german" \
    "echo 0.6 0.9 4 0.5"
