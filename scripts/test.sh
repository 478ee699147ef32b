#!/usr/bin/env bash
# Runs the whole test suite: installs what is missing, builds, starts its own Xvfb (GL and
# dialog tests draw into a real window), runs every test with CTest, and stops Xvfb again.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$here/scripts/setup.sh"
build="${VORTAN_BUILD_DIR:-$here/build}"

# A display of our own, whether or not one exists, so results do not depend on the desktop.
display=""
for n in $(seq 90 120); do
  if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then display=":$n"; break; fi
done
Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
trap 'kill $xvfb_pid 2>/dev/null || true' EXIT
for _ in $(seq 1 50); do
  [ -e "/tmp/.X11-unix/X${display#:}" ] && break
  sleep 0.1
done
export DISPLAY="$display"
export LIBGL_ALWAYS_SOFTWARE=1
export VORTAN_REQUIRE_DISPLAY=1
export SDL_AUDIODRIVER="${SDL_AUDIODRIVER:-dummy}"

cd "$build"
ctest --output-on-failure -j2 --timeout 300 "$@"
