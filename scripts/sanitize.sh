#!/usr/bin/env bash
# Builds every test with AddressSanitizer and UndefinedBehaviorSanitizer into build-asan/ and
# runs them; any report fails. Leaks that only system libraries make are listed, with their
# reasons, in tests/lsan.supp.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh
root=$(pwd)
flags="-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer"
# The test discovery at build time runs the test programs, so the options hold for the build too.
export ASAN_OPTIONS="halt_on_error=1:detect_leaks=1:abort_on_error=0:print_stacktrace=1:strict_string_checks=1:detect_stack_use_after_return=1"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
export LSAN_OPTIONS="suppressions=$root/tests/lsan.supp:print_suppressions=0"
# The Python module is a shared object for the interpreter, which the sanitizers' runtime cannot
# join unless preloaded into it: its tests run in the plain build.
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKINKLAB_BENCH=OFF -DKINKLAB_PYTHON=OFF \
  "-DCMAKE_CXX_FLAGS=$flags" "-DCMAKE_EXE_LINKER_FLAGS=$flags"
cmake --build build-asan -j "$(nproc)"
cd build-asan
ctest --output-on-failure -j "$(nproc)" --timeout 1500
