#!/usr/bin/env bash
# Every test: builds what is needed (installing missing packages) and runs it.
# The native suite runs last, so its ctest summary closes the output.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh
scripts/build-win32.sh   # the .gau, inspected by the win32_module_inspection test
scripts/wine-compare.sh --no-build  # the scenarios natively and under Wine, traces compared
scripts/sanitize.sh      # ASan+UBSan build (clang) of the module, emulator, tests and fuzzers; the suite under it
scripts/fuzz.sh 45       # each fuzzer for 45 s from its seed corpus in fuzz/corpus/
scripts/deps.sh browser  # Chromium and npm for the previewer's browser tests
tests/browser/run.sh build/native
ctest --test-dir build/native --output-on-failure
