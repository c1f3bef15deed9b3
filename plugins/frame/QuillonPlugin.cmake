# quillon_add_plugin(name SOURCES a.cpp ... [LIBS lib ...])
# Builds a plugin library: a MODULE named exactly `name`.so (`name`.dll on
# Windows; no "lib" prefix) in the plugin folder of the build tree, linked
# privately with the plugin frame and its own copy of vorlo, exporting
# nothing but QLN_NumPlugins and QLN_GetPlugin.
include_guard(GLOBAL)

# Cross builds take TinyXML from the third-party prefix of the toolchain
# file (scripts/windows-deps fills it), whether or not pkg-config is told
# about it there.
if(NOT TARGET PkgConfig::QLN_TINYXML AND NOT (CMAKE_CROSSCOMPILING AND QUILLON_WIN_PREFIX))
  pkg_check_modules(QLN_TINYXML REQUIRED IMPORTED_TARGET GLOBAL tinyxml)
endif()

# Each plugin carries its own private copy of TinyXML: Debian's static
# archive, linked into the plugin and hidden there by --exclude-libs,ALL, so
# that no two plugins share the parser's code or its global settings and no
# plugin needs libtinyxml at run time.
if(NOT TARGET qln_tinyxml)
  if(CMAKE_CROSSCOMPILING AND QUILLON_WIN_PREFIX)
    find_library(QLN_TINYXML_ARCHIVE NAMES libtinyxml.a PATHS ${QUILLON_WIN_PREFIX}/lib
                 NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH REQUIRED)
    find_path(QLN_TINYXML_INCLUDE_DIRS tinyxml.h PATHS ${QUILLON_WIN_PREFIX}/include
              NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH REQUIRED)
  else()
    find_library(QLN_TINYXML_ARCHIVE NAMES libtinyxml.a HINTS ${QLN_TINYXML_LIBRARY_DIRS} REQUIRED)
  endif()
  add_library(qln_tinyxml STATIC IMPORTED GLOBAL)
  set_target_properties(qln_tinyxml PROPERTIES
    IMPORTED_LOCATION "${QLN_TINYXML_ARCHIVE}"
    INTERFACE_INCLUDE_DIRECTORIES "${QLN_TINYXML_INCLUDE_DIRS}")
endif()

function(quillon_add_plugin name)
  cmake_parse_arguments(P "" "" "SOURCES;LIBS" ${ARGN})
  set(map ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/plugin-exports.map)
  add_library(${name} MODULE ${P_SOURCES})
  target_link_libraries(${name} PRIVATE qln_frame vorlo ${P_LIBS})
  set_target_properties(${name} PROPERTIES
    PREFIX ""
    OUTPUT_NAME ${name}
    LIBRARY_OUTPUT_DIRECTORY ${QUILLON_PLUGIN_DIR}
    CXX_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON)
  # Windows DLLs export only what is marked QLN_EXPORT (__declspec(dllexport));
  # elsewhere the version script keeps every other symbol local.
  if(WIN32)
    target_link_options(${name} PRIVATE -Wl,--exclude-libs,ALL)
  else()
    set_target_properties(${name} PROPERTIES LINK_DEPENDS ${map})
    target_link_options(${name} PRIVATE
      -Wl,--version-script=${map}
      -Wl,--exclude-libs,ALL)
  endif()
  quillon_warnings(${name})
  # Installed as a target, so that an install with --strip (and the Debian
  # package) strips it as it does the program.
  if(NOT WIN32)
    install(TARGETS ${name} LIBRARY DESTINATION ${QUILLON_INSTALL_DIR}/plugins)
  endif()
endfunction()
