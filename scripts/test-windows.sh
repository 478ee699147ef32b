#!/usr/bin/env bash
# Runs the Windows tests: builds vortan.exe and the Windows test programs (build-windows.sh, with
# its cached libraries), then runs them with CTest through Wine under an Xvfb of its own, with
# SDL's dummy sound driver. CTest arguments may follow (-R dialog).
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
start=$(date +%s)
say() { echo "vortan-win: $*"; }
die() { echo "vortan-win: $*" >&2; exit 1; }

VORTAN_WIN_TESTS=1 "$here/scripts/build-windows.sh"
win="${VORTAN_WIN_BUILD_DIR:-$here/build-win64}"
built=$(date +%s)

. "$here/scripts/xvfb.sh"
vortan_start_xvfb
export SDL_AUDIODRIVER=dummy
export WINEDEBUG=-all
export WINEPREFIX="${WINEPREFIX:-${XDG_CACHE_HOME:-$HOME/.cache}/vortan/wine}"
export WINEDLLOVERRIDES="mscoree,mshtml="   # no .NET or browser engine to offer installing

# The Wine server and the prefix are started once, here, with their output going to a file: a
# Wine service left holding CTest's output pipe would keep CTest waiting forever. A step that
# fails shows the log's last lines here, not only in the file.
trap 'wineserver -k >/dev/null 2>&1 || true; kill $VORTAN_XVFB_PID 2>/dev/null || true' EXIT
wine_log="$win/wine.log"
wine_fail() {
  echo "vortan-win: the last lines of $wine_log:" >&2
  tail -n 20 "$wine_log" | sed 's/^/  /' >&2
  die "$*"
}
# wineserver changes into the prefix before anything else: on a machine that never ran these
# tests the folder does not exist yet, and the server would stop at once.
mkdir -p "$WINEPREFIX" || die "cannot make the Wine prefix folder $WINEPREFIX"
: >"$wine_log"
if ! wineserver -p >>"$wine_log" 2>&1 </dev/null; then
  wine_fail "the Wine server did not start for the prefix $WINEPREFIX"
fi
if ! timeout 300 wineboot -i >>"$wine_log" 2>&1 </dev/null; then
  wine_fail "Wine could not start its prefix $WINEPREFIX in 5 minutes"
fi

cd "$win"
status=0
ctest --output-on-failure --timeout 600 "$@" || status=$?
say "build $(( built - start )) s, tests $(( $(date +%s) - built )) s"
exit $status
