#!/usr/bin/env bash
# Builds Vortan and plays the bundled show (datas/opal.qlo). Arguments are passed on to vortan.
# Without a display the show is rendered under Xvfb instead: to out/opal.mp4 alone when ffmpeg is
# installed, else to frames and the soundtrack in out/opal/.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$here/scripts/setup.sh"
build="${VORTAN_BUILD_DIR:-$here/build}"
cd "$here"

if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  exec "$build/vortan" "$@"
fi

echo "vortan: no display here; rendering the show under Xvfb instead"
. "$here/scripts/xvfb.sh"
vortan_start_xvfb
mkdir -p out
if command -v ffmpeg >/dev/null 2>&1; then
  status=0
  "$build/vortan" --video out/opal.mp4 --fps 30 "$@" || status=$?
  [ $status -eq 0 ] && echo "vortan: the show is in $here/out/opal.mp4"
  exit $status
fi
status=0
"$build/vortan" --capture out/opal --fps 30 "$@" || status=$?
echo "vortan: no ffmpeg here; the frames and soundtrack.wav are in $here/out/opal/"
exit $status
