#!/usr/bin/env bash
# A scan through the shipped job script on a real one-node Slurm cluster started here: munged,
# slurmctld and slurmd from Debian's packages, configured in a temporary folder, on ports of
# 127.0.0.1 of their own. An array of 3 tasks of which one fails, then that share submitted
# again, must leave the CSV and the map of the same scan run in one piece, byte for byte.
#
# Usage: cluster_scan_on_slurm.sh KINKLAB_RUN SCAN_SBATCH
# Exits 77 (reported as skipped) when the machine cannot run the cluster: not root, the
# packages missing (scripts/setup.sh installs them) or the daemons not up in time. Whatever the
# outcome, it cancels its jobs and stops exactly the daemons it started, by their pid files.
set -euo pipefail

runner=$(realpath "$1")
jobscript=$(realpath "$2")
# shellcheck source=slurm_cluster.sh
. "$(dirname "$0")/slurm_cluster.sh"

# --- The scan --------------------------------------------------------------------------------
scan=(--scan 0.1:0.32:0.02 --separation 4 --t 60 --N 256 --precision double)
out=$dir/out
# The user's copy of the job script with its settings edited.
sed -e "s|^SCAN=.*|SCAN=(${scan[*]})|" -e 's|^PARTS=.*|PARTS=3|' -e 's|^CPUS=.*|CPUS=1|' \
    -e "s|^OUT=.*|OUT=$out|" -e "s|^RUNNER=.*|RUNNER=$runner|" -e 's|^SBATCH_OPTIONS=.*|SBATCH_OPTIONS=(--time=10)|' \
    "$jobscript" > "$dir/scan.sbatch"
grep -q "^PARTS=3$" "$dir/scan.sbatch" || fail "the settings of $jobscript are not where they were"

# Waits up to 120 s for the queue to empty.
run_jobs() {
  bash "$dir/scan.sbatch" "$@" || fail "submitting failed"
  wait_for 120 queue_empty || { squeue; fail "the jobs did not finish within 120 s"; }
}

"$runner" "${scan[@]}" --jobs 2 --scan-csv "$dir/whole.csv" --scan-png "$dir/whole.png" 2> /dev/null ||
  fail "the scan in one piece failed"

# Task 2 fails: a folder stands where its output goes. The other tasks' parts must stay, the
# merge must not run, and the lost share must be reported.
mkdir -p "$out/unfinished/part-2.h5"
run_jobs
for k in 1 3; do [ -f "$out/part-$k.h5" ] || fail "task $k left no part"; done
[ ! -e "$out/part-2.h5" ] || fail "the failed task left a part"
grep -q "unfinished/part-2.h5" "$out/logs/part-2.out" || fail "task 2 did not fail for want of its output"
[ ! -e "$out/scan.csv" ] || fail "the merge ran after a failed task"
[ "$(bash "$dir/scan.sbatch" missing)" = 2 ] || fail "the failed share is not reported missing"
echo "array done after $(elapsed) s: task 2 failed, parts 1 and 3 kept, the merge cancelled"

# Submitting the missing share again completes the scan.
rmdir "$out/unfinished/part-2.h5"
run_jobs "$(bash "$dir/scan.sbatch" missing)"
for f in scan.csv scan.png scan.h5; do [ -s "$out/$f" ] || fail "the merge wrote no $f"; done
cmp "$dir/whole.csv" "$out/scan.csv" || fail "the merged CSV differs from the scan in one piece"
cmp "$dir/whole.png" "$out/scan.png" || fail "the merged map differs from the scan in one piece"
[ -z "$(bash "$dir/scan.sbatch" missing)" ] || fail "shares reported missing after a complete scan"
echo "share 2 submitted again and merged after $(elapsed) s: scan.csv and scan.png equal the scan in one piece"
echo PASSED
