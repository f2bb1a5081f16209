#!/usr/bin/env bash
# The main job: build the module and render the example panel.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh
scripts/build-win32.sh   # build/win32/jovTalvor.gau
mkdir -p out
build/native/emulator/talvor-panel render examples/panel.cfg -o out/panel.png --updates 200
echo "rendered examples/panel.cfg to out/panel.png"
