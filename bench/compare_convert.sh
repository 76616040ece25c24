#!/usr/bin/env bash
# convert as a user runs it, against its floors, with the ratios the conversion aims at:
#   - one theme (the sample) against reading its package and copying its four output files
#     into a fresh folder (a `cat` and a `cp` of the same bytes);
#   - 50 copies of the sample with --jobs 2 against --jobs 1: wall time and CPU time per theme;
#   - the peak memory of both, and of one theme.
# Each figure is the median of RUNS runs (default 9), the runs of the things compared alternating.
# The machine should be otherwise idle: check `uptime` first.
#
# Usage: bench/compare_convert.sh [VEXARO_CLI [SAMPLE_THEME]]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cli=${1:-$here/build/default/src/cli/vexaro-cli}
sample=${2:-$here/build/default/sample/VexaroSample.sis}
runs=${RUNS:-9}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# measure NAME K FUNCTION: runs FUNCTION K times, each into a fresh folder, and appends "wall cpu"
# per run (seconds) to NAME.times; then once more alone and appends its peak memory (KiB) to
# NAME.peak.
measure() {
  local name=$1 k=$2 fn=$3 begin end
  begin=$(date +%s%N)
  /usr/bin/time -f "%U %S" -o "$work/time" bash -c \
    "for i in \$(seq 1 $k); do $fn \"$work/out/$name.\$i\"; done" >/dev/null
  end=$(date +%s%N)
  awk -v wall=$(((end - begin) / k)) -v k="$k" '{ printf "%.6f %.6f\n", wall / 1e9, ($1 + $2) / k }' \
    "$work/time" >>"$work/$name.times"
  rm -rf "$work/out"
  /usr/bin/time -f "%M" -o "$work/time" bash -c "$fn \"$work/out/$name\"" >/dev/null
  cat "$work/time" >>"$work/$name.peak"
  rm -rf "$work/out"
}
# median NAME COLUMN (of NAME.times) or median NAME peak
median() {
  if [ "$2" = peak ]; then cat "$work/$1.peak"; else cut -d' ' -f"$2" "$work/$1.times"; fi |
    sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'
}
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }

mkdir -p "$work/in"
for i in $(seq 1 50); do cp "$sample" "$work/in/Theme$i.sis"; done
# The four files one conversion writes, to copy for the floor.
"$cli" convert --jobs 1 --out "$work/ref" "$sample" >/dev/null
[ "$(ls "$work"/ref/*/Siemens/*.mbm "$work"/ref/*/preview.jpg | wc -l)" -eq 4 ] ||
  { echo "compare_convert: the sample did not give its four files" >&2; exit 1; }

export cli sample work
one() { "$cli" convert --jobs 1 --out "$1" "$sample"; }
floor() { cat "$sample" >/dev/null && mkdir -p "$1" && cp "$work"/ref/*/Siemens/*.mbm "$work"/ref/*/preview.jpg "$1"/; }
j1() { "$cli" convert --jobs 1 --out "$1" "$work"/in/*.sis; }
j2() { "$cli" convert --jobs 2 --out "$1" "$work"/in/*.sis; }
export -f one floor j1 j2
for _ in $(seq 1 "$runs"); do
  measure one 20 one
  measure floor 20 floor
  measure j1 2 j1
  measure j2 2 j2
done

echo "medians of $runs runs; load now: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "one theme:      $(median one 1) s, floor (cat + cp) $(median floor 1) s: ratio" \
  "$(ratio "$(median one 1)" "$(median floor 1)") (goal <= 2)"
echo "50 themes wall: --jobs 1 $(median j1 1) s, --jobs 2 $(median j2 1) s: ratio" \
  "$(ratio "$(median j2 1)" "$(median j1 1)") (goal <= 0.65)"
echo "CPU per theme:  --jobs 1 $(ratio "$(median j1 2)" 0.05) ms, --jobs 2 $(ratio "$(median j2 2)" 0.05) ms: ratio" \
  "$(ratio "$(median j2 2)" "$(median j1 2)") (goal <= 1.1)"
echo "peak memory:    one theme $(median one peak) KiB (goal < 12288), 50 themes --jobs 2 $(median j2 peak) KiB" \
  "(goal < 24576), --jobs 1 $(median j1 peak) KiB"
