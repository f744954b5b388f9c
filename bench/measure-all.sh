#!/usr/bin/env bash
# Runs bench/measure.sh in the situations a user meets and prints one table (Markdown) of the
# figures: the slowest and the fastest tempo the weight allows, 120 as started, the tempo changed
# while running, the window dragged and the presets switched while running, and the accents of
# the presets. Each run has its own PulseAudio server, X server and program.
#
# Usage: bench/measure-all.sh [--build DIR] [--logs DIR]
#   --logs DIR keeps each run's full report (and recording) in DIR.
# Exit status: 0 when every run kept every beat, its tempo and its accents; 1 otherwise.
set -uo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=$here/build
logs=""
while [ $# -gt 0 ]; do
  case $1 in
    --build) build=$2; shift 2 ;;
    --logs) logs=$2; mkdir -p "$logs"; shift 2 ;;
    *) echo "unknown option $1" >&2; exit 1 ;;
  esac
done
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

# name | options of measure.sh
scenarios=(
  "slowest: weight at the top|--weight 24 --seconds 40"
  "fastest: weight at the bottom|--weight 296 --seconds 20"
  "120 as started|--seconds 20"
  "tempo changed while running: >> x3, then < x5|--seconds 20 --during wait 5; steps >>:3; wait 6; steps <:5"
  "fastest, window dragged and presets switched|--weight 296 --seconds 24 --during drag 3; preset Kick; drag 3; preset Rhythmus; drag 3; preset Normal; drag 3; preset Rhythmus; drag 3; preset Kick; drag 3"
  "accents: Rhythmus at 120 (beats 1 and 3 of 4)|--preset Rhythmus --accents 4:1,3 --seconds 12"
  "accents: Kick at the fastest (beat 1 of 4)|--weight 296 --preset Kick --accents 4:1 --seconds 12"
)

# Pulls the figures out of a report of measure.sh into one table row.
row() {
  awk -F'  +' -v name="$1" -v status="$2" '
    /^tempo shown/            { tempo = $2 }
    /^window shown after/     { shown = $2 }
    /^CPU while running/      { split($2, a, " "); cpu = a[1] " %" }
    /^memory while running/   { split($2, a, "peak "); peak = a[2] }
    /^beats found/            { beats = $2 }
    /^mean interval/          { split($2, a, " = "); mean = a[1] " (" a[2] ")" }
    /^spread/                 { split($2, a, " = "); sd = a[1] }
    /^worst deviation/        { split($2, a, " = "); worst = a[1] }
    /^drift over the run/     { split($2, a, " = "); drift = a[1] }
    /^at .* bpm/              { split($0, a, "mean "); split(a[2], m, " samples"); split($0, w, "worst ");
                                per = per (per ? "; " : "") $1 ": " m[1]; split(w[2], x, " "); if (x[1] + 0 > pw + 0) pw = x[1]
                                split($0, s, "spread "); split(s[2], y, ","); if (y[1] + 0 > psd + 0) psd = y[1] }
    /^tempo changes/          { changes = $2; sub(/ intervals.*/, "", changes) }
    /^accents/                { split($2, a, ":"); acc = a[1]; split($0, b, "is "); split(b[2], c, " dB"); acc = acc " (+" c[1] " dB)" }
    /^irregular/              { irr = $2; sub(/ \(.*/, "", irr) }
    /^server underruns/       { under = $2; sub(/ \(.*/, "", under) }
    /^dropouts/               { drop = $2; sub(/ \(.*/, "", drop) }
    /^lost beats/             { lost = $2 }
    /^doubled beats/          { doubled = $2 }
    END {
      if (per) { mean = per " samples"; sd = psd " samples (largest)"; worst = pw " samples"; drift = changes " change intervals" }
      result = status == 0 ? "pass" : status == 2 ? "FAIL: beats lost or doubled" : status == 3 ? "FAIL: tempo" : status == 4 ? "FAIL: accents" : "FAIL (" status ")"
      printf "| %s | %s | %s | %s | %s | %s | %s | %s / %s | %s | %s / %s | %s | %s | %s | %s | %s |\n",
        name, tempo, beats, mean, sd, worst, drift, lost, doubled, irr, under, drop, (acc ? acc : "-"), cpu, peak, shown, result
    }' "$3"
}

failed=0
rows=()
for s in "${scenarios[@]}"; do
  name=${s%%|*}
  read -ra opts <<<"${s#*|}"
  # The actions of --during are one argument.
  args=()
  for ((i = 0; i < ${#opts[@]}; i++)); do
    if [ "${opts[i]}" = "--during" ]; then
      args+=(--during "${opts[*]:i+1}")
      break
    fi
    args+=("${opts[i]}")
  done
  echo "== $name: bench/measure.sh ${s#*|}" >&2
  keep=()
  if [ -n "$logs" ]; then
    mkdir -p "$logs/run$(( ${#rows[@]} + 1 ))"
    keep=(--keep "$logs/run$(( ${#rows[@]} + 1 ))")
  fi
  bash "$here/bench/measure.sh" --build "$build" "${keep[@]}" "${args[@]}" >"$out/report" 2>&1
  status=$?
  cat "$out/report" >&2
  [ -n "$logs" ] && cp "$out/report" "$logs/run$(( ${#rows[@]} + 1 ))/report.txt"
  [ $status -eq 0 ] || failed=1
  rows+=("$(row "$name" "$status" "$out/report")")
done

echo
echo "| run | tempo | beats | mean interval | spread (std dev) | worst deviation | drift | lost / doubled | irregular | underruns / dropouts | accents | CPU | peak memory | window shown | result |"
echo "|---|---|---|---|---|---|---|---|---|---|---|---|---|---|---|"
printf '%s\n' "${rows[@]}"
exit $failed
