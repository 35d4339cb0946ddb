#!/usr/bin/env bash
# Runs each fuzz target for a fixed budget, starting from the seeds in
# tests/fuzz/corpus (which stay as they are). Fails on any finding.
#   run_fuzzers.sh BUILD_DIR SECONDS_PER_TARGET
set -euo pipefail
build=${1:?build folder}
seconds=${2:-60}
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for target in answers whole_run; do
  mkdir -p "$work/$target"
  echo "== fuzz_$target: $seconds s"
  "$build/fuzz_$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$work/" "$work/$target" "$here/corpus/$target" \
    2>"$work/$target.log" || { tail -50 "$work/$target.log"; cp "$work"/crash-* "$work"/timeout-* "$work"/oom-* . 2>/dev/null || true; exit 1; }
  grep -E "DONE|stat::number_of_executed_units|stat::peak_rss_mb" "$work/$target.log" || true
done
