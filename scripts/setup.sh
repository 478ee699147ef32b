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
  xvfb xauth xdotool x11-utils imagemagick ffmpeg jq parallel rsync openssh-server openssh-client
  libgtest-dev libgmock-dev libbenchmark-dev libstb-dev libassimp-dev assimp-utils openscenegraph
)

. "$here/scripts/packages.sh"
vortan_install "${packages[@]}"

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
