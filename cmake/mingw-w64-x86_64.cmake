# Cross-build for 64-bit Windows with Debian's mingw-w64 (POSIX threads, for std::thread).
# VORTAN_WIN_DEPS (environment) names the prefix holding the static Windows libraries.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(VORTAN_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${VORTAN_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VORTAN_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${VORTAN_TRIPLE}-windres)
set(CMAKE_ASM_NASM_COMPILER nasm)

set(CMAKE_FIND_ROOT_PATH /usr/${VORTAN_TRIPLE} "$ENV{VORTAN_WIN_DEPS}")
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Static libraries only: pkg-config answers with their private dependencies too, and every
# program links the compiler's runtime in, so an .exe needs no DLL beyond Windows' own.
set(PKG_CONFIG_ARGN --static)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
# The prefix is to this build what /usr is to a native one: its headers and libraries are
# found without naming them (lib3ds has no pkg-config file).
if(NOT "$ENV{VORTAN_WIN_DEPS}" STREQUAL "")
  set(ENV{PKG_CONFIG_LIBDIR} "$ENV{VORTAN_WIN_DEPS}/lib/pkgconfig")
  set(ENV{PKG_CONFIG_PATH} "")
  set(CMAKE_C_STANDARD_INCLUDE_DIRECTORIES "$ENV{VORTAN_WIN_DEPS}/include")
  set(CMAKE_CXX_STANDARD_INCLUDE_DIRECTORIES "$ENV{VORTAN_WIN_DEPS}/include")
  string(APPEND CMAKE_EXE_LINKER_FLAGS_INIT " -L$ENV{VORTAN_WIN_DEPS}/lib")
endif()
