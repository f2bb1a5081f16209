#!/usr/bin/env bash
# The main job: build the module for both targets (jovTalvor.so and
# jovTalvor.gau), render the example panel to out/panel.png, then open the
# live previewer on it and print its address.
#
#   scripts/main.sh                 build, render, then serve on 127.0.0.1:8018
#   scripts/main.sh --render-only   build and render; no server (no browser wanted)
#   scripts/main.sh --port N        serve on another port
set -euo pipefail
cd "$(dirname "$0")/.."

serve=1
port=8018
while [ $# -gt 0 ]; do
  case "$1" in
    --render-only) serve=0 ;;
    --port) port="${2:?--port takes a number}"; shift ;;
    *) echo "usage: scripts/main.sh [--render-only] [--port N]" >&2; exit 2 ;;
  esac
  shift
done

scripts/build.sh
scripts/build-win32.sh   # build/win32/jovTalvor.gau
mkdir -p out
build/native/emulator/talvor-panel render examples/panel.cfg -o out/panel.png --updates 200
echo "rendered examples/panel.cfg to out/panel.png"
echo "built build/native/jovTalvor.so (bitmaps in build/native/jovTalvor.bitmaps/) and build/win32/jovTalvor.gau"
if [ "$serve" -eq 1 ]; then
  exec build/native/emulator/talvor-panel serve examples/panel.cfg --port "$port"
fi
