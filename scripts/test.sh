#!/usr/bin/env bash
# Runs the whole test suite: installs what is missing, builds, starts its own Xvfb (GL and
# dialog tests draw into a real window), runs every test with CTest, and stops Xvfb again.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$here/scripts/setup.sh"
build="${VORTAN_BUILD_DIR:-$here/build}"

# A display of our own, whether or not one exists, so results do not depend on the desktop.
. "$here/scripts/xvfb.sh"
vortan_start_xvfb
export VORTAN_REQUIRE_DISPLAY=1
export SDL_AUDIODRIVER="${SDL_AUDIODRIVER:-dummy}"

cd "$build"
ctest --output-on-failure -j2 --timeout 300 "$@"
