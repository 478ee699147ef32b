#!/usr/bin/env bash
# Cross-builds vortan.exe for 64-bit Windows from Debian packages only: installs the mingw-w64
# toolchain and Wine, builds the Windows libraries as static ones from Debian's source packages
# into a cache outside the checkout, builds the engine against them, and packs
# dist/vortan-win64.zip. VORTAN_WIN_DEPS_ONLY=1 stops after the libraries.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
triple=x86_64-w64-mingw32
say() { echo "vortan-win: $*"; }
die() { echo "vortan-win: $*" >&2; exit 1; }

sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)

# --- Tools: the cross compiler, Wine (tests and the asset check), and what the libraries need.
packages=(g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix wine64 wine cmake pkg-config nasm
          dpkg-dev zip xvfb xauth)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
# Source packages come from the same archive as the binary ones: add its deb-src entry once.
srclist=/etc/apt/sources.list.d/vortan-src.sources
need_update=0
if ! apt-cache showsrc zlib 2>/dev/null | grep -q '^Version'; then
  if [ ! -f "$srclist" ]; then
    main_list=/etc/apt/sources.list.d/debian.sources
    uri=http://deb.debian.org/debian suites="bookworm bookworm-updates"
    if [ -f "$main_list" ]; then
      uri=$(awk '/^URIs:/ {print $2; exit}' "$main_list")
      suites=$(awk '/^Suites:/ {$1=""; print; exit}' "$main_list" | sed 's/^ //')
    fi
    printf 'Types: deb-src\nURIs: %s\nSuites: %s\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' \
      "$uri" "$suites" | "${sudo_cmd[@]}" tee "$srclist" >/dev/null
  fi
  need_update=1
fi
if [ ${#missing[@]} -gt 0 ] || [ $need_update -eq 1 ]; then
  say "installing ${missing[*]:-} (and reading the source package lists)"
  "${sudo_cmd[@]}" apt-get update -qq
  if [ ${#missing[@]} -gt 0 ]; then
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq "${missing[@]}" >/dev/null
  fi
fi

# --- The dependency cache: keyed by the source versions, the compiler and this script.
sources=(zlib libpng1.6 libjpeg-turbo glfw3 lib3ds libogg libvorbis flac opus libsndfile libsdl2
         libopenmpt googletest)
versions=""
for p in "${sources[@]}"; do
  v=$(apt-cache showsrc --only-source "$p" 2>/dev/null | awk '/^Version:/ {print $2; exit}')
  [ -n "$v" ] || die "no source package $p in the archive (is the deb-src entry there?)"
  versions+="$p=$v "
done
compiler=$($triple-g++-posix --version | head -1)
key=${VORTAN_WIN_DEPS_KEY:-}  # pinned by hand only while working on this script
[ -n "$key" ] || key=$( { echo "$versions"; echo "$compiler"; cat "${BASH_SOURCE[0]}" "$here/cmake/mingw-w64-x86_64.cmake"; } \
       | sha256sum | cut -c1-16)
cache="${VORTAN_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/vortan}"
deps="$cache/win-deps-$key"
work="$cache/win-src-$key"
export VORTAN_WIN_DEPS="$deps"
toolchain="$here/cmake/mingw-w64-x86_64.cmake"
jobs="${VORTAN_JOBS:-2}"
run() { nice -n 19 "$@"; }

# Each library leaves a stamp once installed; a library without one is built (again). The
# stamps and the files checked below tell a whole cache from a partial or broken one.
expected=(lib/libz.a lib/libpng16.a lib/libjpeg.a lib/libglfw3.a lib/lib3ds.a lib/libogg.a
          lib/libvorbis.a lib/libvorbisenc.a lib/libFLAC.a lib/libopus.a lib/libsndfile.a
          lib/libSDL2.a lib/libopenmpt.a lib/libgtest.a lib/libgmock.a include/lib3ds/file.h
          lib/pkgconfig/sndfile.pc lib/pkgconfig/sdl2.pc lib/pkgconfig/libopenmpt.pc
          lib/pkgconfig/glfw3.pc)
cache_whole() {
  [ -f "$deps/.complete" ] || return 1
  local f
  for f in "${expected[@]}"; do [ -s "$deps/$f" ] || return 1; done
  for p in "${sources[@]}"; do [ -f "$deps/.stamps/$p" ] || return 1; done
}

# Unpacks a source package into $work/$1/tree: with Debian's patches when the archive has
# them, else the upstream tarball the source package names.
fetch() {
  local p=$1 d="$work/$1"
  [ -d "$d/tree" ] && return 0
  rm -rf "$d"; mkdir -p "$d"
  (cd "$d" && apt-get source --download-only --only-source -qq "$p" >/dev/null 2>&1) || true
  local dsc; dsc=$(ls "$d"/*.dsc 2>/dev/null | head -1)
  [ -n "$dsc" ] || die "apt-get source $p fetched nothing"
  if ! (cd "$d" && dpkg-source --no-check -x "$(basename "$dsc")" tree >/dev/null 2>&1); then
    local orig; orig=$(ls "$d"/*.orig.tar.* 2>/dev/null | grep -v '\.asc$' | head -1)
    [ -n "$orig" ] || die "no upstream tarball for $p"
    rm -rf "$d/tree"; mkdir -p "$d/tree"
    tar xf "$orig" -C "$d/tree" --strip-components=1
  fi
}

cflags="-O2 -DNDEBUG"
cmake_dep() {  # cmake_dep NAME [SUBDIR] -- cmake options
  local p=$1 sub=""; shift
  if [ "${1:-}" != "--" ]; then sub=$1; shift; fi
  shift
  local b="$work/$p/build"
  rm -rf "$b"
  run cmake -S "$work/$p/tree/$sub" -B "$b" -G "Unix Makefiles" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_C_FLAGS_RELEASE="$cflags" -DCMAKE_CXX_FLAGS_RELEASE="$cflags" \
    -DCMAKE_INSTALL_PREFIX="$deps" -DCMAKE_PREFIX_PATH="$deps" -DBUILD_SHARED_LIBS=OFF \
    -DCMAKE_POLICY_DEFAULT_CMP0074=NEW "$@" >"$b.log" 2>&1 || { tail -30 "$b.log"; die "$p: configure failed (log $b.log)"; }
  run cmake --build "$b" -j"$jobs" >>"$b.log" 2>&1 || { tail -30 "$b.log"; die "$p: build failed (log $b.log)"; }
  run cmake --install "$b" >>"$b.log" 2>&1 || die "$p: install failed (log $b.log)"
}

# Small C libraries with no configuration to speak of are compiled directly: zlib (Debian's
# tarball has no Windows makefile) and lib3ds (its 2007 configure does not know mingw-w64).
c_archive() {  # c_archive NAME LIBRARY FILES...
  local p=$1 lib=$2 o="$work/$1/obj"; shift 2
  rm -rf "$o"; mkdir -p "$o" "$deps/lib"
  for c in "$@"; do
    run $triple-gcc-posix $cflags -I"$work/$p/tree" -c "$c" -o "$o/$(basename "${c%.c}").o" || die "$p: $c failed"
  done
  rm -f "$deps/lib/$lib"
  $triple-ar rcs "$deps/lib/$lib" "$o"/*.o
}
build_zlib() {
  local t="$work/zlib/tree" f files=()
  for f in adler32 compress crc32 deflate gzclose gzlib gzread gzwrite infback inffast inflate inftrees trees uncompr zutil; do
    files+=("$t/$f.c")
  done
  c_archive zlib libz.a "${files[@]}"
  mkdir -p "$deps/lib/pkgconfig" "$deps/include"
  cp "$t/zlib.h" "$t/zconf.h" "$deps/include/"
  printf 'prefix=%s\nlibdir=${prefix}/lib\nincludedir=${prefix}/include\nName: zlib\nDescription: zlib\nVersion: 1.2.13\nLibs: -L${libdir} -lz\nCflags: -I${includedir}\n' \
    "$deps" >"$deps/lib/pkgconfig/zlib.pc"
}
build_libpng1.6() { cmake_dep libpng1.6 -- -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF -DZLIB_ROOT="$deps"; }
build_libjpeg-turbo() { cmake_dep libjpeg-turbo -- -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_TURBOJPEG=OFF -DWITH_JPEG8=OFF; }
build_glfw3() { cmake_dep glfw3 -- -DGLFW_BUILD_EXAMPLES=OFF -DGLFW_BUILD_TESTS=OFF -DGLFW_BUILD_DOCS=OFF; }
build_lib3ds() {
  c_archive lib3ds lib3ds.a "$work/lib3ds/tree"/lib3ds/*.c
  mkdir -p "$deps/include/lib3ds"
  cp "$work/lib3ds/tree"/lib3ds/*.h "$deps/include/lib3ds/"
}
build_libogg() { cmake_dep libogg -- -DINSTALL_DOCS=OFF -DBUILD_TESTING=OFF; }
build_libvorbis() { cmake_dep libvorbis -- -DOGG_ROOT="$deps"; }
build_flac() { cmake_dep flac -- -DBUILD_PROGRAMS=OFF -DBUILD_EXAMPLES=OFF -DBUILD_TESTING=OFF -DBUILD_DOCS=OFF \
                 -DINSTALL_MANPAGES=OFF -DBUILD_CXXLIBS=OFF -DWITH_OGG=ON -DWITH_STACK_PROTECTOR=OFF; }
build_opus() { cmake_dep opus -- -DOPUS_BUILD_PROGRAMS=OFF -DOPUS_BUILD_TESTING=OFF -DOPUS_STACK_PROTECTOR=OFF; }
build_libsndfile() { cmake_dep libsndfile -- -DBUILD_PROGRAMS=OFF -DBUILD_EXAMPLES=OFF -DBUILD_TESTING=OFF \
                       -DENABLE_EXTERNAL_LIBS=ON -DENABLE_MPEG=OFF -DENABLE_CPACK=OFF -DINSTALL_MANPAGES=OFF \
                       -DENABLE_PACKAGE_CONFIG=ON; }
build_libsdl2() {
  # The engine uses SDL for sound alone.
  cmake_dep libsdl2 -- -DSDL_SHARED=OFF -DSDL_STATIC=ON -DSDL_TEST=OFF -DSDL_VIDEO=OFF -DSDL_RENDER=OFF \
    -DSDL_JOYSTICK=OFF -DSDL_HAPTIC=OFF -DSDL_HIDAPI=OFF -DSDL_SENSOR=OFF -DSDL_POWER=OFF \
    -DSDL_LOCALE=OFF -DSDL_MISC=OFF -DSDL_FILE=ON -DSDL_LOADSO=ON -DSDL_CPUINFO=ON \
    -DSDL2_DISABLE_SDL2MAIN=ON
}
build_libopenmpt() {
  local t="$work/libopenmpt/tree" b="$work/libopenmpt/build"
  rm -rf "$b"; mkdir -p "$b"
  (cd "$b" && run "$t/configure" --host=$triple --prefix="$deps" --disable-shared --enable-static \
      --disable-openmpt123 --disable-examples --disable-tests --disable-doxygen-doc \
      --without-mpg123 --without-ogg --without-vorbis --without-vorbisfile --without-zlib \
      --without-portaudio --without-portaudiocpp --without-pulseaudio --without-sndfile --without-flac \
      CC=$triple-gcc-posix CXX=$triple-g++-posix CFLAGS="$cflags" CXXFLAGS="$cflags" \
      PKG_CONFIG_LIBDIR="$deps/lib/pkgconfig" >"$b.log" 2>&1) || { tail -20 "$b.log"; die "libopenmpt: configure failed (log $b.log)"; }
  run make -C "$b" -j"$jobs" >>"$b.log" 2>&1 || { tail -30 "$b.log"; die "libopenmpt: build failed (log $b.log)"; }
  run make -C "$b" install >>"$b.log" 2>&1 || die "libopenmpt: install failed (log $b.log)"
}
build_googletest() { cmake_dep googletest -- -DBUILD_GMOCK=ON -DINSTALL_GTEST=ON -Dgtest_disable_pthreads=OFF; }

if cache_whole; then
  say "Windows libraries from the cache $deps"
else
  [ -f "$deps/.complete" ] && { say "the cache $deps is broken: building it again"; rm -rf "$deps"; }
  say "building the Windows libraries into $deps (a cold build takes a while; logs in $work)"
  mkdir -p "$deps/.stamps"
  start=$(date +%s)
  for p in "${sources[@]}"; do
    [ -f "$deps/.stamps/$p" ] && continue
    say "  $p"
    fetch "$p"
    "build_$p"
    touch "$deps/.stamps/$p"
  done
  touch "$deps/.complete"
  cache_whole || die "the libraries were built but some files are missing from $deps"
  say "Windows libraries built in $(( $(date +%s) - start )) s"
  # Older caches of other keys are dead weight.
  for old in "$cache"/win-deps-* "$cache"/win-src-*; do
    case "$old" in "$deps"|"$work") ;; *) rm -rf "$old" ;; esac
  done
fi
[ "${VORTAN_WIN_DEPS_ONLY:-0}" = 1 ] && exit 0

# --- The native build first: its generators made the show's assets and draw the dialog's banner.
VORTAN_BUILD_DIR="${VORTAN_BUILD_DIR:-$here/build}" "$here/scripts/setup.sh"
host="${VORTAN_BUILD_DIR:-$here/build}"

# --- The engine for Windows, against the cached libraries. VORTAN_WIN_TESTS=1 adds the tests.
win="${VORTAN_WIN_BUILD_DIR:-$here/build-win64}"
tests=OFF
[ "${VORTAN_WIN_TESTS:-0}" = 1 ] && tests=ON
mkdir -p "$win"
if ! nice -n 19 cmake -S "$here" -B "$win" -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_C_FLAGS_RELEASE="-O2 -DNDEBUG" -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" \
      -DCMAKE_EXE_LINKER_FLAGS_RELEASE="-s" -DVORTAN_HOST_BUILD="$host" -DVORTAN_BENCH=OFF \
      -DVORTAN_TESTS=$tests -DCMAKE_CROSSCOMPILING_EMULATOR=wine ${VORTAN_WIN_CMAKE_ARGS:-} >"$win/configure.log" 2>&1; then
  tail -30 "$win/configure.log"
  die "configuring the Windows build failed (log $win/configure.log)"
fi
say "building vortan.exe$( [ $tests = ON ] && echo ' and the Windows tests') in $win"
if ! nice -n 19 cmake --build "$win" -j"$jobs" >"$win/build.log" 2>&1; then
  grep -E -A3 "error|Error" "$win/build.log" | head -60
  die "the Windows build failed; the whole output is in $win/build.log"
fi
exe="$win/vortan.exe"

# Only Windows' own DLLs may be imported: everything else is linked in.
system_dlls=" kernel32.dll user32.dll gdi32.dll opengl32.dll glu32.dll msvcrt.dll winmm.dll ole32.dll
  oleaut32.dll imm32.dll version.dll setupapi.dll shell32.dll advapi32.dll comdlg32.dll comctl32.dll
  ws2_32.dll dinput8.dll uuid.dll hid.dll cfgmgr32.dll avrt.dll ksuser.dll dxguid.dll "
imports=$($triple-objdump -p "$exe" | awk '/DLL Name:/ {print tolower($3)}')
for dll in $imports; do
  case "$system_dlls" in *" $dll "*) ;; *) die "vortan.exe imports $dll, which Windows does not have" ;; esac
done
say "vortan.exe imports only Windows' own DLLs: $(echo $imports)"

# --- The release archive: vortan.exe, the show and a README.
dist="$here/dist"
stage="$win/package/vortan-win64"
rm -rf "$win/package"; mkdir -p "$stage" "$dist"
cp "$exe" "$stage/"
cp -r "$here/datas" "$stage/datas"
cat >"$stage/README.txt" <<'TEXT'
Vortan for Windows (64-bit)

Run vortan.exe from this folder: it plays datas\opal.qlo. A small dialog asks for the resolution,
full screen and vertical sync; Enter or "process_" starts the show, Esc quits. While it plays,
Esc or closing the window ends it.

From a command prompt in this folder:
  vortan.exe --no-dialog --resolution 1024x768      start at once
  vortan.exe --check                                check the script, open no window
  vortan.exe --capture C:\frames --fps 60           render every frame to PNG files and the
                                                    sound to soundtrack.wav
  vortan.exe --video show.mp4                       the same as an MP4 (needs ffmpeg.exe on PATH)
  vortan.exe debug                                  opens the debug console
  vortan.exe --help                                 every option

Every run leaves a trace log, _vor_.log, in this folder. Put your own show in datas\ (TGA
pictures, 3DS scenes, one music file) and name it in opal.qlo, or play another script with
--script PATH. No installation and no other DLL is needed.
TEXT
sed -i 's/$/\r/' "$stage/README.txt"
rm -f "$dist/vortan-win64.zip"
(cd "$win/package" && zip -qr "$dist/vortan-win64.zip" vortan-win64)
say "release archive: $dist/vortan-win64.zip"
