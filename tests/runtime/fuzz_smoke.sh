#!/usr/bin/env bash
# Fuzzer smoke run for the normal (gcc) suite: configures a separate clang build with the
# fuzz option, builds only the TGA fuzz target and runs it for 20 seconds over the seeds.
# Usage: fuzz_smoke.sh SOURCE_DIR BUILD_DIR. Exit 77 (skipped) when clang or libFuzzer is missing.
set -euo pipefail
src="$1"
build="$2"
command -v clang++ >/dev/null 2>&1 || { echo "clang++ not found: fuzz smoke skipped"; exit 77; }
echo 'extern "C" int LLVMFuzzerTestOneInput(const unsigned char *, unsigned long) { return 0; }' \
  > "${TMPDIR:-/tmp}/vortan-fuzz-probe.$$.cpp"
if ! clang++ -fsanitize=fuzzer "${TMPDIR:-/tmp}/vortan-fuzz-probe.$$.cpp" -o "${TMPDIR:-/tmp}/vortan-fuzz-probe.$$" >/dev/null 2>&1; then
  rm -f "${TMPDIR:-/tmp}/vortan-fuzz-probe.$$"*
  echo "libFuzzer not available: fuzz smoke skipped"
  exit 77
fi
rm -f "${TMPDIR:-/tmp}/vortan-fuzz-probe.$$"*

if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$src" -B "$build" -DVORTAN_FUZZ=ON -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVORTAN_TESTS=OFF -DVORTAN_BENCH=OFF -DVORTAN_TOOLS=OFF >/dev/null
fi
cmake --build "$build" --target tga_fuzz -j2 >/dev/null
corpus="$build/fuzz/runtime/tga_corpus"
mkdir -p "$corpus"
"$build/fuzz/runtime/tga_fuzz" -max_total_time=20 -max_len=8192 -rss_limit_mb=2048 -print_final_stats=1 \
  "$corpus" "$src/fuzz/runtime/seeds" 2>&1 | tail -40
