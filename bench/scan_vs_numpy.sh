#!/usr/bin/env bash
# One run of a collision scan against the numpy peer of the same collision, in the same call:
# the runner scans ten velocities with one job (N = 1024, L = 20, C = 10, t = 200, double), the
# peer runs the same leapfrog on numpy arrays; each is timed in ROUNDS rounds, and the ratio of
# the medians per run is printed. With K, the well is the family's modulated one (--modulation K),
# and the peer is the same script with that well's force (bench/numpy_modulated_collision.py),
# since the shared peer has the plain double well only.
# Usage: bench/scan_vs_numpy.sh [ROUNDS=3] [N=1024] [K]
set -euo pipefail
cd "$(dirname "$0")/.."
rounds=${1:-3}
n=${2:-1024}
k=${3:-}
model=() peer_args=()
if [[ -n "$k" ]]; then
  model=(--modulation "$k")
  peer_args=("$k")
fi
runner=${KINKLAB_RUNNER:-build/kinklab-run}
peer=${KINKLAB_PEER:-../shared/peer/numpy_collision.py}
[[ -n "$k" ]] && peer=${KINKLAB_PEER:-bench/numpy_modulated_collision.py}
ours=() theirs=()
for ((r = 1; r <= rounds; ++r)); do
  start=$(date +%s.%N)
  "$runner" --scan 0.2:0.29:0.01 --N "$n" --t 200 --precision double --jobs 1 "${model[@]}" >/dev/null 2>&1
  end=$(date +%s.%N)
  ours+=("$(awk -v s="$start" -v e="$end" 'BEGIN { print (e - s) / 10 }')")
  theirs+=("$(/usr/bin/python3 "$peer" "$n" 200 2 "${peer_args[@]}" | awk '{print $3}')")
done
median() { printf '%s\n' "$@" | sort -g | awk '{a[NR] = $1} END {print a[int((NR + 1) / 2)]}'; }
m_ours=$(median "${ours[@]}")
m_theirs=$(median "${theirs[@]}")
printf 'kinklab-run: %s s per run (rounds: %s)\n' "$(printf '%.4f' "$m_ours")" "$(printf '%.4f ' "${ours[@]}")"
printf 'numpy peer:  %s s per run (rounds: %s)\n' "$(printf '%.4f' "$m_theirs")" "$(printf '%.4f ' "${theirs[@]}")"
awk -v a="$m_theirs" -v b="$m_ours" 'BEGIN { printf "ratio: %.1f\n", a / b }'
