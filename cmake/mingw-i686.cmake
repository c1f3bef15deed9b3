# Cross build for 32-bit Windows with mingw-w64. Built, not run: 32-bit Wine
# needs 32-bit emulation in the kernel.
set(QUILLON_MINGW_ARCH i686)
include(${CMAKE_CURRENT_LIST_DIR}/MingwToolchain.cmake)
