#!/usr/bin/env bash
# Counts the system calls a numbered transfer makes per file, and those `cp`
# makes for the same files: the difference between runs of n and 2n files of
# 100 KB, less what making and removing the files costs the benchmark.
# Needs strace. Usage: bench/transfer-syscalls.sh [n] [work folder]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
bench="$top/build/bench/transfer_bench"
n=${1:-500}
out=$(mktemp -d)
work=$(mktemp -d "${2:-${TMPDIR:-/tmp}}/pomiv-syscalls-XXXXXX")
trap 'rm -rf "$out" "$work"' EXIT
export QT_QPA_PLATFORM=offscreen
for side in none transfer cp; do
  for count in "$n" $((2 * n)); do
    strace -f -c -o "$out/$side.$count" "$bench" "$count" 100 1 "$work" "$side" \
      >/dev/null 2>"$out/log"
    rm -rf "${work:?}"/*
  done
done
cd "$out"
awk -v n="$n" '
  FNR == 1 { split(FILENAME, part, "."); side = part[1]; sign = part[2] == n ? -1 : 1 }
  $NF != "total" && $4 ~ /^[0-9]+$/ { d[side, $NF] += sign * $4; names[$NF] = 1 }
  END {
    for (s in names) {
      for (k = 1; k <= 2; ++k) {
        w = k == 1 ? "transfer" : "cp"
        per = (d[w, s] - d["none", s]) / n
        if (per >= 0.05 || per <= -0.05) { line[w] = line[w] sprintf("  %6.2f %s\n", per, s); sum[w] += per }
      }
    }
    for (k = 1; k <= 2; ++k) {
      w = k == 1 ? "transfer" : "cp"
      printf "%s: %.1f system calls per file\n%s", w, sum[w], line[w]
    }
  }' none.* transfer.* cp.*
