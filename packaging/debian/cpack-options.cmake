# Read by cpack before it builds the package (CPACK_PROJECT_CONFIG_FILE).
if(CPACK_GENERATOR STREQUAL "DEB")
  # Private libraries need no ldconfig: see file-private-libs.
  set(FILE_EXECUTABLE "${CPACK_QUILLON_PACKAGING_DIR}/file-private-libs")
endif()
