#!/usr/bin/env bash
# The sanitizer build (clang, AddressSanitizer and UndefinedBehaviorSanitizer,
# every report fatal) of the module, the emulator, the tests and the fuzzers
# in build/sanitize, and the whole behaviour suite under it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh native fuzz
source fuzz/sanitizer.env
cmake --preset sanitize >/dev/null
cmake --build --preset sanitize
ctest --test-dir build/sanitize --output-on-failure
