# Sourced by build-windows.sh: builds the Windows libraries as static ones from Debian's source
# packages into a cache outside the checkout, keyed by the source versions, the compiler and this
# file (so a change to the engine's own build does not rebuild them). Sets VORTAN_WIN_DEPS.
sources=(zlib libpng1.6 libjpeg-turbo glfw3 lib3ds libogg libvorbis flac opus libsndfile libsdl2
         libopenmpt googletest)
versions=""
for p in "${sources[@]}"; do
  v=$(apt-cache showsrc --only-source "$p" 2>/dev/null | awk '/^Version:/ {print $2}' | sort -V | tail -1)
  [ -n "$v" ] || die "no source package $p in the archive (is the deb-src entry there?)"
  versions+="$p=$v "
done
compiler=$($triple-g++-posix --version | head -1)
key=${VORTAN_WIN_DEPS_KEY:-}  # pinned by hand only while working on this script
[ -n "$key" ] || key=$( { echo "$versions"; echo "$compiler"; cat "$here/scripts/windows-deps.sh" "$here/cmake/mingw-w64-x86_64.cmake"; } \
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
  # The pkg-config files name this prefix: a cache moved here from elsewhere would send the build
  # to libraries that are not there.
  ! grep -h -E '^(prefix|exec_prefix|libdir|includedir)=/' "$deps"/lib/pkgconfig/*.pc | grep -v -F "=$deps" | grep -q .
}

# Unpacks a source package into $work/$1/tree: with Debian's patches when the archive has
# them, else the upstream tarball the source package names.
fetch() {
  local p=$1 d="$work/$1"
  [ -d "$d/tree" ] && return 0
  rm -rf "$d"; mkdir -p "$d"
  (cd "$d" && apt-get source --download-only --only-source -qq "$p" >"$work/$p.fetch.log" 2>&1) || true
  local dsc; dsc=$(ls "$d"/*.dsc 2>/dev/null | head -1)
  [ -n "$dsc" ] || { tail -20 "$work/$p.fetch.log"; die "apt-get source $p fetched nothing (log $work/$p.fetch.log)"; }
  if ! (cd "$d" && dpkg-source --no-check -x "$(basename "$dsc")" tree >/dev/null 2>&1); then
    local orig; orig=$(ls "$d"/*.orig.tar.* 2>/dev/null | grep -v '\.asc$' | head -1)
    [ -n "$orig" ] || die "no upstream tarball for $p"
    rm -rf "$d/tree"; mkdir -p "$d/tree"
    tar xf "$orig" -C "$d/tree" --strip-components=1
  fi
}

cflags="-O2 -DNDEBUG"
# A library with a CMake build: configured (again, over what an interrupted run left, so its
# objects are reused), built and installed into the prefix.
cmake_configure() {  # cmake_configure NAME cmake-options...
  local p=$1; shift
  local b="$work/$p/build"
  # A build folder configured under another path (a cache moved or copied) cannot be reused.
  if [ -f "$b/CMakeCache.txt" ] && ! grep -qx "CMAKE_CACHEFILE_DIR:INTERNAL=$b" "$b/CMakeCache.txt"; then
    rm -rf "$b"
  fi
  run cmake -S "$work/$p/tree" -B "$b" -G "Unix Makefiles" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_C_FLAGS_RELEASE="$cflags" -DCMAKE_CXX_FLAGS_RELEASE="$cflags" \
    -DCMAKE_INSTALL_PREFIX="$deps" -DCMAKE_PREFIX_PATH="$deps" -DBUILD_SHARED_LIBS=OFF \
    -DCMAKE_POLICY_DEFAULT_CMP0074=NEW "$@" >"$b.log" 2>&1 || { tail -30 "$b.log"; die "$p: configure failed (log $b.log)"; }
}
cmake_make() {  # cmake_make NAME [cmake --build options]
  local p=$1 b="$work/$1/build"; shift
  run cmake --build "$b" -j"$jobs" "$@" >>"$b.log" 2>&1 || { tail -30 "$b.log"; die "$p: build failed (log $b.log)"; }
}
cmake_dep() {  # cmake_dep NAME cmake-options...
  cmake_configure "$@"
  cmake_make "$1"
  run cmake --install "$work/$1/build" >>"$work/$1/build.log" 2>&1 || { tail -30 "$work/$1/build.log"; die "$1: install failed (log $work/$1/build.log)"; }
}

# Small C libraries with no configuration to speak of are compiled directly: zlib (Debian's
# tarball has no Windows makefile) and lib3ds (its 2007 configure does not know mingw-w64).
c_archive() {  # c_archive NAME LIBRARY FILES...
  local p=$1 lib=$2 o="$work/$1/obj"; shift 2
  rm -rf "$o"; mkdir -p "$o" "$deps/lib"
  for c in "$@"; do
    run $triple-gcc-posix $cflags -I"$work/$p/tree" -c "$c" -o "$o/$(basename "${c%.c}").o" \
      >>"$work/$p/build.log" 2>&1 || { tail -30 "$work/$p/build.log"; die "$p: $c failed (log $work/$p/build.log)"; }
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
build_libpng1.6() { cmake_dep libpng1.6 -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF -DZLIB_ROOT="$deps"; }
build_libjpeg-turbo() {
  # The library alone (its command-line tools are not needed), put in place by hand.
  local t="$work/libjpeg-turbo/tree" b="$work/libjpeg-turbo/build"
  cmake_configure libjpeg-turbo -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_TURBOJPEG=OFF -DWITH_JPEG8=OFF
  cmake_make libjpeg-turbo --target jpeg-static
  mkdir -p "$deps/lib" "$deps/include"
  cp "$b/libjpeg.a" "$deps/lib/"
  cp "$t/jpeglib.h" "$t/jmorecfg.h" "$t/jerror.h" "$b/jconfig.h" "$deps/include/"
}
build_glfw3() { cmake_dep glfw3 -DGLFW_BUILD_EXAMPLES=OFF -DGLFW_BUILD_TESTS=OFF -DGLFW_BUILD_DOCS=OFF; }
build_lib3ds() {
  c_archive lib3ds lib3ds.a "$work/lib3ds/tree"/lib3ds/*.c
  mkdir -p "$deps/include/lib3ds"
  cp "$work/lib3ds/tree"/lib3ds/*.h "$deps/include/lib3ds/"
}
build_libogg() { cmake_dep libogg -DINSTALL_DOCS=OFF -DBUILD_TESTING=OFF; }
build_libvorbis() { cmake_dep libvorbis -DOGG_ROOT="$deps"; }
build_flac() { cmake_dep flac -DBUILD_PROGRAMS=OFF -DBUILD_EXAMPLES=OFF -DBUILD_TESTING=OFF -DBUILD_DOCS=OFF \
                 -DINSTALL_MANPAGES=OFF -DBUILD_CXXLIBS=OFF -DWITH_OGG=ON -DWITH_STACK_PROTECTOR=OFF; }
# FLAC__NO_DLL: libsndfile's own FLAC search does not say that FLAC is the static library.
build_libsndfile() { cmake_dep libsndfile -DCMAKE_C_FLAGS=-DFLAC__NO_DLL -DBUILD_PROGRAMS=OFF -DBUILD_EXAMPLES=OFF -DBUILD_TESTING=OFF \
                       -DENABLE_EXTERNAL_LIBS=ON -DENABLE_MPEG=OFF -DENABLE_CPACK=OFF -DINSTALL_MANPAGES=OFF \
                       -DENABLE_PACKAGE_CONFIG=ON; }
build_libsdl2() {
  # The engine uses SDL for sound alone; the video part stays in, since the static library's
  # function table names its Windows functions.
  cmake_dep libsdl2 -DSDL_SHARED=OFF -DSDL_STATIC=ON -DSDL_TEST=OFF -DSDL_RENDER=OFF \
    -DSDL_JOYSTICK=OFF -DSDL_HAPTIC=OFF -DSDL_HIDAPI=OFF -DSDL_SENSOR=OFF -DSDL_POWER=OFF \
    -DSDL_LOCALE=OFF -DSDL_MISC=OFF -DSDL_FILE=ON -DSDL_LOADSO=ON -DSDL_CPUINFO=ON \
    -DSDL2_DISABLE_SDL2MAIN=ON
}
# A library with an autotools build (opus's CMake files are incomplete in its 1.3.1 tarball).
autotools_dep() {  # autotools_dep NAME configure-options...
  local p=$1 t="$work/$1/tree" b="$work/$1/build"; shift
  # A build folder that configure finished is kept, so an interrupted build goes on where it was.
  if [ ! -f "$b/config.status" ] || [ ! -f "$b/Makefile" ] || ! grep -qF "$t/configure" "$b/config.status"; then
    rm -rf "$b"; mkdir -p "$b"
  fi
  [ -f "$b/Makefile" ] || (cd "$b" && run "$t/configure" --host=$triple --prefix="$deps" --disable-shared --enable-static \
      CC=$triple-gcc-posix CXX=$triple-g++-posix CFLAGS="$cflags" CXXFLAGS="$cflags" \
      PKG_CONFIG_LIBDIR="$deps/lib/pkgconfig" "$@" >>"$b.log" 2>&1) || { tail -20 "$b.log"; die "$p: configure failed (log $b.log)"; }
  run make -C "$b" -j"$jobs" >>"$b.log" 2>&1 || { tail -30 "$b.log"; die "$p: build failed (log $b.log)"; }
  run make -C "$b" install >>"$b.log" 2>&1 || { tail -30 "$b.log"; die "$p: install failed (log $b.log)"; }
}
# Without _FORTIFY_SOURCE, whose checked memcpy mingw-w64 has only in libssp.
build_opus() { autotools_dep opus --disable-doc --disable-extra-programs --disable-stack-protector \
                 CFLAGS="$cflags -D_FORTIFY_SOURCE=0"; }
build_libopenmpt() {
  autotools_dep libopenmpt --disable-openmpt123 --disable-examples --disable-tests --disable-doxygen-doc \
    --without-mpg123 --without-ogg --without-vorbis --without-vorbisfile --without-zlib \
    --without-portaudio --without-portaudiocpp --without-pulseaudio --without-sndfile --without-flac
}
build_googletest() { cmake_dep googletest -DBUILD_GMOCK=ON -DINSTALL_GTEST=ON -Dgtest_disable_pthreads=OFF; }

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
