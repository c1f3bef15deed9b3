# 32-bit Linux build (g++ -m32, from g++-multilib) of the support library and
# its suites (-DQUILLON_PARTS=support): checks the 32-bit layouts and the
# tracker's alignment. GoogleTest comes from the prefix that
# `scripts/windows-deps linux-m32` fills ($QUILLON_WIN_PREFIX, else
# ~/.cache/quillon-win/i686-linux-gnu).
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER gcc)
set(CMAKE_CXX_COMPILER g++)
set(CMAKE_C_FLAGS_INIT -m32)
set(CMAKE_CXX_FLAGS_INIT -m32)
set(CMAKE_EXE_LINKER_FLAGS_INIT -m32)
set(CMAKE_SHARED_LINKER_FLAGS_INIT -m32)
set(CMAKE_LIBRARY_ARCHITECTURE i386-linux-gnu)
set(FIND_LIBRARY_USE_LIB32_PATHS ON)

if(DEFINED ENV{QUILLON_WIN_PREFIX})
  set(_prefix $ENV{QUILLON_WIN_PREFIX})
elseif(DEFINED ENV{QUILLON_WIN_CACHE})
  set(_prefix $ENV{QUILLON_WIN_CACHE}/i686-linux-gnu)
else()
  set(_prefix $ENV{HOME}/.cache/quillon-win/i686-linux-gnu)
endif()
# Only the 32-bit prefix is searched for packages: the build machine's
# GoogleTest is 64-bit.
set(CMAKE_FIND_ROOT_PATH ${_prefix})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY BOTH)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE BOTH)
set(CMAKE_PREFIX_PATH ${_prefix})
