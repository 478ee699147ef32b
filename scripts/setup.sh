#!/usr/bin/env bash
# Installs what Vortan needs from Debian's packages (only what is missing), then configures and
# builds into ./build. Quiet when nothing is missing. Used by play.sh and test.sh.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

packages=(
  build-essential cmake pkg-config clang libclang-rt-14-dev
  libglfw3-dev libglu1-mesa-dev libgl1-mesa-dri lib3ds-dev
  libsdl2-dev libsndfile1-dev libopenmpt-dev
  libfltk1.3-dev libjpeg-dev libpng-dev
  xvfb xauth xdotool x11-utils imagemagick ffmpeg jq
  libgtest-dev libgmock-dev libbenchmark-dev libstb-dev libassimp-dev assimp-utils openscenegraph
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "vortan: installing ${missing[*]}"
  sudo_cmd=()
  [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq "${missing[@]}" >/dev/null
fi

build="${VORTAN_BUILD_DIR:-$here/build}"
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo ${VORTAN_CMAKE_ARGS:-} >/dev/null
fi
log="$build/build.log"
if ! cmake --build "$build" -j"$(nproc)" >"$log" 2>&1; then
  grep -E -A3 "error|Error" "$log" | head -60
  echo "vortan: the build failed; the whole output is in $log"
  exit 1
fi
grep -E "warning:" "$log" | sort -u | head -20 || true
