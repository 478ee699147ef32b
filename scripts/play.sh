#!/usr/bin/env bash
# Builds Vortan and plays the bundled show. Arguments are passed on to vortan.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$here/scripts/setup.sh"
build="${VORTAN_BUILD_DIR:-$here/build}"
if [ ! -x "$build/vortan" ]; then
  echo "vortan: the engine executable is not built yet (the engine run is still to come)."
  exit 0
fi
cd "$here"
exec "$build/vortan" "$@"
