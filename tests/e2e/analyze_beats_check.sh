#!/usr/bin/env bash
# The beat analysis that the measurements rely on, fed with made-up recordings: the program's own
# percussion sounds mixed at known frames at its level of -9 dB, as SDL's disk driver writes them
# (stereo float). It must find every beat at its very frame even where bass drum and snare ring
# into the next beats, and tell lost and doubled beats, tempo changes, pauses and misplaced accents.
. "$(dirname "$0")/lib.sh"
ANALYZE=$1
SOUNDS=$2
setup_dirs
command -v perl >/dev/null || fail "perl is not installed"

# synth OUT SECONDS FRAME:SOUND... writes the mix of the given sounds starting at the given frames;
# FRAME:-LENGTH inserts LENGTH frames of silence at FRAME (a stream that ran dry).
synth() {
  perl -e '
    use strict;
    my ($out, $seconds, $dir, @plays) = @ARGV;
    my $frames = int($seconds * 44100);
    my @mix = (0) x (2 * $frames);
    my %cache;
    my @gaps;
    for my $play (@plays) {
      my ($at, $name) = split /:/, $play;
      if ($name =~ /^-(\d+)$/) { push @gaps, [$at, $1]; next }
      $cache{$name} //= do {
        open my $f, "<:raw", "$dir/$name.wav" or die "$name: $!";
        local $/; my $wav = <$f>;
        my $p = 12; my $data;
        while ($p + 8 <= length $wav) {
          my ($id, $len) = unpack "a4 V", substr($wav, $p, 8);
          if ($id eq "data") { $data = substr($wav, $p + 8, $len); last }
          $p += 8 + $len + ($len & 1);
        }
        [unpack "s<*", $data];
      };
      my $s = $cache{$name};
      for (my $i = 0; $i < @$s && 2 * $at + $i < @mix; ++$i) { $mix[2 * $at + $i] += $s->[$i] / 32768 * 0.355 }
    }
    for my $gap (sort { $b->[0] <=> $a->[0] } @gaps) { splice @mix, 2 * $gap->[0], 0, (0) x (2 * $gap->[1]) }
    open my $o, ">:raw", $out or die; print $o pack("f<*", @mix);
  ' "$1" "$2" "$SOUNDS" "${@:3}"
}
# Frames of N beats at BPM from frame FIRST: the frame of each crossing, rounded up.
frames() { awk -v n="$1" -v bpm="$2" -v first="$3" 'BEGIN { for (i = 0; i < n; i++) { f = first + i * 60 * 44100 / bpm; printf "%d\n", (f == int(f)) ? f : int(f) + 1 } }'; }
# Plays of the "Rhythmus" pattern (hi-hat on every beat, bass drum on 1, snare on 3 of 4).
rhythmus() { local i=0 f; while read -r f; do echo "$f:HiHat"; [ $((i % 4)) -eq 0 ] && echo "$f:Bassdrum"; [ $((i % 4)) -eq 2 ] && echo "$f:Snare"; i=$((i + 1)); done; }

passed=0
check() { # NAME EXPECTED-STATUS FILE ARGS... ; leaves the report in REPORT
  local name=$1 want=$2 status=0
  REPORT=$("$ANALYZE" "$3" --raw-float "${@:4}") || status=$?
  [ "$status" -eq "$want" ] || fail "$name: status $status, not $want: $REPORT"
  passed=$((passed + 1))
}
has() { grep -q -- "$2" <<<"$REPORT" || fail "$1: no '$2' in: $REPORT"; }

# The fastest tempo with overlapping sounds: every beat at its frame, the accents on 1 and 3.
frames 40 271 4410 >"$WORK/want"
mapfile -t plays < <(rhythmus <"$WORK/want")
synth "$WORK/fast.raw" 10 "${plays[@]}"
check "overlapping sounds" 0 "$WORK/fast.raw" --bpm 271 --accents 4:1,3 --list --strict
has "overlapping sounds" "beats found            40"
has "overlapping sounds" "accents                on the marked beats"
diff <(awk '/^beat / {print $4}' <<<"$REPORT") "$WORK/want" || fail "beats not found at their frames"
check "accents elsewhere" 4 "$WORK/fast.raw" --bpm 271 --accents 4:2,4
has "accents elsewhere" "NOT on the marked beats"

# The stream ran dry for 3 ms in the ringing bass drum: one late beat, no extra one.
mapfile -t plays < <(rhythmus <"$WORK/want"; echo "$(( $(sed -n 21p "$WORK/want") + 500 )):-127")
synth "$WORK/dropout.raw" 10 "${plays[@]}"
check "a dropout" 0 "$WORK/dropout.raw" --bpm 271
has "a dropout" "beats found            40"
has "a dropout" "dropouts               1"
has "a dropout" "irregular intervals    1"

# Two frames skipped in the ringing tails (too short for a dropout, within 1 ms): later beats
# 2 samples late, which only --strict fails on.
mapfile -t plays < <(rhythmus <"$WORK/want"; echo "$(( $(sed -n 21p "$WORK/want") - 3000 )):-2")
synth "$WORK/moved.raw" 10 "${plays[@]}"
check "beats moved by 2 samples" 0 "$WORK/moved.raw" --bpm 271
has "beats moved by 2 samples" "off the ideal          1 intervals"
check "beats moved, strict" 5 "$WORK/moved.raw" --bpm 271 --strict

# The stream ran dry for 25 ms late in a hi-hat, where its tail is faint: no extra beat either.
mapfile -t plays < <(rhythmus <"$WORK/want"; echo "$(( $(sed -n 20p "$WORK/want") + 5000 )):-1100")
synth "$WORK/faint.raw" 10 "${plays[@]}"
check "a dropout in a faint tail" 0 "$WORK/faint.raw" --bpm 271 --accents 4:1,3
has "a dropout in a faint tail" "beats found            40"
has "a dropout in a faint tail" "dropouts               1"

# A beat left out, a beat too many.
mapfile -t plays < <(sed 20d "$WORK/want" | rhythmus)
synth "$WORK/lost.raw" 10 "${plays[@]}"
check "a lost beat" 2 "$WORK/lost.raw" --bpm 271
has "a lost beat" "lost beats             1"
mapfile -t plays < <(rhythmus <"$WORK/want"; echo "$(( $(sed -n 20p "$WORK/want") + 3000 )):Klack")
synth "$WORK/doubled.raw" 10 "${plays[@]}"
check "a doubled beat" 2 "$WORK/doubled.raw" --bpm 271
has "a doubled beat" "doubled beats          1"

# 120, then 150 (one interval in between), then a pause of 3 s and a second run at 150.
{ frames 8 120 4410; frames 8 150 $((4410 + 7 * 22050 + 20000)); frames 6 150 $((4410 + 7 * 22050 + 20000 + 7 * 17640 + 3 * 44100)); } >"$WORK/want"
mapfile -t plays < <(sed 's/$/:Klack/' "$WORK/want")
synth "$WORK/change.raw" 12 "${plays[@]}"
check "a tempo change and a pause" 0 "$WORK/change.raw" --bpm 120,150 --pause 2
has "a tempo change and a pause" "runs found             2"
has "a tempo change and a pause" "tempo changes          1 intervals"
check "a change not expected" 3 "$WORK/change.raw" --bpm 120 --pause 2
check "a pause not expected" 2 "$WORK/change.raw" --bpm 120,150
echo "$passed passed, 0 failed"
