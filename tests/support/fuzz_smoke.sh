#!/usr/bin/env bash
# Fuzz smoke run for the normal (gcc) suite: configures a clang build of its own with the fuzz
# option (shared by every target's smoke run; ccache is used when present), builds one fuzz target
# and runs it for 5 seconds over its seeds.
# Usage: fuzz_smoke.sh SOURCE_DIR BUILD_DIR TARGET FOLDER MAX_LEN SEEDS [SEED_MAKER]
#   FOLDER is the target's folder under fuzz/; SEEDS a folder of seeds, which SEED_MAKER, when
#   given, fills first (run as "SEED_MAKER seeds SEEDS").
# Exit 77 (skipped) when clang or libFuzzer is missing.
set -euo pipefail
src="$1" build="$2" target="$3" folder="$4" max_len="$5" seeds="$6" seed_maker="${7:-}"

command -v clang++ >/dev/null 2>&1 || { echo "clang++ not found: fuzz smoke skipped"; exit 77; }
mkdir -p "$build"
echo 'extern "C" int LLVMFuzzerTestOneInput(const unsigned char *, unsigned long) { return 0; }' > "$build/probe.cpp"
if ! clang++ -fsanitize=fuzzer "$build/probe.cpp" -o "$build/probe" >/dev/null 2>&1; then
  echo "libFuzzer not available: fuzz smoke skipped"
  exit 77
fi

if [ ! -f "$build/CMakeCache.txt" ]; then
  launcher=()
  command -v ccache >/dev/null 2>&1 && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
  cmake -S "$src" -B "$build" -DVORTAN_FUZZ=ON -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVORTAN_TESTS=OFF -DVORTAN_BENCH=OFF "${launcher[@]}" >/dev/null
fi
cmake --build "$build" --target "$target" -j2 >/dev/null
if [ -n "$seed_maker" ]; then
  mkdir -p "$seeds"
  "$seed_maker" seeds "$seeds"
fi
corpus="$build/fuzz/$folder/${target}_corpus" # new inputs; the seeds are only read
mkdir -p "$corpus"
"$build/fuzz/$folder/$target" -max_total_time=5 -max_len="$max_len" -rss_limit_mb=2048 -timeout=10 \
  -print_final_stats=1 "$corpus" "$seeds" 2>&1 | tail -25
