#!/usr/bin/env bash
# Runs one Wine test in the shared prefix: STATE_DIR, then the command. A
# command whose first word ends in .exe runs under wine64; anything else (a
# script) runs as it is, with the prefix's environment (see wine-env.sh).
# Output goes through a file: Wine processes that outlive the test must not
# hold CTest's pipes open.
# Usage: run-wine-test.sh STATE_DIR COMMAND [ARG...]
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
state=${1:?usage: run-wine-test.sh STATE_DIR COMMAND [ARG...]}
shift
. "$here/wine-env.sh" "$state"
export TW_WINE_TOOLS=$here

log=$(mktemp "$state/test.XXXXXX.log")
case $1 in
  *.exe|*.EXE) "$TW_WINE" "$@" </dev/null >"$log" 2>&1 ;;
  *) "$@" </dev/null >"$log" 2>&1 ;;
esac
status=$?
cat "$log"
rm -f "$log"
exit $status
