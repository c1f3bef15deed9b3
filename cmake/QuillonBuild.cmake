# Project-wide compiler settings: warnings, sanitizers and small helpers that the
# sub-projects share.

set(QUILLON_WARNINGS -Wall -Wextra)

# Times are 64-bit seconds everywhere. 32-bit targets default to a 32-bit
# time_t (glibc without _TIME_BITS, i686 mingw without the VC2005 switch),
# which would end in 2038; vorlo/platform.h refuses to build with one.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  if(WIN32)
    add_compile_definitions(__MINGW_USE_VC2005_COMPAT)
  else()
    add_compile_definitions(_FILE_OFFSET_BITS=64 _TIME_BITS=64)
  endif()
endif()

if(QUILLON_SANITIZE)
  set(_san_flags -fsanitize=${QUILLON_SANITIZE} -fno-omit-frame-pointer)
  if(QUILLON_SANITIZE MATCHES "undefined")
    list(APPEND _san_flags -fno-sanitize-recover=undefined)
  endif()
  add_compile_options(${_san_flags})
  add_link_options(${_san_flags})
  message(STATUS "Quillon: building with -fsanitize=${QUILLON_SANITIZE}")
endif()

# Adds the project's warning flags to a target (third-party code is not built
# by the project, so every target the project defines gets them).
function(quillon_warnings target)
  target_compile_options(${target} PRIVATE ${QUILLON_WARNINGS})
endfunction()

# Calls add_subdirectory() for every direct sub-folder of DIR that has a
# CMakeLists.txt, in name order. Lets modules, plugins and test suites be added
# without editing a shared list.
function(quillon_add_subdirs dir)
  file(GLOB _children LIST_DIRECTORIES true RELATIVE ${dir} ${dir}/*)
  list(SORT _children)
  foreach(_child IN LISTS _children)
    if(IS_DIRECTORY ${dir}/${_child} AND EXISTS ${dir}/${_child}/CMakeLists.txt)
      add_subdirectory(${dir}/${_child})
    endif()
  endforeach()
endfunction()

# Fuzz builds (clang only): every target is compiled with coverage
# instrumentation for libFuzzer and with AddressSanitizer and
# UndefinedBehaviorSanitizer, so that the support library's code that the
# fuzz targets link is both explored and checked.
set(QUILLON_FUZZ_ENABLED OFF)
if(QUILLON_FUZZ)
  if(CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    set(QUILLON_FUZZ_ENABLED ON)
    add_compile_options(-fsanitize=fuzzer-no-link,address,undefined
                        -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
    add_link_options(-fsanitize=address,undefined)
    message(STATUS "Quillon: fuzz build (libFuzzer, address, undefined)")
  else()
    message(WARNING "QUILLON_FUZZ needs clang; the fuzz targets are not built")
  endif()
endif()

# The Windows version resource (src/win32/version.rc) for a target whose .rc
# includes it: quillon_version.h gives the project's version as the resource
# wants it (1.04: numbers 1,4,0,0, text "1.04").
function(quillon_version_resource target)
  math(EXPR minor "${PROJECT_VERSION_MINOR} + 0")
  set(header ${PROJECT_BINARY_DIR}/generated/quillon_version.h)
  file(CONFIGURE OUTPUT ${header} CONTENT
"#define QUILLON_VERSION_NUMBERS ${PROJECT_VERSION_MAJOR},${minor},0,0
#define QUILLON_VERSION_STRING \"${PROJECT_VERSION}\"
")
  target_include_directories(${target} PRIVATE ${PROJECT_BINARY_DIR}/generated
                                               ${PROJECT_SOURCE_DIR}/src/win32)
endfunction()
