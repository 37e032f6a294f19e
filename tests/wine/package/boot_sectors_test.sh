#!/usr/bin/env bash
# Boots the package's two boot sectors in QEMU and reads what each prints on
# the first serial port (they print there as well as on the screen).
# Usage: boot_sectors_test.sh KEST_FOLDER. Exit 77 (skipped) without QEMU.
set -uo pipefail
kest=${1:?usage: boot_sectors_test.sh KEST_FOLDER}
if ! command -v qemu-system-i386 >/dev/null; then
  echo "SKIP: qemu-system-i386 is missing (scripts/setup installs qemu-system-x86)"
  exit 77
fi

failures=0
# boot FILE EXPECTED...: every expected text must appear within the time-out.
boot() {
  local file=$1 out
  shift
  out=$(timeout 5 qemu-system-i386 -drive "format=raw,file=$kest/$file,snapshot=on" -boot order=c \
          -display none -monitor none -serial stdio 2>/dev/null | tr -d '\r')
  for expected in "$@"; do
    if grep -qF -- "$expected" <<<"$out"; then
      echo "ok: $file prints \"$expected\""
    else
      echo "FAIL: $file does not print \"$expected\"; it printed:"
      echo "$out"
      failures=$((failures + 1))
    fi
  done
}

boot WRLDR "the Tarwen repair environment is not on this machine" "'Snapshots and restore'" "use twsnap" \
  "Press any key to restart" "boot menu"
boot BOOTSECT.cdr "starting from the CD drive"
echo "$failures failure(s)"
[ "$failures" -eq 0 ]
