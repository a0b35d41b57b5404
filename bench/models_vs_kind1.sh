#!/usr/bin/env bash
# Times the same scan for the family's kind 1 and for the models of --potential, in one call and
# alternately, so that the machine's drift falls on all alike: the named models against kind 1,
# and a formula against the named model it equals.
#
# Usage: bench/models_vs_kind1.sh [ROUNDS=3] [RUNNER=build/kinklab-run]
# Prints a row per model: the median wall time of its scan and its ratio to kind 1's (and, for
# a formula, to the named model it equals), with the spread of that ratio over the rounds.
set -euo pipefail
set -f  # the formulas hold * and ( ): no file name expansion
cd "$(dirname "$0")/.."
rounds=${1:-3}
runner=${2:-build/kinklab-run}
[[ -x $runner ]] || { echo "no $runner: run scripts/build.sh" >&2; exit 2; }

scan="--scan 0.2:0.29:0.01 --N 1024 --t 200 --precision double --jobs 1"
# label | options | the label its ratio is taken against
work=(
  "kind 1|--kind 1|"
  "phi4|--potential phi4|kind 1"
  "phi6 (1,0,1)|--potential phi6 --vacua 1,0,1|kind 1"
  "sine-gordon|--potential sine-gordon|kind 1"
  "kind 4 (k = 5)|--kind 4|kind 1"
  "formula (u^2-1)^2/4|--potential (u^2-1)^2/4|phi4"
  "formula u^2*(1-u^2)^2/2|--potential u^2*(1-u^2)^2/2 --vacua 1,0,1|phi6 (1,0,1)"
  "formula 1-cos(u)|--potential 1-cos(u) --vacua 0,2*pi,0|sine-gordon"
)

seconds() {
  local start end
  start=$(date +%s.%N)
  # shellcheck disable=SC2086
  "$runner" $scan $1 >/dev/null 2>&1 || { echo ""; return; }
  end=$(date +%s.%N)
  awk -v s="$start" -v e="$end" 'BEGIN { print e - s }'
}
median() { printf '%s\n' "$@" | sort -g | awk '{a[NR] = $1} END {print a[int((NR + 1) / 2)]}'; }

declare -A times
for ((r = 1; r <= rounds; ++r)); do
  for item in "${work[@]}"; do
    IFS='|' read -r label options base <<<"$item"
    times["$label"]+="$(seconds "$options") "
  done
done

printf 'scan: %s, %s rounds\n\n' "$scan" "$rounds"
printf '| model | scan (s) | against | ratio | spread of the ratio |\n|---|---|---|---|---|\n'
for item in "${work[@]}"; do
  IFS='|' read -r label options base <<<"$item"
  read -r -a mine <<<"${times[$label]}"
  m=$(median "${mine[@]}")
  if [[ -z $base ]]; then
    printf '| %s | %.3f | | | |\n' "$label" "$m"
    continue
  fi
  read -r -a theirs <<<"${times[$base]}"
  ratios=()
  for ((r = 0; r < ${#mine[@]}; ++r)); do ratios+=("$(awk -v a="${theirs[r]}" -v b="${mine[r]}" 'BEGIN { print b / a }')"); done
  lo=$(printf '%s\n' "${ratios[@]}" | sort -g | head -1)
  hi=$(printf '%s\n' "${ratios[@]}" | sort -g | tail -1)
  printf '| %s | %.3f | %s | %.2f | %.2f ... %.2f |\n' "$label" "$m" "$base" "$(median "${ratios[@]}")" "$lo" "$hi"
done
