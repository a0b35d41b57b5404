#!/usr/bin/env bash
# Times the same scan through the runner and through the Python module, alternately in one
# call, so that the machine's drift falls on both alike; each writes nothing. The runner's time
# is its process's wall time; the module's is that of the call kinklab.scan(...), measured in
# Python, and, for a script, of its whole process (starting Python and importing numpy and the
# module take about 0.08 s more).
#
# Usage: bench/python_vs_runner.sh [ROUNDS=3] [BUILD=build]
# Prints the median times and the module's ratios to the runner's, with their spread.
set -euo pipefail
cd "$(dirname "$0")/.."
rounds=${1:-3}
build=${2:-build}
runner=$build/kinklab-run
[[ -x $runner && -d $build/python/kinklab ]] || { echo "no $runner or $build/python: run scripts/build.sh" >&2; exit 2; }

# A refined scan of kind 1 at N = 1024: grid runs on both cores, then rounds of bisection.
args=(--kind 1 --scan 0.2:0.29:0.005 --N 1024 --t 200 --precision double --refine 1e-4 --jobs 2)
python="import time, kinklab
start = time.perf_counter()
kinklab.scan(kinklab.Model(kind=1), (0.2, 0.29, 0.005), N=1024, t=200, precision='double', refine=1e-4,
             jobs=2, progress=False)
print(time.perf_counter() - start)"

seconds() {
  local start end
  start=$(date +%s.%N)
  "$@" >/dev/null 2>&1 || { echo "failed: $*" >&2; exit 1; }
  end=$(date +%s.%N)
  awk -v s="$start" -v e="$end" 'BEGIN { print e - s }'
}
median() { printf '%s\n' "$@" | sort -g | awk '{a[NR] = $1} END {print a[int((NR + 1) / 2)]}'; }

runs=() calls=() whole=() ratios=() wholeRatios=()
for ((r = 1; r <= rounds; ++r)); do
  a=$(seconds "$runner" "${args[@]}")
  start=$(date +%s.%N)
  b=$(PYTHONPATH="$build/python" /usr/bin/python3 -c "$python")
  c=$(awk -v s="$start" -v e="$(date +%s.%N)" 'BEGIN { print e - s }')
  runs+=("$a") calls+=("$b") whole+=("$c")
  ratios+=("$(awk -v a="$a" -v b="$b" 'BEGIN { print b / a }')")
  wholeRatios+=("$(awk -v a="$a" -v b="$c" 'BEGIN { print b / a }')")
done
spread() {
  printf '%.3f (%.3f ... %.3f over the rounds)' "$(median "$@")" "$(printf '%s\n' "$@" | sort -g | head -1)" \
    "$(printf '%s\n' "$@" | sort -g | tail -1)"
}
printf 'scan: %s, %s rounds\n\n' "${args[*]}" "$rounds"
printf '| front end | scan (s) | ratio to the runner |\n|---|---|---|\n'
printf '| kinklab-run | %.3f | |\n' "$(median "${runs[@]}")"
printf '| kinklab.scan(...) | %.3f | %s |\n' "$(median "${calls[@]}")" "$(spread "${ratios[@]}")"
printf '| python3 script, with the imports | %.3f | %s |\n' "$(median "${whole[@]}")" "$(spread "${wholeRatios[@]}")"
