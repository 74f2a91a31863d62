#!/usr/bin/env bash
# Runs every Google Benchmark binary under DIR (extra arguments go to each of them).
set -euo pipefail
dir=$1; shift
mapfile -t benches < <(find "$dir" -type f -name 'bench_*' -perm -u+x | sort)
for b in "${benches[@]}"; do
  echo "== $(basename "$b")"
  "$b" "$@"
done
