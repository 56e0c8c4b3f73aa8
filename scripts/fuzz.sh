#!/usr/bin/env bash
# Runs one fuzz target (settings, xmlcursor, textrules, ziparchive, feeds,
# ftpreplies) for SECONDS (default 600) from its committed corpus, in the
# clang build folder build-fuzz (configured and built here when needed). New
# inputs go to build-fuzz/corpus/TARGET, so the committed corpus stays small;
# a crashing input is written to build-fuzz/findings/. Exits non-zero on any
# finding.
#   scripts/fuzz.sh TARGET [SECONDS]
#   FUZZ_BUILD=0 scripts/fuzz.sh ...   skips the build step
#   FUZZ_WORK=DIR scripts/fuzz.sh ...  new inputs go to DIR instead
set -euo pipefail
cd "$(dirname "$0")/.."

targets=(settings xmlcursor textrules ziparchive feeds ftpreplies)
target="${1:-}"
seconds="${2:-600}"
if [[ ! " ${targets[*]} " =~ " ${target} " ]] || [[ ! "$seconds" =~ ^[0-9]+$ ]]; then
  echo "usage: scripts/fuzz.sh TARGET [SECONDS]   (targets: ${targets[*]})" >&2
  exit 2
fi

dir=build-fuzz
if [ "${FUZZ_BUILD:-1}" != 0 ]; then
  cmake -S . -B "$dir" -G Ninja -DANNONCIA_WERROR=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DANNONCIA_FUZZ=ON -DANNONCIA_TESTS=OFF -DANNONCIA_GUI=OFF >/dev/null
  cmake --build "$dir" -j "${JOBS:-2}" --target "fuzz_$target"
fi

work="${FUZZ_WORK:-$dir/corpus/$target}"
findings="$dir/findings/$target"
mkdir -p "$work" "$findings"
# A leak, a sanitizer report, a failed check or an input slower than 10 s ends the run.
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:${ASAN_OPTIONS:-}"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1:${UBSAN_OPTIONS:-}"
# The builders load the zip engine by name; in the build tree it lies beside the programs.
export LD_LIBRARY_PATH="$PWD/$dir/src/app${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}"
dict=()
case "$target" in xmlcursor|textrules|feeds) dict=(-dict=fuzz/exports.dict) ;; esac
"$dir/fuzz/fuzz_$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
  "${dict[@]}" -artifact_prefix="$findings/" -print_final_stats=1 \
  "$work" "fuzz/corpus/$target"
