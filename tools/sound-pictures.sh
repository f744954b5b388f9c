#!/usr/bin/env bash
# sound-pictures.sh — draws each sound of the Sounds folder for docs/DEVELOPING.md: its spectrogram (sox,
# 0-22 kHz, 70 dB of range) over its waveform on the same time axis, one small PNG per sound.
#
# Usage: tools/sound-pictures.sh [SOUNDS_DIR] [OUTPUT_DIR]     (default: sounds docs/sounds)
#
# Draws the percussion sounds and, of each voice, the number 1 plain and accented. Needs sox,
# python3 and ImageMagick's convert (all in scripts/install-deps.sh --test).
set -euo pipefail

in=${1:-sounds}
out=${2:-docs/sounds}
mkdir -p "$out"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# wave WAV SPECTROGRAM_PNG OUT_PPM: the waveform, as wide as the spectrogram, its plot under the
# spectrogram's plot (found by the grey frame that sox draws around it).
wave() {
    local frame
    frame=$(convert "$2" -crop "$(convert "$2" -format %w info:)x1+0+100" txt:- |
        awk -F'[,:]' '/grey50/ { print $1 }' | tr '\n' ' ')
    python3 - "$1" "$(convert "$2" -format %w info:)" $frame "$3" <<'PY'
import struct, sys, wave
path, width, left, right, out = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4]), sys.argv[5]
w = wave.open(path)
n, ch = w.getnframes(), w.getnchannels()
x = struct.unpack('<%dh' % (n * ch), w.readframes(n))[::ch]
height, cols = 64, right - left - 1
img = [[(0, 0, 0)] * width for _ in range(height)]
for c in range(left, right + 1):
    img[0][c] = img[height - 1][c] = (127, 127, 127)
for r in range(height):
    img[r][left] = img[r][right] = (127, 127, 127)
for c in range(cols):
    seg = x[c * n // cols:max((c + 1) * n // cols, c * n // cols + 1)]
    lo, hi = min(seg), max(seg)
    top = int((1 - hi / 32768) * (height - 3) / 2) + 1
    bottom = int((1 - lo / 32768) * (height - 3) / 2) + 1
    for r in range(top, bottom + 1):
        img[r][left + 1 + c] = (255, 200, 60)
with open(out, 'wb') as f:
    f.write(b'P6 %d %d 255\n' % (width, height))
    f.write(bytes(v for row in img for px in row for v in px))
PY
}

draw() {
    local file=$1 title=$2 name=$3
    sox "$file" -n remix 1 spectrogram -x 300 -y 129 -z 70 -t "$title" -c "" -o "$tmp/spec.png"
    wave "$file" "$tmp/spec.png" "$tmp/wave.ppm"
    convert "$tmp/spec.png" "$tmp/wave.ppm" -append -colors 48 -strip "$out/$name.png"
}

for file in "$in"/*.wav; do
    name=$(basename "$file" .wav)
    draw "$file" "$name" "$name"
done
for voice in Long Englisch Computer; do
    draw "$in/Count/$voice/1.wav" "Count/$voice/1" "$voice-1"
    draw "$in/Count/$voice/1a.wav" "Count/$voice/1a" "$voice-1a"
done
du -ch "$out"/*.png | tail -1
