#!/usr/bin/env bash
# Fixture clean-up of the Wine tests: stops the prefix's wineserver (and with
# it every Wine process of the run) and the Xvfb display. The prefix itself
# stays for inspection until the next run's set-up replaces it.
# Usage: prefix-cleanup.sh STATE_DIR
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
state=${1:?usage: prefix-cleanup.sh STATE_DIR}
. "$here/wine-env.sh" "$state"

[ -d "$WINEPREFIX" ] && "$WINESERVER" -k >/dev/null 2>&1
if [ -f "$state/xvfb.pid" ]; then
  pid=$(cat "$state/xvfb.pid")
  # Only our own Xvfb: the pid file may be stale after a reboot.
  if [ "$(ps -o comm= -p "$pid" 2>/dev/null)" = "Xvfb" ]; then
    kill "$pid" 2>/dev/null
  fi
  rm -f "$state/xvfb.pid" "$state/display"
fi
exit 0
