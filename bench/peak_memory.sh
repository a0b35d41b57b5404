#!/usr/bin/env bash
# Peak resident memory of a headless run: about 105 MB of window stores, allocated once, for a
# run with --png, --h5, --movie or marks; levels as wide as the light cone for any other.
# Usage: bench/peak_memory.sh [runner arguments...]
#        default arguments: --N 1024 --kink 0:0.5 --t 30 (first phase, then the second)
set -euo pipefail
cd "$(dirname "$0")/.."
runner=${KINKLAB_RUNNER:-build/kinklab-run}
[ $# -gt 0 ] || set -- --N 1024 --kink 0:0.5 --t 30
report=$(mktemp)
trap 'rm -f "$report"' EXIT
/usr/bin/time -v -o "$report" "$runner" "$@" >/dev/null
kb=$(awk -F': ' '/Maximum resident set size/ {print $2}' "$report")
echo "command: $runner $*"
echo "max_rss_kb: $kb"
awk -v kb="$kb" 'BEGIN { printf "max_rss_mb: %.1f\n", kb / 1024 }'
