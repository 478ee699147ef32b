#!/usr/bin/env bash
# Releases a show: checks it, then writes to dist/ NAME-win64.zip and NAME-linux-x86_64.tar.gz
# (the program, datas/ with the script as opal.qlo and exactly the files it loads, vortan.ini with
# the defaults, README.txt; the Linux one with the libraries a desktop lacks beside the program),
# NAME.mp4 with --video, and NAME.sha256. Run with --help for the options.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
say() { echo "vortan-release: $*" >&2; }
die() { echo "vortan-release: $*" >&2; exit 1; }
usage() {
  cat <<'TEXT'
usage: scripts/release.sh SHOW [options]
SHOW is a script, or a folder holding one (datas/opal.qlo, or its only .qlo file, or the only one
in its datas/). The show plays from the script's folder, or from the folder above when the script
lies in datas/; every file the script loads must lie under that folder's datas/.
  --name NAME          base name of the archives and the program (default: the script's name)
  --resolution WxH     the released program's default resolution (default 1920x1080)
  --windowed           start in a window by default (the default is full screen)
  --video              also render NAME.mp4 at the default resolution
  --fps N              frames per second of the video (default 60)
  --dist DIR           where the release goes (default dist/ in this checkout)
  --no-windows         skip the Windows zip (it needs the mingw-w64 cross build)
TEXT
}

# --- The command line.
show="" name="" resolution=1920x1080 fullscreen=yes video=0 fps=60 dist="$here/dist" windows=1
while [ $# -gt 0 ]; do
  case "$1" in
    --help|-h) usage; exit 0 ;;
    --name) [ $# -ge 2 ] || die "--name needs a value"; name="$2"; shift ;;
    --resolution) [ $# -ge 2 ] || die "--resolution needs a value"; resolution="$2"; shift ;;
    --fps) [ $# -ge 2 ] || die "--fps needs a value"; fps="$2"; shift ;;
    --dist) [ $# -ge 2 ] || die "--dist needs a value"; dist="$2"; shift ;;
    --windowed) fullscreen=no ;;
    --video) video=1 ;;
    --no-windows) windows=0 ;;
    -*) usage >&2; die "unknown option $1" ;;
    *) [ -z "$show" ] || die "one show at a time (got '$show' and '$1')"; show="$1" ;;
  esac
  shift
done
[ -n "$show" ] || { usage >&2; exit 2; }
[[ "$resolution" =~ ^[1-9][0-9]{0,4}x[1-9][0-9]{0,4}$ ]] || die "bad --resolution '$resolution' (WxH, such as 1920x1080)"
[[ "$fps" =~ ^[1-9][0-9]{0,2}$ ]] || die "bad --fps '$fps' (a whole number, 1 to 999)"

# --- The script, and the folder the show plays from.
if [ -d "$show" ]; then
  if [ -f "$show/datas/opal.qlo" ]; then
    script="$show/datas/opal.qlo"
  else
    mapfile -t found < <(find "$show" -maxdepth 1 -name '*.qlo' -type f; [ -d "$show/datas" ] && find "$show/datas" -maxdepth 1 -name '*.qlo' -type f)
    [ ${#found[@]} -eq 1 ] || die "$show holds ${#found[@]} scripts (.qlo)$( [ ${#found[@]} -gt 1 ] && printf ' %s' "${found[@]}"); name the one to release"
    script="${found[0]}"
  fi
elif [ -f "$show" ]; then
  script="$show"
else
  die "no show at '$show' (a script or a folder holding one)"
fi
. "$here/scripts/show-paths.sh"
vortan_show_paths "$script"
[ -n "$name" ] || name="$(basename "$script" .qlo)"
[[ "$name" =~ ^[A-Za-z0-9][A-Za-z0-9._-]*$ ]] || die "bad name '$name' (letters, digits, '.', '_' and '-')"

# --- What packing needs, from Debian's archive.
packages=(zip jq patchelf)
. "$here/scripts/packages.sh"
vortan_install "${packages[@]}"

build="${VORTAN_BUILD_DIR:-$here/build}"
VORTAN_BUILD_DIR="$build" "$here/scripts/setup.sh" >&2
vortan="$build/vortan"

# --- The check: a show with errors is not released.
say "checking $script_rel in $root"
status=0
findings=$(cd "$root" && "$vortan" --check --resolution "$resolution" --script "$script_rel" 2>&1) || status=$?
if [ $status -ne 0 ]; then
  echo "$findings" | sed 's/^/  /' >&2
  die "refused: $script_rel has errors (above); fix them, then release again"
fi
[ -z "$(echo "$findings" | grep ': warning: ' || true)" ] || echo "$findings" | grep ': warning: ' | sed 's/^/  /' >&2

# --- Exactly the files the script loads, as the checker lists them.
listing=$(cd "$root" && "$vortan" --inspect --json "$script_rel") || die "cannot list the files of $script_rel"
mapfile -t loads < <(echo "$listing" | jq -r '.files[0].files[]?.name' | sort -u)
used=()
for f in "${loads[@]}"; do
  [ -n "$f" ] || continue
  rel="$(cd "$root" && realpath -m --relative-to=. -- "$f")"
  case "$rel" in
    datas/*) ;;
    *) die "the script loads '$f', which is not under datas/: a release plays datas/opal.qlo from its own folder, so keep the show's files in datas/ (@setresourcedir 0|datas/)" ;;
  esac
  [ "$rel" != datas/opal.qlo ] || die "the script loads datas/opal.qlo, the name the release gives the script itself"
  [ -f "$root/$rel" ] || die "the script loads '$f', which is not a file"
  used+=("$rel")
done

# --- The show as a release holds it: datas/ with opal.qlo and the used files, the defaults.
dist="$(mkdir -p "$dist" && cd "$dist" && pwd)"
work="$(mktemp -d "${TMPDIR:-/tmp}/vortan-release.XXXXXX")"
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/show/datas"
cp "$script" "$work/show/datas/opal.qlo"
for f in "${used[@]+"${used[@]}"}"; do
  mkdir -p "$work/show/$(dirname "$f")"
  cp "$root/$f" "$work/show/$f"
done
printf '# Defaults of this release, before the command line: the setup dialog offers this resolution\n# first and selected, and --no-dialog uses it; full screen runs at the refresh rate given.\nresolution=%s\nfullscreen=%s\nrefresh=60\n' \
  "$resolution" "$fullscreen" >"$work/show/vortan.ini"

# README.txt for one platform: $1 the program as typed there, $2 the folder separator.
readme() {
  local run="$1" sep="$2" mode="full screen"
  [ "$fullscreen" = yes ] || mode="a window"
  cat <<TEXT
$name, a show played by Vortan

Start $run from this folder (or double-click it). A small dialog offers the resolution,
${resolution} first, full screen and vertical sync; Enter or "process_" starts the show, Esc quits.
It opens at ${resolution} in ${mode} unless you choose otherwise. The defaults live in
vortan.ini beside the program (resolution=WxH, fullscreen=yes or no, refresh=60 Hz).

While the show plays: Esc or closing the window (Alt-F4) ends it at once. Space pauses, Left and
Right seek a second (with Shift ten), Home restarts, F1 shows the time and the script line.

From a terminal in this folder:
  $run --no-dialog                      start at once with the defaults
  $run --no-dialog --resolution 1280x720 --fullscreen
  $run --novsync                        do not wait for the vertical retrace
  $run --video show.mp4                 render the show to a video (needs ffmpeg)
  $run --timedemo                       draw every frame as fast as the machine can, print the rate
  $run debug                            with the debug console
  $run --help                           every option

The show is datas${sep}opal.qlo and the files it loads, in datas${sep}. The program finds them
beside itself whatever folder it is started from, and needs to write nothing there.

Every run writes a trace log, _vor_.log, in the folder the show plays from (when it can be
written): the phases of the run, every file loaded and every load or command that failed.
TEXT
}

written=()

# --- Linux: the program with the libraries a desktop may lack, found through \$ORIGIN/lib.
# Left to the system: the C and C++ runtime, GL with its drivers, X11 and Wayland, the sound
# servers, fonts and the base system's own libraries (every Debian or Ubuntu desktop has them).
system_lib() {
  case "$1" in
    ld-linux*|libc.so.*|libm.so.*|libdl.so.*|librt.so.*|libpthread.so.*|libresolv.so.*|libutil.so.*) return 0 ;;
    libstdc++.so.*|libgcc_s.so.*) return 0 ;;
    libGL.so.*|libGLX*.so.*|libOpenGL.so.*|libGLdispatch.so.*|libEGL*.so.*|libgbm.so.*|libdrm*.so.*) return 0 ;;
    libX11*.so.*|libxcb*.so.*|libXau.so.*|libXdmcp.so.*|libXext.so.*|libXrender.so.*|libXfixes.so.*) return 0 ;;
    libXcursor.so.*|libXi.so.*|libXrandr.so.*|libXinerama.so.*|libXft.so.*|libxkbcommon*.so.*|libwayland-*.so.*) return 0 ;;
    libasound.so.*|libpulse*.so|libpulse*.so.*|libdbus-1.so.*|libsystemd.so.*|libasyncns.so.*) return 0 ;;
    libfontconfig.so.*|libfreetype.so.*|libexpat.so.*|libpng16.so.*|libbrotli*.so.*|libz.so.*|libbz2.so.*) return 0 ;;
    libbsd.so.*|libmd.so.*|libcap.so.*|libgcrypt.so.*|libgpg-error.so.*|liblzma.so.*|libzstd.so.*|liblz4.so.*) return 0 ;;
    libffi.so.*|libselinux.so.*|libpcre2-8.so.*) return 0 ;;
  esac
  return 1
}
linux="$name-linux-x86_64"
stage="$work/linux/$linux"
mkdir -p "$stage/lib"
cp -r "$work/show/." "$stage/"
strip -o "$stage/$name" "$vortan"
libraries=$(ldd "$vortan") || die "ldd cannot read $vortan"
! grep 'not found' <<<"$libraries" >/dev/null || die "$vortan misses libraries: $(grep 'not found' <<<"$libraries" | xargs)"
while read -r soname path; do
  system_lib "$soname" && continue
  cp -L "$path" "$stage/lib/$soname"
  chmod 644 "$stage/lib/$soname"
  strip --strip-unneeded "$stage/lib/$soname"
  patchelf --set-rpath '$ORIGIN' "$stage/lib/$soname"   # their own dependencies lie beside them
done < <(awk '$2 == "=>" && $3 ~ /^\// {print $1, $3}' <<<"$libraries")
patchelf --set-rpath '$ORIGIN/lib' "$stage/$name"
readme "./$name" / >"$stage/README.txt"
tar --sort=name --owner=0 --group=0 --numeric-owner -czf "$dist/$linux.tar.gz" -C "$work/linux" "$linux"
written+=("$linux.tar.gz")

# --- Windows: the statically linked program, nothing else.
if [ $windows = 1 ]; then
  win="${VORTAN_WIN_BUILD_DIR:-$here/build-win64}"
  # The test build keeps its tests: a release does not switch them off and on again.
  win_tests=0
  grep -q '^VORTAN_TESTS:BOOL=ON' "$win/CMakeCache.txt" 2>/dev/null && win_tests=1
  VORTAN_BUILD_DIR="$build" VORTAN_WIN_BUILD_DIR="$win" VORTAN_WIN_TESTS=$win_tests "$here/scripts/build-windows.sh" >&2
  windir="$name-win64"
  stage="$work/win/$windir"
  mkdir -p "$stage"
  cp -r "$work/show/." "$stage/"
  cp "$win/vortan.exe" "$stage/$name.exe"
  readme "$name.exe" '\' | sed 's/$/\r/' >"$stage/README.txt"
  sed -i 's/$/\r/' "$stage/vortan.ini"
  rm -f "$dist/$windir.zip"
  (cd "$work/win" && zip -qrX "$dist/$windir.zip" "$windir")
  written+=("$windir.zip")
fi

# --- The video, rendered by the engine itself on a display of our own that the window fits.
if [ $video = 1 ]; then
  say "rendering $name.mp4 at ${resolution}, $fps frames a second"
  (
    . "$here/scripts/xvfb.sh"
    w=${resolution%x*} h=${resolution#*x}
    vortan_start_xvfb "$(( w > 1280 ? w : 1280 ))x$(( h > 1024 ? h : 1024 ))"
    cd "$work/show" && "$vortan" --no-dialog --resolution "$resolution" --fps "$fps" --video "$dist/$name.mp4"
  ) || die "the video could not be made (above)"
  written+=("$name.mp4")
fi

(cd "$dist" && sha256sum "${written[@]}" >"$name.sha256")
written+=("$name.sha256")
for f in "${written[@]}"; do
  echo "$dist/$f"
done
