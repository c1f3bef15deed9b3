# Points the Wine prefix's windows at the X display when there is one, else at
# Wine's null graphics driver, where windows exist and take messages without
# being drawn. Takes effect for the next Wine session that opens a window.
#   cmake -DWINE=... -P WineGraphicsDriver.cmake   (WINEPREFIX from the environment)
if(DEFINED ENV{DISPLAY} AND NOT "$ENV{DISPLAY}" STREQUAL "")
  set(_driver x11)
else()
  set(_driver null)
endif()
execute_process(
  COMMAND ${WINE} reg add "HKCU\\Software\\Wine\\Drivers" /v Graphics /d ${_driver} /f
  RESULT_VARIABLE _result OUTPUT_QUIET ERROR_QUIET)
if(NOT _result EQUAL 0)
  message(FATAL_ERROR "cannot set Wine's graphics driver: ${_result}")
endif()
