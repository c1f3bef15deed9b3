# Shared part of the mingw-w64 toolchain files (cmake/mingw-<arch>.cmake set
# QUILLON_MINGW_ARCH and include this). Uses Debian's -posix compilers (the
# -win32 ones have no std::mutex), links everything statically so no runtime
# DLL has to travel with the programs, and runs test programs under Wine.
#
# Third-party libraries (libcurl, TinyXML, GoogleTest) come from the prefix
# that scripts/windows-deps fills: $QUILLON_WIN_PREFIX, else
# ~/.cache/quillon-win/<triple>.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${QUILLON_MINGW_ARCH})
set(_triple ${QUILLON_MINGW_ARCH}-w64-mingw32)

set(CMAKE_C_COMPILER ${_triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${_triple}-g++-posix)
set(CMAKE_RC_COMPILER ${_triple}-windres)

if(DEFINED ENV{QUILLON_WIN_PREFIX})
  set(QUILLON_WIN_PREFIX $ENV{QUILLON_WIN_PREFIX})
elseif(DEFINED ENV{QUILLON_WIN_CACHE})
  set(QUILLON_WIN_PREFIX $ENV{QUILLON_WIN_CACHE}/${_triple})
else()
  set(QUILLON_WIN_PREFIX $ENV{HOME}/.cache/quillon-win/${_triple})
endif()

set(CMAKE_FIND_ROOT_PATH /usr/${_triple} ${QUILLON_WIN_PREFIX})
set(CMAKE_PREFIX_PATH ${QUILLON_WIN_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# pkg-config must see only the cross prefix, never the build machine's files.
set(ENV{PKG_CONFIG_LIBDIR} ${QUILLON_WIN_PREFIX}/lib/pkgconfig:/usr/${_triple}/lib/pkgconfig)
set(ENV{PKG_CONFIG_PATH} "")

set(CMAKE_EXE_LINKER_FLAGS_INIT -static)
set(CMAKE_SHARED_LINKER_FLAGS_INIT -static)
set(CMAKE_MODULE_LINKER_FLAGS_INIT -static)

# Wine's 64-bit loader; a persistent `wineserver -p` keeps each start cheap.
if(QUILLON_MINGW_ARCH STREQUAL "x86_64")
  set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine64)
endif()
