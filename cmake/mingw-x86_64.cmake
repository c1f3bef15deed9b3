# Cross build for 64-bit Windows with mingw-w64; tests run under Wine.
set(QUILLON_MINGW_ARCH x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/MingwToolchain.cmake)
