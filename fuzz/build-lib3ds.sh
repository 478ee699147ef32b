#!/usr/bin/env bash
# Builds lib3ds from Debian's source package with AddressSanitizer, UndefinedBehaviorSanitizer and
# libFuzzer's coverage, so the scene fuzz target sees inside the library. Source, build and the
# installed prefix live in a cache folder outside the checkout; prints the prefix on its last line.
# Usage: fuzz/build-lib3ds.sh [PREFIX]   (default ~/.cache/vortan/lib3ds-fuzz/prefix)
# Then: cmake -DVORTAN_FUZZ=ON -DVORTAN_LIB3DS_PREFIX=PREFIX ...
set -euo pipefail
cache="${XDG_CACHE_HOME:-$HOME/.cache}/vortan/lib3ds-fuzz"
prefix="${1:-$cache/prefix}"
flags="-g -O1 -fno-omit-frame-pointer -fsanitize=address,undefined,fuzzer-no-link -fno-sanitize-recover=undefined"
stamp="$prefix/.built-with"
if [ -f "$prefix/lib/lib3ds.a" ] && [ "$(cat "$stamp" 2>/dev/null)" = "$flags" ]; then
  echo "$prefix"
  exit 0
fi
command -v clang >/dev/null || { echo "build-lib3ds: clang is needed" >&2; exit 1; }
sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)

# apt-get source needs a deb-src entry: mirror the first deb entry's archive and suites.
if ! apt-cache showsrc lib3ds 2>/dev/null | grep -q '^Package: lib3ds'; then
  list=/etc/apt/sources.list.d/vortan-deb-src.sources
  uri=$(grep -h -m1 '^URIs:' /etc/apt/sources.list.d/*.sources 2>/dev/null | head -n1 | awk '{print $2}' || true)
  suites=$(grep -h -m1 '^Suites:' /etc/apt/sources.list.d/*.sources 2>/dev/null | head -n1 | cut -d' ' -f2- || true)
  if [ -z "$uri" ]; then # one-line format
    read -r _ uri suite _ < <(grep -h -m1 '^deb ' /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null)
    suites="$suite"
  fi
  printf 'Types: deb-src\nURIs: %s\nSuites: %s\nComponents: main\n' "$uri" "$suites" | "${sudo_cmd[@]}" tee "$list" >/dev/null
  "${sudo_cmd[@]}" apt-get update -qq
fi

src="$cache/source"
rm -rf "$src"
mkdir -p "$src"
cd "$src"
# The archive may lack the Debian part of the package while it still serves the upstream tarball
# and the .dsc; then the upstream source is built as it stands, and the script says so.
if ! apt-get source -qq lib3ds >apt-source.log 2>&1; then
  orig=$(ls lib3ds_*.orig.tar.* 2>/dev/null | head -1)
  if [ -z "$orig" ]; then
    cat apt-source.log >&2
    echo "build-lib3ds: apt-get source lib3ds failed" >&2
    exit 1
  fi
  echo "build-lib3ds: Debian's changes to lib3ds could not be fetched; building the upstream source $orig" >&2
  tar xf "$orig"
fi
dir=$(find "$src" -maxdepth 1 -type d -name 'lib3ds-*' | head -1)
[ -n "$dir" ] || { echo "build-lib3ds: no source folder after apt-get source" >&2; exit 1; }

# The library is a flat folder of C files with no generated header: compiled directly.
obj="$cache/obj"
rm -rf "$obj"
mkdir -p "$obj" "$prefix/lib" "$prefix/include/lib3ds"
for c in "$dir"/lib3ds/*.c; do
  clang $flags -w -I"$dir" -c "$c" -o "$obj/$(basename "${c%.c}").o"
done
rm -f "$prefix/lib/lib3ds.a"
ar rcs "$prefix/lib/lib3ds.a" "$obj"/*.o
cp "$dir"/lib3ds/*.h "$prefix/include/lib3ds/"
echo "$flags" >"$stamp"
echo "$prefix"
