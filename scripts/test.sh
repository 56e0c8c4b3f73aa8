#!/usr/bin/env bash
# The one test command: installs what is needed, builds, and runs every test
# twice, in a normal build and in a build with AddressSanitizer and
# UndefinedBehaviorSanitizer. Exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/setup.sh

jobs="${JOBS:-2}"
run_suite() {
  local dir="$1"; shift
  cmake -S . -B "$dir" -G Ninja -DANNONCIA_WERROR=ON "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
  (cd "$dir" && ctest --output-on-failure -j "$jobs" --timeout 300 ${CTEST_ARGS:-})
}

echo "== normal build"
run_suite build
echo "== sanitizer build (ASan + UBSan)"
# The timing tests measure the sanitizers there, not the code: skipped.
CTEST_ARGS="-LE timing" ASAN_OPTIONS="detect_leaks=1:abort_on_error=1" UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1" \
  run_suite build-sanitize -DANNONCIA_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug
