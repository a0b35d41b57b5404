#!/usr/bin/env bash
# Times the same work on two builds in one call, alternately, so that the machine's drift falls
# on both alike: long single runs of kinds 1 and 4 in both precisions on one and two threads
# (the lean engine, and the window's engine, which --mark keeps a run on), the window's
# second-phase step (BM_StepSecondPhase) and a scan run. Each revision is built once in a
# temporary worktree and its programs kept in a cache by commit.
#
# Usage: bench/compare_revisions.sh REV [REV2] [ROUNDS=3]
#   REV2 defaults to this working tree's build (build/, made by scripts/build.sh).
#   KINKLAB_COMPARE_ONLY=REGEX times only the pieces of work whose label matches it.
# Prints a row per piece of work: the median wall time of each build, the ratio REV2 / REV
# (below 1: REV2 is faster) and the spread of that ratio over the rounds.
set -euo pipefail
cd "$(dirname "$0")/.."
[[ $# -ge 1 ]] || { echo "usage: bench/compare_revisions.sh REV [REV2] [ROUNDS=3]" >&2; exit 2; }
rev_a=$1
rev_b=${2:-}
rounds=${3:-3}
cache=${KINKLAB_REVISION_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/kinklab-revisions}

# The folder holding kinklab-run and kinklab_bench of a revision, built if not cached.
programs_of() {
  local commit dir tree
  commit=$(git rev-parse --verify "$1^{commit}")
  dir=$cache/$commit
  if [[ ! -x $dir/kinklab-run || ! -x $dir/kinklab_bench ]]; then
    tree=$(mktemp -d)
    git worktree add --detach "$tree" "$commit" >/dev/null 2>&1
    echo "building $1 ($commit) in $tree" >&2
    cmake -S "$tree" -B "$tree/build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKINKLAB_TESTS=OFF >/dev/null
    cmake --build "$tree/build" --target kinklab-run kinklab_bench >/dev/null
    mkdir -p "$dir"
    cp "$tree/build/kinklab-run" "$tree/build/bench/kinklab_bench" "$dir/"
    git worktree remove --force "$tree"
  fi
  echo "$dir"
}

dir_a=$(programs_of "$rev_a")
if [[ -n $rev_b ]]; then
  dir_b=$(programs_of "$rev_b")
  name_b=$rev_b
else
  [[ -x build/kinklab-run && -x build/bench/kinklab_bench ]] || { echo "no build/: run scripts/build.sh" >&2; exit 2; }
  dir_b=$(mktemp -d)
  cp build/kinklab-run build/bench/kinklab_bench "$dir_b/"
  name_b="this build"
fi

single="--L 10 --N 1024 --kink 0:0"
work=(
  "double, 2 threads, t = 1000, kind 1|run|--precision double --threads 2 --kind 1 $single --t 1000"
  "double, 2 threads, t = 1000, kind 4|run|--precision double --threads 2 --kind 4 $single --t 1000"
  "double, 1 thread, t = 1000, kind 1|run|--precision double --threads 1 --kind 1 $single --t 1000"
  "extended, t = 300, kind 1|run|--precision extended --kind 1 $single --t 300"
  "extended, t = 300, kind 4|run|--precision extended --kind 4 $single --t 300"
  "window engine, double, t = 1000, kind 1|run|--precision double --kind 1 $single --t 1000 --mark -1:1"
  "window engine, extended, t = 300, kind 4|run|--precision extended --kind 4 $single --t 300 --mark -1:1"
  "BM_StepSecondPhase, kind 1, double, 1 thread (a step)|bench|^BM_StepSecondPhase/kind:1/double:1/threads:1/real_time\$"
  "BM_StepSecondPhase, kind 4, double, 1 thread (a step)|bench|^BM_StepSecondPhase/kind:4/double:1/threads:1/real_time\$"
  "BM_StepSecondPhase, kind 4, extended, 2 threads (a step)|bench|^BM_StepSecondPhase/kind:4/double:0/threads:2/real_time\$"
  "scan run (N = 1024, t = 200, double)|scan|--scan 0.2:0.29:0.01 --N 1024 --t 200 --precision double --jobs 1"
)

# Seconds for one piece of work with the programs of folder $1; empty when that build lacks it.
time_of() {
  local dir=$1 kind=$2 args=$3 start end
  case $kind in
    bench)
      "$dir/kinklab_bench" --benchmark_filter="$args" --benchmark_format=csv 2>/dev/null |
        awk -F, 'NR > 1 && $1 !~ /^"?name/ { gsub(/"/, "", $5); t = $3; u = $5;
                   f = (u == "ns") ? 1e-9 : (u == "us") ? 1e-6 : (u == "ms") ? 1e-3 : 1; print t * f; exit }'
      ;;
    *)
      start=$(date +%s.%N)
      # shellcheck disable=SC2086
      "$dir/kinklab-run" $args >/dev/null 2>&1 || { echo ""; return; }
      end=$(date +%s.%N)
      awk -v s="$start" -v e="$end" -v k="$kind" 'BEGIN { print (e - s) / (k == "scan" ? 10 : 1) }'
      ;;
  esac
}

median() { printf '%s\n' "$@" | sort -g | awk '{a[NR] = $1} END {print a[int((NR + 1) / 2)]}'; }

printf 'A = %s, B = %s, %s rounds, each alternately\n\n' "$rev_a" "$name_b" "$rounds"
printf '| work | A (s) | B (s) | B / A | spread of B / A |\n|---|---|---|---|---|\n'
for item in "${work[@]}"; do
  IFS='|' read -r label kind args <<<"$item"
  [[ -z ${KINKLAB_COMPARE_ONLY:-} || $label =~ $KINKLAB_COMPARE_ONLY ]] || continue
  as=() bs=() ratios=()
  for ((r = 1; r <= rounds; ++r)); do
    a=$(time_of "$dir_a" "$kind" "$args")
    b=$(time_of "$dir_b" "$kind" "$args")
    [[ -n $a && -n $b ]] || break
    as+=("$a")
    bs+=("$b")
    ratios+=("$(awk -v a="$a" -v b="$b" 'BEGIN { print b / a }')")
  done
  if [[ ${#ratios[@]} -eq 0 ]]; then
    printf '| %s | %s | %s | n/a | |\n' "$label" "${a:-n/a}" "${b:-n/a}"
    continue
  fi
  ma=$(median "${as[@]}")
  mb=$(median "${bs[@]}")
  lo=$(printf '%s\n' "${ratios[@]}" | sort -g | head -1)
  hi=$(printf '%s\n' "${ratios[@]}" | sort -g | tail -1)
  awk -v l="$label" -v a="$ma" -v b="$mb" -v lo="$lo" -v hi="$hi" \
    'BEGIN { fmt = (a < 0.01) ? "%.3g" : "%.3f"; printf "| %s | " fmt " | " fmt " | %.3f | %.3f ... %.3f |\n", l, a, b, b / a, lo, hi }'
done
