#!/usr/bin/env bash
# Builds the Windows target: build/win32/jovTalvor.gau (and the emulator's
# command line as talvor-panel.exe once it exists), installing what is missing.
# The bitmaps are drawn by the native artwork generator, so its part of the
# native build comes first.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh native win32
cmake --preset native >/dev/null
cmake --build --preset native --target talvor-bitmaps
cmake --preset win32 >/dev/null
cmake --build --preset win32
