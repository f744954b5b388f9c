#!/usr/bin/env bash
# The beat analysis that the measurements rely on, fed with made-up recordings: the program's own
# percussion sounds mixed at known frames at its level of -9 dB, as SDL's disk driver writes them
# (stereo float). It must find every beat at its very frame even where bass drum and snare ring into
# the next beats, and tell dropouts, lost and doubled beats and pauses.
. "$(dirname "$0")/session.sh"
ANALYZE=$1 SOUNDS=$2
setup_dirs
command -v perl >/dev/null || fail "perl is not installed"

# synth SECONDS FRAME:SOUND... writes $WORK/mix.raw, the mix of the sounds starting at their frames;
# FRAME:-LENGTH inserts LENGTH frames of silence at FRAME (a stream that ran dry).
synth() {
  perl -e '
    my ($out, $seconds, $dir, @plays) = @ARGV;
    my @mix = (0) x (2 * int($seconds * 44100));
    my (%cache, @gaps);
    for (@plays) {
      my ($at, $name) = split /:/;
      if ($name =~ /^-(\d+)$/) { push @gaps, [$at, $1]; next }
      my $s = $cache{$name} //= do {
        open my $f, "<:raw", "$dir/$name.wav" or die "$name: $!"; local $/; my $wav = <$f>;
        substr($wav, 36, 4) eq "data" or die "$name: not a plain 44-byte header";
        [unpack "s<*", substr($wav, 44)];
      };
      for (my $i = 0; $i < @$s && 2 * $at + $i < @mix; ++$i) { $mix[2 * $at + $i] += $s->[$i] / 32768 * 0.355 }
    }
    splice @mix, 2 * $_->[0], 0, (0) x (2 * $_->[1]) for sort { $b->[0] <=> $a->[0] } @gaps;
    open my $o, ">:raw", $out or die; print $o pack("f<*", @mix);
  ' "$WORK/mix.raw" "$1" "$SOUNDS" "${@:2}"
}
# Frames of N beats at BPM from frame FIRST: the frame of each crossing, rounded up.
frames() { awk -v n="$1" -v bpm="$2" -v first="$3" 'BEGIN { for (i = 0; i < n; i++) { f = first + i * 60 * 44100 / bpm; printf "%d\n", (f == int(f)) ? f : int(f) + 1 } }'; }
# Plays of the "Rhythmus" pattern (hi-hat on every beat, bass drum on 1, snare on 3 of 4).
rhythmus() { local i=0 f; while read -r f; do echo "$f:HiHat"; [ $((i % 4)) -eq 0 ] && echo "$f:Bassdrum"; [ $((i % 4)) -eq 2 ] && echo "$f:Snare"; i=$((i + 1)); done; }
beat() { sed -n "$1p" "$WORK/want"; }

passed=0
check() { # NAME EXPECTED-STATUS ARGS...: the analysis of $WORK/mix.raw, its report in REPORT
  local status=0
  REPORT=$("$ANALYZE" "$WORK/mix.raw" --raw-float "${@:3}") || status=$?
  [ "$status" -eq "$2" ] || fail "$1: status $status, not $2: $REPORT"
  passed=$((passed + 1))
}
has() { for want in "$@"; do grep -q -- "$want" <<<"$REPORT" || fail "no '$want' in: $REPORT"; done; }

# The fastest tempo with overlapping sounds: every beat at its frame.
frames 40 271 4410 >"$WORK/want"
synth 10 $(rhythmus <"$WORK/want")
check "overlapping sounds" 0 --bpm 271 --list
has "beats found            40"
diff <(awk '/^beat / {print $4}' <<<"$REPORT") "$WORK/want" || fail "beats not found at their frames"

# The stream ran dry for 3 ms in the ringing bass drum: one late beat, no extra one.
synth 10 $(rhythmus <"$WORK/want") "$(($(beat 21) + 500)):-127"
check "a dropout" 0 --bpm 271
has "beats found            40" "dropouts               1" "irregular intervals    1"

# The stream ran dry for 25 ms late in a hi-hat, where its tail is faint: no extra beat either.
synth 10 $(rhythmus <"$WORK/want") "$(($(beat 20) + 5000)):-1100"
check "a dropout in a faint tail" 0 --bpm 271
has "beats found            40" "dropouts               1"

# A beat left out, a beat too many.
synth 10 $(sed 20d "$WORK/want" | rhythmus)
check "a lost beat" 2 --bpm 271
has "lost beats             1"
synth 10 $(rhythmus <"$WORK/want") "$(($(beat 20) + 3000)):Klack"
check "a doubled beat" 2 --bpm 271
has "doubled beats          1"

# 120, a pause of 3 s, and a second run at 120.
{ frames 8 120 4410; frames 6 120 $((4410 + 7 * 22050 + 3 * 44100)); } >"$WORK/want"
synth 12 $(sed 's/$/:Klack/' "$WORK/want")
check "a pause" 0 --bpm 120 --pause 2
has "runs found             2"
echo "$passed passed, 0 failed"
