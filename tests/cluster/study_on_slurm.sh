#!/usr/bin/env bash
# Whole studies through the shipped study script on the one-node Slurm cluster of
# slurm_cluster.sh: a converged refined scan (grid shares, their merge, refinement shares, the
# final merge) with one grid task made to fail, the pipeline stopping before the merge and
# `resume` completing it; and a refined sweep through all its waves. Each study's files must
# equal those of the same command run in one piece.
#
# Usage: study_on_slurm.sh KINKLAB_RUN STUDY_SBATCH
# Exits 77 (reported as skipped) when the cluster cannot start; stops exactly the daemons it
# started, by their pid files, whatever the outcome.
set -euo pipefail

runner=$(realpath "$1")
jobscript=$(realpath "$2")
# shellcheck source=slurm_cluster.sh
. "$(dirname "$0")/slurm_cluster.sh"

# The user's copy of the study script with its settings edited: $1 the copy, $2 the output
# folder, the rest the study's options.
copy_script() {
  local copy=$1 out=$2
  shift 2
  sed -e "s|^STUDY=.*|STUDY=($*)|" -e 's|^PARTS=.*|PARTS=2|' -e 's|^REFINE_PARTS=.*|REFINE_PARTS=2|' \
      -e 's|^CPUS=.*|CPUS=1|' -e "s|^OUT=.*|OUT=$out|" -e "s|^RUNNER=.*|RUNNER=$runner|" \
      -e 's|^SBATCH_OPTIONS=.*|SBATCH_OPTIONS=(--time=10)|' "$jobscript" > "$copy"
  grep -q "^REFINE_PARTS=2$" "$copy" || fail "the settings of $jobscript are not where they were"
}
# Submits (or resumes) and waits up to 180 s for every wave to leave the queue.
run_waves() {
  bash "$@" > "$dir/submit.out" || { cat "$dir/submit.out"; fail "submitting failed"; }
  cat "$dir/submit.out"
  wait_for 180 queue_empty || { squeue; fail "the waves did not finish within 180 s"; }
}

# --- A converged refined scan, one grid task failing --------------------------------------------
study=(--scan 0.25:0.27:0.01 --converge 256,512 --refine 1e-3 --separation 4 --t 60 --precision double)
out=$dir/out-scan
copy_script "$dir/scan-study.sbatch" "$out" "${study[@]}"
"$runner" "${study[@]}" --jobs 2 --scan-csv "$dir/whole.csv" --edges "$dir/whole-edges.csv" 2> "$dir/whole.err" ||
  fail "the study in one piece failed"

# Grid task 2 fails: a folder stands where its output goes.
mkdir -p "$out/grid/unfinished/share-2.h5"
run_waves "$dir/scan-study.sbatch"
grep -q "^grid .* 1,2$" "$out/jobs.txt" && grep -q "^final " "$out/jobs.txt" || fail "not every wave was submitted"
[ -f "$out/grid/share-1.h5" ] || fail "grid task 1 left no share"
[ ! -e "$out/grid/share-2.h5" ] || fail "the failed task left a share"
[ ! -e "$out/grid.h5" ] && [ ! -e "$out/summary.txt" ] || fail "a wave ran after the failed task"
bash "$dir/scan-study.sbatch" status > "$dir/status.out"
cat "$dir/status.out"
grep -q "^grid   1 of 2 shares done (missing: 2)" "$dir/status.out" || fail "status does not name the missing share"
grep -q "resume" "$dir/status.out" || fail "status does not say to resume"
echo "the failed grid task stopped the pipeline after $(elapsed) s"

rmdir "$out/grid/unfinished/share-2.h5"
touch -d '2000-01-01' "$out/grid/share-1.h5"
run_waves "$dir/scan-study.sbatch" resume
[ "$(stat -c %Y "$out/grid/share-1.h5")" = "$(date -d 2000-01-01 +%s)" ] || fail "resume ran the finished share again"
grep -q "^grid [0-9]* 2$" "$out/jobs.txt" || fail "resume did not submit exactly the missing share"
cmp "$dir/whole.csv" "$out/scan.csv" || fail "the study's scan.csv differs from the study in one piece"
cmp "$dir/whole-edges.csv" "$out/edges.csv" || fail "the study's edges.csv differs from the study in one piece"
grep '^critical velocity' "$dir/whole.err" | cmp - "$out/summary.txt" || fail "the summary's critical velocity differs"
bash "$dir/scan-study.sbatch" status > "$dir/status.out"
grep -q "the study is complete" "$dir/status.out" || fail "status does not say the study is complete"
echo "resumed and complete after $(elapsed) s: $(cat "$out/summary.txt")"

# --- A refined sweep ------------------------------------------------------------------------------
sweep=(--scan 0.1:0.5:0.1 --sweep-modulation 0:1:0.5 --refine 1e-2 --separation 4 --N 256 --t 60 --precision double)
out=$dir/out-sweep
copy_script "$dir/sweep-study.sbatch" "$out" "${sweep[@]}"
"$runner" "${sweep[@]}" --jobs 2 --sweep-csv "$dir/whole-sweep.csv" --edges "$dir/whole-sweep-edges.csv" 2> /dev/null ||
  fail "the sweep in one piece failed"
run_waves "$dir/sweep-study.sbatch"
cmp "$dir/whole-sweep.csv" "$out/sweep.csv" || fail "the study's sweep.csv differs from the sweep in one piece"
cmp "$dir/whole-sweep-edges.csv" "$out/edges.csv" || fail "the study's edges.csv differs from the sweep in one piece"
[ -s "$out/sweep.png" ] && [ -s "$out/study.h5" ] || fail "the sweep's map or record is missing"
echo "the sweep's four waves done after $(elapsed) s"
echo PASSED
