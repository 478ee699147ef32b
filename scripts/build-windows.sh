#!/usr/bin/env bash
# Cross-builds vortan.exe for 64-bit Windows from Debian packages only: installs the mingw-w64
# toolchain and Wine, gets the Windows libraries (scripts/windows-deps.sh: static, from Debian's
# source packages, cached outside the checkout) and builds build-win64/vortan.exe against them;
# scripts/release.sh packs a show with it. VORTAN_WIN_DEPS_ONLY=1 stops after the libraries.
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

# --- The Windows libraries, from the cache or built into it.
. "$here/scripts/windows-deps.sh"
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
      -DVORTAN_TESTS=$tests -DCMAKE_CROSSCOMPILING_EMULATOR="$here/tests/windows/wine_run.sh" ${VORTAN_WIN_CMAKE_ARGS:-} >"$win/configure.log" 2>&1; then
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
system_dlls=" $(echo $system_dlls) "   # one space between names, for the match below
imports=$($triple-objdump -p "$exe" | awk '/DLL Name:/ {print tolower($3)}')
for dll in $imports; do
  case "$system_dlls" in *" $dll "*) ;; *) die "vortan.exe imports $dll, which Windows does not have" ;; esac
done
say "vortan.exe imports only Windows' own DLLs: $(echo $imports)"
say "built $exe (scripts/release.sh packs a show with it)"
