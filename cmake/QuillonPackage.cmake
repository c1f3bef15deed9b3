# Debian package of the installed tree (cpack -G DEB in a build folder):
# /usr/lib/quillon/ with the program, libvorlocomdlg.so and plugins/,
# /usr/bin/quillon linking to it, the desktop entry and the icons. The
# dependencies are Debian package names, found by dpkg-shlibdeps from the
# libraries each file links (Qt 6, libcurl, ...), plus xdg-utils, which
# opens downloaded files and links. TinyXML is built into each plugin.
set(CPACK_GENERATOR "DEB")
set(CPACK_PACKAGE_NAME "quillon")
set(CPACK_PACKAGE_VENDOR "Varnek Software")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Follows TV shows and fetches each new episode")
set(CPACK_PACKAGE_DESCRIPTION
  "Quillon watches a list of TV shows and, on a timer or when asked, searches index services (ezRSS, NZBIndex, Newzbin, NZBMatrix) for the next episode of each. A new NZB or torrent file is opened with its desktop handler or moved into a watch folder.")
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Varnek Software <quillon@localhost>")
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
include(CPack)
