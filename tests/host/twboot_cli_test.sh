#!/usr/bin/env bash
# twboot's command line: usage errors, and one boot of an installation whose
# names are spelled in other cases than the program asks for.
set -u
twboot=$1
failures=0
check() {  # check DESCRIPTION EXPECTED ACTUAL
  if [ "$2" == "$3" ]; then echo "ok: $1"; else echo "FAIL: $1: expected [$2], got [$3]"; failures=$((failures + 1)); fi
}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

for args in "" "--drive" "--drive $work --bogus" "--drive $work --date 2026-02-29" \
            "--drive $work --date 2026-13-01" "--drive $work --date 26-1-1" "--drive $work/missing"; do
  "$twboot" $args >"$work/out" 2>"$work/err"
  check "exit status for [$args]" 2 $?
  check "usage line for [$args]" 1 "$(grep -c '^usage: twboot --drive DIR' "$work/err")"
  check "nothing on stdout for [$args]" "" "$(cat "$work/out")"
done

# An XP partition as a rescue system might mount it: lower-case Windows folder,
# upper-case hive names, settings naming the profile folder in its own case.
drive=$work/c
mkdir -p "$drive/windows/SYSTEM32/CONFIG" "$drive/windows/TwSafe" "$drive/Documents and Settings/Zhang San"
printf 'system' >"$drive/windows/SYSTEM32/CONFIG/SYSTEM"
printf 'software' >"$drive/windows/SYSTEM32/CONFIG/SOFTWARE"
printf 'sam' >"$drive/windows/SYSTEM32/CONFIG/SAM"
printf 'user' >"$drive/Documents and Settings/Zhang San/ntuser.dat"
slot() { printf '%s' "$1"; head -c $((100 - ${#1})) /dev/zero; }
{ slot "IndexNum=1"; slot 'userpath=\??\C:\documents*and*settings\ZHANG*SAN'; } >"$drive/windows/WISPDATA.DAT"
{ slot "IndexNum=1"; slot "$(printf '1111-11-11\t0\t1')"; for i in $(seq 2 30); do slot "$(printf '1000-1-%d\t0\t0' "$i")"; done; } \
  >"$drive/windows/TwSafe/BKINFO.DAT"

"$twboot" --drive "$drive" --date 2026-02-28 >"$work/out" 2>"$work/err"
check "boot exit status" 0 $?
check "boot console" "" "$(cat "$work/out" "$work/err")"
check "snapshot size" $((1024 + 6 + 8 + 3 + 4)) "$(stat -c %s "$drive/windows/TwSafe/20260228.xff" 2>/dev/null)"
check "index line" "$(printf '2026-2-28\t0\t1')" "$(dd if="$drive/windows/TwSafe/BKINFO.DAT" bs=100 skip=1 count=1 2>/dev/null | tr -d '\0')"

rm "$drive/windows/WISPDATA.DAT"
"$twboot" --drive="$drive" --systemroot="$drive/windows" --date=2026-03-01 >"$work/out" 2>"$work/err"
check "boot without settings exits 0" 0 $?
check "boot without settings says so" "Open IniFile Error" "$(cat "$work/out")"
"$twboot" --drive "$drive" --date 2026-03-01 --boot-options "FASTDETECT TWRESTORE" >"$work/out" 2>"$work/err"
check "restore at boot without settings says why" "Restore at boot: no settings, nothing restored" "$(tail -1 "$work/out")"

echo "$failures failed"
[ "$failures" -eq 0 ]
