# Sourced by the Wine test scripts: the environment of the shared test prefix.
# Usage: . wine-env.sh STATE_DIR   (the folder the prefix fixture works in)
# Exports WINEPREFIX, WINELOADER, WINESERVER, TW_WINE (the wine64 binary),
# TW_WINE_DRIVE_C, LANG, WINEDLLOVERRIDES, WINEDEBUG and, once the fixture has
# started its X server, DISPLAY.

tw_wine_state=${1:?wine-env.sh: state folder missing}

# wine32 cannot run on these kernels; the `wine` wrapper would prefer it.
export TW_WINE=/usr/lib/wine/wine64
export WINELOADER=$TW_WINE
# Called directly: the wineserver wrapper script forces persistence 0.
export WINESERVER=/usr/lib/wine/wineserver64
export WINEPREFIX=$tw_wine_state/prefix
export TW_WINE_DRIVE_C=$WINEPREFIX/drive_c
# The prefix's code page follows the locale at wineboot and at every run: 936.
export LANG=zh_CN.UTF-8
unset LC_ALL LC_CTYPE LC_MESSAGES
# No Mono or Gecko installer dialog waiting for a click.
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEDEBUG=${WINEDEBUG:--all}
export WINEARCH=win64
if [ -f "$tw_wine_state/display" ]; then
  DISPLAY=$(cat "$tw_wine_state/display")
  export DISPLAY
fi
