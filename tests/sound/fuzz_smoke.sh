#!/usr/bin/env bash
# Fuzzer smoke run for the normal (gcc) suite: builds the WAV marker fuzz target with clang in a
# folder of its own and runs it for 20 seconds over the seeds.
# Usage: fuzz_smoke.sh SOURCE_DIR BUILD_DIR. Exit 77 (skipped) when clang or libFuzzer is missing.
set -euo pipefail
src="$1"
build="$2"
command -v clang++ >/dev/null 2>&1 || { echo "clang++ not found: fuzz smoke skipped"; exit 77; }
mkdir -p "$build/corpus"
# The reader is one file with no dependencies, so clang builds it directly: quick, and no second
# configure of the whole project.
if ! clang++ -std=c++17 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
    -I"$src" "$src/fuzz/sound/markers_fuzz.cpp" "$src/sound/sound_markers.cpp" \
    -o "$build/sound_markers_fuzz" 2>"$build/build.log"; then
  if grep -q -i "fuzzer" "$build/build.log"; then
    echo "libFuzzer not available: fuzz smoke skipped"
    exit 77
  fi
  cat "$build/build.log"
  exit 1
fi
"$build/sound_markers_fuzz" -max_total_time=20 -max_len=4096 -rss_limit_mb=2048 -print_final_stats=1 \
  "$build/corpus" "$src/fuzz/sound/seeds" 2>&1 | tail -25
