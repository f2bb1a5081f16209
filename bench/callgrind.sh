#!/usr/bin/env bash
# Instructions per update cycle of each gauge and of the whole panel, counted
# by callgrind (repeatable on a busy machine, unlike a clock). Only the
# measured cycles are collected, after a warm-up past the display tests;
# "module" is the code of jovTalvor.so alone, "with host" adds this
# program's host (lookup_var as an array index, the cycle's own loop).
#
# Usage: bench/callgrind.sh [BUILD_DIR] [CYCLES]   (default build/bench, 1000)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/bench}
cycles=${2:-1000}
driver=$build/bench/talvor-module-cycles
module=$build/jovTalvor.so
for f in "$driver" "$module"; do
  if [ ! -e "$f" ]; then
    echo "callgrind.sh: $f is missing; build it first:" >&2
    echo "  cmake --build $build --target talvor-module-cycles" >&2
    exit 2
  fi
done
command -v valgrind >/dev/null || { echo "callgrind.sh: valgrind is missing (scripts/deps.sh native)" >&2; exit 2; }
case "$cycles" in ''|*[!0-9]*|0) echo "callgrind.sh: CYCLES must be a positive number" >&2; exit 2 ;; esac

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

names=$("$driver" "$module" --list)  # fails, and so stops the script, for a broken module
mapfile -t gauges <<<"$names"
printf '%-20s %16s %20s\n' "gauge" "module Ir/cycle" "with host Ir/cycle"
for target in "${gauges[@]}" panel; do
  if ! valgrind --tool=callgrind --callgrind-out-file="$tmp/out" --toggle-collect=talvor_measured_cycles \
      "$driver" "$module" "$target" "$cycles" >"$tmp/log" 2>&1; then
    cat "$tmp/log" >&2
    exit 1
  fi
  # Self cost per function, each line ending in its object's path.
  callgrind_annotate --threshold=100 "$tmp/out" | awk -v cycles="$cycles" -v target="$target" '
    /PROGRAM TOTALS/ { v = $1; gsub(",", "", v); total = v }
    /\[.*\/jovTalvor\.so\]$/ { v = $1; gsub(",", "", v); module += v }
    END { printf "%-20s %16.1f %20.1f\n", target, module / cycles, total / cycles }'
done
