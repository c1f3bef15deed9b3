# Debian package of the installed tree (cpack -G DEB in a build folder):
# /usr/lib/quillon/ with the program, libvorlocomdlg.so and plugins/,
# /usr/bin/quillon linking to it, the desktop entry and the icons. The
# dependencies are Debian package names, found by dpkg-shlibdeps from the
# libraries each file links (Qt 6, libcurl, ...), plus xdg-utils, which
# opens downloaded files and links. TinyXML is built into each plugin.
# The documents every install carries: the manual page, the licence and the
# third-party notices; the Debian package adds its copyright file, its
# changelog and the lintian override for the embedded TinyXML.
include(GNUInstallDirs)
find_program(QUILLON_GZIP gzip REQUIRED)
set(_doc_out ${CMAKE_BINARY_DIR}/doc)
file(MAKE_DIRECTORY ${_doc_out})
# gzip -9n: the best compression and no name or time stamp in the header.
foreach(_doc quillon.1:${PROJECT_SOURCE_DIR}/docs/quillon.1
             changelog:${PROJECT_SOURCE_DIR}/packaging/debian/changelog)
  string(REPLACE ":" ";" _pair "${_doc}")
  list(GET _pair 0 _name)
  list(GET _pair 1 _source)
  add_custom_command(OUTPUT ${_doc_out}/${_name}.gz
    COMMAND ${QUILLON_GZIP} -9nc ${_source} > ${_doc_out}/${_name}.gz
    DEPENDS ${_source} VERBATIM)
  list(APPEND _doc_outputs ${_doc_out}/${_name}.gz)
endforeach()
add_custom_target(quillon_docs ALL DEPENDS ${_doc_outputs})
install(FILES ${_doc_out}/quillon.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE ${PROJECT_SOURCE_DIR}/THIRD-PARTY-NOTICES.txt
  DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/quillon)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/debian/copyright ${_doc_out}/changelog.gz
  DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/quillon)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/debian/lintian-overrides
  DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME quillon)

set(CPACK_GENERATOR "DEB")
set(CPACK_PACKAGE_NAME "quillon")
set(CPACK_PACKAGE_VENDOR "Varnek Software")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Follows TV shows and fetches each new episode")
# The extended description below the summary, in lines of at most 80
# characters; CPack indents them as the control file asks.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Quillon watches a list of TV shows and, on a timer or when asked, searches
index services (Newznab and Torznab indexers, ezRSS, NZBIndex, Newzbin,
NZBMatrix) for the next episode of each. A new NZB or torrent file is opened
with its desktop handler or moved into a watch folder.")
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Quillon Developers <quillon-dev@quillon.example>")
set(CPACK_DEBIAN_PACKAGE_SECTION "net")
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
set(CPACK_DEBIAN_PACKAGE_DEPENDS "xdg-utils")
set(CPACK_STRIP_FILES ON)
find_program(QUILLON_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(QUILLON_DPKG_SHLIBDEPS)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  # libvorlocomdlg.so ships in the package itself.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS "${CMAKE_BINARY_DIR}/bin")
else()
  set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "libqt6widgets6, libqt6gui6, libqt6core6, libcurl4, libstdc++6, libc6, xdg-utils")
endif()
set(CPACK_QUILLON_PACKAGING_DIR "${PROJECT_SOURCE_DIR}/packaging/debian")
set(CPACK_PROJECT_CONFIG_FILE "${PROJECT_SOURCE_DIR}/packaging/debian/cpack-options.cmake")
include(CPack)
