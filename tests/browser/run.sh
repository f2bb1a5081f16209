#!/usr/bin/env bash
# The previewer's browser tests: installs the npm packages (npm ci, from the
# committed lock file), starts `talvor-panel serve` on a free port and runs
# node's test runner against it in headless Chromium. With --bench it runs
# the previewer's benchmark (preview_latency.mjs) instead.
# Usage: tests/browser/run.sh [--bench] [BUILD_DIR] [PANEL]
set -euo pipefail
bench=""
if [ "${1:-}" = "--bench" ]; then bench=1; shift; fi
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../.." && pwd)"
build="${1:-$root/build/native}"
[ -d "$build" ] || { echo "run.sh: no build folder $build" >&2; exit 2; }
build="$(cd "$build" && pwd)"  # the tests run from this folder
panel="$(realpath "${2:-$root/examples/panel.cfg}")"
program="$build/emulator/talvor-panel"
[ -x "$program" ] || { echo "run.sh: no $program; build first" >&2; exit 2; }
command -v chromium >/dev/null || [ -n "${TALVOR_CHROMIUM:-}" ] || { echo "run.sh: no chromium; scripts/deps.sh browser installs it" >&2; exit 2; }

cd "$here"
# npm ci only when the lock file changed since the last install.
if [ ! -f node_modules/.package-lock.json ] || [ package-lock.json -nt node_modules/.package-lock.json ]; then
  npm ci --no-audit --no-fund --loglevel=error
fi

log="$(mktemp)"
"$program" serve "$panel" --port 0 >"$log" 2>&1 &
server=$!
cleanup() { kill "$server" 2>/dev/null || true; wait "$server" 2>/dev/null || true; rm -f "$log"; }
trap cleanup EXIT

url=""
for _ in $(seq 1 300); do
  url="$(grep -o 'http://[^ ]*/' "$log" | head -n1 || true)"
  [ -n "$url" ] && break
  kill -0 "$server" 2>/dev/null || { cat "$log" >&2; echo "run.sh: the server did not start" >&2; exit 1; }
  sleep 0.1
done
[ -n "$url" ] || { cat "$log" >&2; echo "run.sh: the server printed no address" >&2; exit 1; }

if [ -n "$bench" ]; then
  TALVOR_URL="$url" node preview_latency.mjs
else
  TALVOR_URL="$url" node --test --test-concurrency=1 --test-reporter=spec ./*.test.mjs
fi
