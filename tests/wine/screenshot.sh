#!/usr/bin/env bash
# Saves the whole Xvfb screen of the test run as $TW_WINE_SHOTS/NAME.png, for
# people to look at. Usage (inside a Wine test): screenshot.sh NAME
set -euo pipefail
name=${1:?usage: screenshot.sh NAME}
folder=${TW_WINE_SHOTS:-.}
mkdir -p "$folder"
xwd -root -silent -display "${DISPLAY:?no DISPLAY}" | convert xwd:- "$folder/$name.png"
echo "$folder/$name.png"
