#!/usr/bin/env bash
# Fixture set-up of the Wine tests: a fresh prefix in STATE_DIR/prefix
# (zh_CN locale, code page 936), an Xvfb display on a free number and a
# persistent wineserver, all left running for the tests of this run.
# Usage: prefix-setup.sh STATE_DIR
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
state=${1:?usage: prefix-setup.sh STATE_DIR}

# Whatever a previous run left behind goes first.
"$here/prefix-cleanup.sh" "$state" >/dev/null 2>&1 || true
rm -rf "$state"
mkdir -p "$state"
. "$here/wine-env.sh" "$state"

# A display number is free when neither its lock file nor its socket exists;
# Xvfb may still lose a race for it, so a start that dies tries the next one.
started=
for number in $(seq 90 160); do
  [ -e "/tmp/.X$number-lock" ] || [ -e "/tmp/.X11-unix/X$number" ] && continue
  setsid Xvfb ":$number" -screen 0 1024x768x24 -nolisten tcp </dev/null >"$state/xvfb.log" 2>&1 &
  pid=$!
  for _ in $(seq 1 50); do
    [ -e "/tmp/.X11-unix/X$number" ] && break
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  if kill -0 "$pid" 2>/dev/null && [ -e "/tmp/.X11-unix/X$number" ]; then
    echo "$pid" >"$state/xvfb.pid"
    echo ":$number" >"$state/display"
    started=1
    break
  fi
done
[ -n "$started" ] || { echo "prefix-setup: no free X display" >&2; exit 1; }
export DISPLAY=$(cat "$state/display")

# A persistent server keeps the prefix's system processes (and the desktop
# with its notification area) alive between tests; its output stays out of
# CTest's pipes, which CTest would otherwise wait on.
mkdir -p "$WINEPREFIX"
setsid "$WINESERVER" -p </dev/null >"$state/wineserver.log" 2>&1
if ! "$TW_WINE" wineboot -i </dev/null >"$state/wineboot.log" 2>&1; then
  echo "prefix-setup: wineboot -i failed" >&2
  tail -20 "$state/wineboot.log" >&2
  exit 1
fi

# Unmanaged windows: with no window manager on the display, Wine would wait two
# seconds for every hidden or closed managed window to be withdrawn; unmanaged,
# it draws the caption and frame itself, so screenshots show them too.
"$TW_WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f </dev/null >/dev/null 2>&1
# The desktop process wineboot started read the old setting and keeps it; it
# goes with the server, which comes back persistent and starts a new desktop
# under the new setting the first time a program needs one.
"$WINESERVER" -k >/dev/null 2>&1
"$WINESERVER" -w >/dev/null 2>&1
setsid "$WINESERVER" -p </dev/null >>"$state/wineserver.log" 2>&1

# Debian's Wine looks for its own fonts beside, not in, /usr/share/wine/fonts, so
# the caption buttons, drawn with Marlett, would show the letters "0 1 r";
# the prefix's Fonts folder is always searched.
for marlett in /usr/share/wine/fonts/marlett.ttf /usr/lib/wine/fonts/marlett.ttf; do
  if [ -f "$marlett" ]; then
    cp "$marlett" "$WINEPREFIX/drive_c/windows/Fonts/"
    break
  fi
done

# Without the zh_CN.UTF-8 C library locale Wine quietly makes an en-US prefix.
if ! "$TW_WINE" reg query 'HKCU\Control Panel\International' /v LocaleName 2>/dev/null | grep -q 'zh-CN'; then
  echo "prefix-setup: the prefix is not zh-CN (is the zh_CN.UTF-8 locale generated? see scripts/setup)" >&2
  exit 1
fi
echo "prefix-setup: $WINEPREFIX on display $DISPLAY"
