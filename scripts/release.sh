#!/usr/bin/env bash
# Packs the Linux release: builds (setup.sh) and writes dist/vortan-linux-x86_64.tar.gz with the
# vortan executable, the bundled show's datas/ and a README.txt. scripts/build-windows.sh makes
# the Windows one, dist/vortan-win64.zip.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$here/scripts/setup.sh"
build="${VORTAN_BUILD_DIR:-$here/build}"
stage="$build/package/vortan-linux-x86_64"
rm -rf "$build/package"; mkdir -p "$stage" "$here/dist"
strip -o "$stage/vortan" "$build/vortan"
cp -r "$here/datas" "$stage/datas"
cat >"$stage/README.txt" <<'TEXT'
Vortan for Linux (x86-64)

Run ./vortan from this folder: it plays datas/opal.qlo. A small dialog asks for the resolution,
full screen and vertical sync; Enter or "process_" starts the show, Esc quits. While it plays,
Esc or closing the window ends it.

It uses the system's libraries; on Debian 12:
  sudo apt-get install libglfw3 libglu1-mesa lib3ds-1-3 libsdl2-2.0-0 libsndfile1 libopenmpt0 \
                       libfltk1.3 libjpeg62-turbo libpng16-16

  ./vortan --no-dialog --resolution 1024x768      start at once
  ./vortan --check                                check the script, open no window
  ./vortan --capture frames --fps 60              every frame to PNG files, the sound to WAV
  ./vortan --video show.mp4                       the same as an MP4 (needs ffmpeg)
  ./vortan debug                                  with the debug console
  ./vortan --help                                 every option

Every run leaves a trace log, _vor_.log, in this folder.
TEXT
tar -czf "$here/dist/vortan-linux-x86_64.tar.gz" -C "$build/package" vortan-linux-x86_64
echo "vortan: release archive: $here/dist/vortan-linux-x86_64.tar.gz"
