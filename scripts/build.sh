#!/usr/bin/env bash
# Builds the native target (jovTalvor.so with its bitmaps, the emulator, tests,
# benchmarks), installing what is missing first.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh native
cmake --preset native >/dev/null
cmake --build --preset native
