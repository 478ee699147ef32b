#!/usr/bin/env bash
# Smoke run of the 3DS fuzzer for the normal (gcc) suite: configures a clang build of its own with
# the fuzz option, builds only scene_fuzz, writes seeds with scenegen and fuzzes for a while.
# Usage: fuzz_smoke.sh SOURCE_DIR BUILD_DIR SCENEGEN [SECONDS]. Exit 77 (skipped) when clang or
# libFuzzer is missing.
set -euo pipefail
src="$1"
build="$2"
scenegen="$3"
seconds="${4:-20}"
command -v clang++ >/dev/null 2>&1 || { echo "clang++ not found: fuzz smoke skipped"; exit 77; }
probe="${TMPDIR:-/tmp}/vortan-scene-fuzz-probe.$$"
echo 'extern "C" int LLVMFuzzerTestOneInput(const unsigned char *, unsigned long) { return 0; }' > "$probe.cpp"
if ! clang++ -fsanitize=fuzzer "$probe.cpp" -o "$probe" >/dev/null 2>&1; then
  rm -f "$probe" "$probe.cpp"
  echo "libFuzzer not available: fuzz smoke skipped"
  exit 77
fi
rm -f "$probe" "$probe.cpp"

if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$src" -B "$build" -DVORTAN_FUZZ=ON -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVORTAN_TESTS=OFF -DVORTAN_BENCH=OFF -DVORTAN_TOOLS=OFF >/dev/null
fi
cmake --build "$build" --target scene_fuzz -j2 >/dev/null
seeds="$build/fuzz/scene/seeds"
corpus="$build/fuzz/scene/corpus"
mkdir -p "$seeds" "$corpus"
"$scenegen" seeds "$seeds"
"$build/fuzz/scene/scene_fuzz" -max_total_time="$seconds" -max_len=16384 -rss_limit_mb=2048 -timeout=10 \
  -print_final_stats=1 "$corpus" "$seeds" 2>&1 | tail -25
