#!/usr/bin/env bash
# Builds the program and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/build.sh
# The program opens its side files from the folder it starts in.
cd build/run
exec ./kinklab "$@"
