#!/usr/bin/env bash
# Runs every libFuzzer target under DIR for SECONDS each; fails on the first crash or sanitizer report.
set -uo pipefail
dir=$1 seconds=$2
mapfile -t targets < <(find "$dir" -type f -name 'fuzz_*' -perm -u+x | sort)
[[ ${#targets[@]} -gt 0 ]] || { echo "no fuzz targets under $dir"; exit 1; }
mkdir -p build/fuzz-logs
for t in "${targets[@]}"; do
  name=$(basename "$t")
  corpus="build/fuzz-corpus/$name"
  mkdir -p "$corpus"
  seeds=()
  [[ -d "fuzz/seeds/$name" ]] && seeds=("fuzz/seeds/$name")
  log="build/fuzz-logs/$name.log"
  echo "== $name for ${seconds}s"
  if "$t" -max_total_time="$seconds" -rss_limit_mb=2048 -print_final_stats=1 "$corpus" "${seeds[@]}" >"$log" 2>&1; then
    tail -n 6 "$log"
  else
    tail -n 60 "$log"
    echo "$name failed (full log: $log)"
    exit 1
  fi
done
