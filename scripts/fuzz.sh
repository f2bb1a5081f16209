#!/usr/bin/env bash
# Runs every fuzzer of build/sanitize for a bounded time from its seed corpus
# in fuzz/corpus/<target>/ (read only: what a run finds goes to
# build/sanitize/fuzz-work/), and prints how many inputs each one ran.
# Usage: scripts/fuzz.sh [SECONDS_EACH] [TARGET...]   (default 60 s, every target)
# A finding stops the script with the fuzzer's report; the input that caused
# it is kept in build/sanitize/fuzz-artifacts/.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(module_fuzz bmp_fuzz panel_fuzz scenario_fuzz serve_fuzz)

scripts/deps.sh native fuzz
source fuzz/sanitizer.env
[ -f build/sanitize/CMakeCache.txt ] || cmake --preset sanitize >/dev/null
cmake --build --preset sanitize --target talvor-fuzzers

out=build/sanitize
mkdir -p "$out/fuzz-artifacts"
summary=()
for target in "${targets[@]}"; do
  binary="$out/fuzz/$target"
  if [ ! -x "$binary" ]; then
    echo "fuzz.sh: $target was not built (no previewer in this build?); skipped" >&2
    summary+=("$target: not built")
    continue
  fi
  work="$out/fuzz-work/$target"
  mkdir -p "$work"
  log="$out/fuzz-artifacts/$target.log"
  echo "fuzz.sh: $target for ${seconds}s"
  if ! "$binary" -max_total_time="$seconds" -timeout=30 -rss_limit_mb=512 -malloc_limit_mb=512 \
        -print_final_stats=1 -artifact_prefix="$out/fuzz-artifacts/$target-" \
        "$work" "fuzz/corpus/$target" >"$log" 2>&1; then
    tail -n 60 "$log" >&2
    echo "fuzz.sh: $target found a fault; the input is in $out/fuzz-artifacts/" >&2
    exit 1
  fi
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  summary+=("$target: ${runs:-?} inputs in ${seconds}s, no finding")
done
printf 'fuzz.sh: %s\n' "${summary[@]}"
