# Sourced by the Wine test scripts: the environment of the shared test prefix.
# Usage: . wine-env.sh STATE_DIR   (the folder the prefix fixture works in)
# Exports WINEPREFIX, WINELOADER, WINESERVER, WINEARCH, TW_WINE (the wine64 binary, or
# with TW_WINE_ARCH=win32 the 32-bit one),
# TW_WINE_DRIVE_C, LANG, WINEDLLOVERRIDES, WINEDEBUG and, once the fixture has
# started its X server, DISPLAY.

tw_wine_state=${1:?wine-env.sh: state folder missing}

# The test build runs under wine64, called directly: the `wine` wrapper would
# prefer wine32. TW_WINE_ARCH=win32 makes the prefix 32-bit, for the shipped PE32
# release, run by the 32-bit loader.
if [ "${TW_WINE_ARCH:-win64}" = win32 ]; then
  export TW_WINE=/usr/lib/wine/wine WINESERVER=/usr/lib/wine/wineserver32 WINEARCH=win32
else
  export TW_WINE=/usr/lib/wine/wine64 WINESERVER=/usr/lib/wine/wineserver64 WINEARCH=win64
fi
export WINELOADER=$TW_WINE
# The server is called directly: the wineserver wrapper script forces persistence 0.
export WINEPREFIX=$tw_wine_state/prefix
export TW_WINE_DRIVE_C=$WINEPREFIX/drive_c
# The prefix's code page follows the locale at wineboot and at every run: 936.
export LANG=zh_CN.UTF-8
unset LC_ALL LC_CTYPE LC_MESSAGES
# No Mono or Gecko installer dialog waiting for a click.
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEDEBUG=${WINEDEBUG:--all}
if [ -f "$tw_wine_state/display" ]; then
  DISPLAY=$(cat "$tw_wine_state/display")
  export DISPLAY
fi
