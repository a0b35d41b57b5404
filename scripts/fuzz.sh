#!/usr/bin/env bash
# Builds the libFuzzer targets of fuzz/ with clang into build-fuzz/ and runs each for SECONDS
# (default 60) from a copy of its seed corpus in fuzz/corpus/<target>/; the repository's
# corpus is never changed. One line per target: name, executions, coverage, and "ok" or the
# file the finding was written to. Exits with 1 on any finding.
#   scripts/fuzz.sh [SECONDS] [TARGET ...]
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh
seconds=${1:-60}
shift || true
root=$(pwd)
flags="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer"
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DKINKLAB_FUZZ=ON -DKINKLAB_WINDOW=OFF -DKINKLAB_TESTS=OFF -DKINKLAB_BENCH=OFF \
  "-DCMAKE_CXX_FLAGS=$flags" "-DCMAKE_EXE_LINKER_FLAGS=-fsanitize=address,undefined" >/dev/null
cmake --build build-fuzz -j "$(nproc)" --target kinklab_fuzzers

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for dir in fuzz/corpus/*/; do targets+=("$(basename "$dir")"); done
fi
work=$(mktemp -d "${TMPDIR:-/tmp}/kinklab-fuzz.XXXXXX")
trap 'rm -rf "$work"' EXIT
findings="$root/build-fuzz/findings"
mkdir -p "$findings"
export ASAN_OPTIONS="halt_on_error=1:detect_leaks=1:print_stacktrace=1"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
# Leaks inside system libraries (HDF5's on damaged files), each with its reason in the file.
export LSAN_OPTIONS="suppressions=$root/tests/lsan.supp:print_suppressions=0"
failed=0
for t in "${targets[@]}"; do
  cp -r "fuzz/corpus/$t" "$work/$t"
  dict=()
  [ -f "fuzz/$t.dict" ] && dict=("-dict=fuzz/$t.dict")
  log="$findings/$t.log"
  # An input that takes 10 s, or a single allocation of 256 MB, is a finding too. The readers
  # run from the repository folder (seed argument lists name corpus files) with no terminal.
  status=0
  "build-fuzz/fuzz/$t" -max_total_time="$seconds" -timeout=10 -malloc_limit_mb=256 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$findings/$t-" "${dict[@]}" "$work/$t" \
    </dev/null >"$log" 2>&1 || status=$?
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  cov=$(grep -o 'cov: [0-9]*' "$log" | tail -1 | cut -d' ' -f2 || true)  # none if a seed fails
  if [ "$status" -eq 0 ]; then
    echo "$t ${execs:-?} execs, cov ${cov:-?}: ok"
  else
    found=$(sed -n 's/.*Test unit written to \(.*\)$/\1/p' "$log" | tail -1)
    echo "$t ${execs:-?} execs, cov ${cov:-?}: FINDING ${found:-(see $log)}"
    failed=1
  fi
done
exit $failed
