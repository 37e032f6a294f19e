# Wine tests (win64 flavour): tw_add_wine_test runs a test in the one Wine
# prefix of the test run.
#
#   tw_add_wine_test(NAME <name> COMMAND <command> [<arg>...]
#                    [TIMEOUT <seconds>] [WORKING_DIRECTORY <dir>]
#                    [ENVIRONMENT <var>=<value>...])
#
# A command whose first word ends in .exe (for example $<TARGET_FILE:driver>)
# is run under wine64; any other command (a script) is run as it is. Either way
# it finds in its environment:
#   WINEPREFIX, WINELOADER, WINESERVER  the prefix of this run and Wine's binaries
#   TW_WINE                             the wine64 binary, to start .exe files with
#   TW_WINE_DRIVE_C                     $WINEPREFIX/drive_c, C:\ as Linux sees it
#   DISPLAY                             the run's Xvfb display (1024x768x24)
#   LANG=zh_CN.UTF-8                    the prefix is zh-CN, code page 936
#   WINEDEBUG                           -all unless ENVIRONMENT sets it (for
#                                       example err+ntdll,-all shows the text
#                                       of NtDisplayString on stderr)
#   TW_WINE_SHOTS                       folder for screenshots (PNG) to keep
#   TW_WINE_TOOLS                       tests/wine, with wine-env.sh and helpers
#                                       ($TW_WINE_TOOLS/screenshot.sh NAME saves
#                                       the screen as $TW_WINE_SHOTS/NAME.png)
# The prefix is created fresh once per ctest run (fixture wine_prefix: wineboot
# -i in the zh_CN locale, a persistent wineserver, the desktop running); Wine
# tests run one at a time (resource lock "wine"); the run ends with
# wineserver -k and the display stopped. Tests share the prefix: remove what
# you lay out in drive_c and the registry, or use names no other test uses.
#
# Outside the win64 flavour the function does nothing, so callers need no guard.

set(TW_WINE_STATE_DIR ${CMAKE_BINARY_DIR}/wine)
set(TW_WINE_SHOTS_DIR ${CMAKE_BINARY_DIR}/wine-shots)
set(TW_WINE_TOOLS_DIR ${CMAKE_SOURCE_DIR}/tests/wine)

function(tw_add_wine_test)
  if(NOT TW_FLAVOUR STREQUAL "win64")
    return()
  endif()
  cmake_parse_arguments(ARG "" "NAME;TIMEOUT;WORKING_DIRECTORY" "COMMAND;ENVIRONMENT" ${ARGN})
  if(NOT ARG_NAME OR NOT ARG_COMMAND)
    message(FATAL_ERROR "tw_add_wine_test: NAME and COMMAND are required")
  endif()
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 120)
  endif()
  if(NOT ARG_WORKING_DIRECTORY)
    set(ARG_WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
  endif()
  file(MAKE_DIRECTORY ${TW_WINE_SHOTS_DIR})
  set(environment TW_WINE_SHOTS=${TW_WINE_SHOTS_DIR} ${ARG_ENVIRONMENT})
  add_test(NAME ${ARG_NAME}
           COMMAND ${TW_WINE_TOOLS_DIR}/run-wine-test.sh ${TW_WINE_STATE_DIR} ${ARG_COMMAND}
           WORKING_DIRECTORY ${ARG_WORKING_DIRECTORY})
  set_tests_properties(${ARG_NAME} PROPERTIES
    FIXTURES_REQUIRED wine_prefix
    RESOURCE_LOCK wine
    TIMEOUT ${ARG_TIMEOUT}
    LABELS wine
    ENVIRONMENT "${environment}")
endfunction()
