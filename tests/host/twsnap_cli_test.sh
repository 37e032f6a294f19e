#!/usr/bin/env bash
# twsnap over snapshots that twboot takes of generated hives: the generator
# proven by hivexml, verify and list, extract, the user-hive request carried
# out by a twboot boot, restore-system with the hives' logs, the refusals, and
# the order in which the writes reach the disk.
# usage: twsnap_cli_test.sh TWSNAP TWBOOT MAKE_HIVE
set -u
twsnap=$1 twboot=$2 make_hive=$3
failures=0
check() {  # check DESCRIPTION EXPECTED ACTUAL
  if [ "$2" == "$3" ]; then echo "ok: $1"; else echo "FAIL: $1: expected [$2], got [$3]"; failures=$((failures + 1)); fi
}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
. "$(dirname "$0")/../../scripts/lib/sample-drive.sh"

# Hives proven by a reader we did not write: one bin, many bins, a dirty one.
for args in "8192" "200000" "20000 --dirty"; do
  $make_hive "$work/probe" $args
  hivexml "$work/probe" >/dev/null 2>&1
  check "hivexml reads a generated hive ($args)" 0 $?
done

drive=$work/c win=$work/c/WINDOWS
make_sample_drive "$drive" 0 0 0 0
config=$win/system32/config user="$drive/Documents and Settings/Administrator"
$make_hive "$config/system" 40000 && $make_hive "$config/software" 90000
$make_hive "$config/SAM" 8192 --dirty && $make_hive "$user/NTUSER.DAT" 16384
$twboot --drive "$drive" --date 2026-03-01 >/dev/null
cp "$user/NTUSER.DAT" "$work/user-0301"
cp "$win/twsafe/20260301.xff" "$win/twsafe/11111111.xff"  # the installation snapshot
$make_hive "$user/NTUSER.DAT" 24576
$twboot --drive "$drive" --date 2026-03-02 >/dev/null
snap() { "$twsnap" --drive "$drive" --quiet "$@"; }
# snap under strace, its fsync and renameat calls into $work/trace (the leak
# check of an AddressSanitizer build cannot run under ptrace).
traced() {
  ASAN_OPTIONS=detect_leaks=0 strace -f -e trace=fsync,renameat -o "$work/trace" "$twsnap" --drive "$drive" --quiet "$@"
}
syscalls() { grep -oE '(fsync|renameat)\(' "$work/trace" | tr -d '(' | xargs; }

# verify: sound snapshots pass, the dirty SAM is a warning, the template's
# placeholders are no snapshots, and a file the index does not name is found.
cp "$win/twsafe/20260301.xff" "$win/twsafe/20250101.xff"
snap verify --all >"$work/out" 2>&1
check "verify --all exit status" 0 $?
check "verify --all summary" "checked 4 snapshots: 4 sound, 0 damaged, 4 dirty, 0 missing, 1 not in the index" \
  "$(tail -1 "$work/out")"
check "dirty section named" 4 "$(grep -c 'warning: section sam is dirty' "$work/out")"
check "unnamed snapshot reported" 1 "$(grep -c '^20250101.xff: not named by the index' "$work/out")"
snap list >"$work/out"
check "list: day 2 in slot 1" "1 top 2026-3-2 0 1 20260302.xff 164864 40960 90112 8192 24576" \
  "$(sed -n 3p "$work/out" | tr -s ' ' | sed 's/^ //;s/ $//')"
check "list: placeholders" 15 "$(grep -c '(template placeholder)' "$work/out")"
check "list: nothing missing" 0 "$(grep -c MISSING "$work/out")"

# Damaged copies fail with their reason; the intact days still pass.
cp "$win/twsafe/20260301.xff" "$work/good.xff"
head -c 5000 "$work/good.xff" >"$work/cut.xff"
snap verify "$work/cut.xff" >"$work/out"
check "truncated copy fails" "1 $work/cut.xff: DAMAGED: system: section size overruns the file" "$? $(cat "$work/out")"
printf '4096x' | dd of="$work/good.xff" conv=notrunc status=none
snap verify "$work/good.xff" 2026-3-2 >"$work/out"
check "non-digit header fails" "1 $work/good.xff: DAMAGED: system: section header is not a decimal size" \
  "$? $(head -1 "$work/out")"
check "the day named beside it passes" "20260302.xff: ok" "$(sed -n 2p "$work/out")"
snap verify 2026-3-9 >"$work/out"
check "a day without a snapshot" "1 20260309.xff: MISSING" "$? $(cat "$work/out")"
snap verify 2026-13 >/dev/null 2>&1
check "not a day: usage error" 2 $?

# extract: the source hive again, readable by hivexml; refusals.
snap extract 2026-03-01 user "$work/user.hive"
check "extract exit status" 0 $?
cmp -s "$work/user.hive" "$work/user-0301"
check "extract gives the source hive" 0 $?
hivexml "$work/user.hive" >/dev/null 2>&1
check "hivexml reads the extracted hive" 0 $?
snap extract 20260301 user "$work/user.hive" 2>/dev/null
check "existing output refused" 2 $?
snap extract --force 20260301.xff sam "$work/user.hive"
check "--force replaces it" 0 $?
ln -s "$win/twsafe" "$work/store"
snap extract 2026-3-1 user "$work/store/x.hive" 2>/dev/null
check "output through a link into the snapshot folder refused" "2 no" "$? $([ -e "$win/twsafe/x.hive" ] && echo yes || echo no)"

# prepare-restore, then a boot: the day's user hive is in place. The hive is
# synced before its rename, its folder after it, the settings file last.
traced prepare-restore 2026-3-1 >/dev/null 2>&1
check "prepare-restore exit status" 0 $?
check "syncs around the rename" "fsync renameat fsync fsync" "$(syscalls)"
check "flags set" "IsRepair=111 SignRun=111" "$(tr '\0' '\n' <"$win/wispdata.dat" | grep -aE '^(IsRepair|SignRun)=' | xargs)"
$twboot --drive "$drive" --date 2026-03-03 >/dev/null
cmp -s "$user/NTUSER.DAT" "$work/user-0301"
check "the boot put the day's user hive in place" 0 $?
snap prepare-undo >/dev/null
check "prepare-undo" "IsRepair=222 SignRun=222" "$(tr '\0' '\n' <"$win/wispdata.dat" | grep -aE '^(IsRepair|SignRun)=' | xargs)"

# No link beneath the Windows folder is followed, as twboot follows none: a
# snapshot and a temp folder that lead out of the drive count as missing.
outside=$work/outside
mkdir -p "$outside/temp"
cp "$win/twsafe/20260302.xff" "$outside/20260305.xff"
ln -s "$outside/20260305.xff" "$win/twsafe/20260305.xff"
snap verify 2026-3-5 >"$work/out"
check "a snapshot that is a link is not read" "1 20260305.xff: MISSING" "$? $(cat "$work/out")"
mv "$win/temp" "$work/temp-real" && ln -s "$outside/temp" "$win/temp"
snap prepare-restore 2026-3-2 >/dev/null 2>&1
check "a temp folder that is a link is not written" "1 0" "$? $(ls "$outside/temp" | wc -l)"
check "flags unchanged" "IsRepair=222 SignRun=222" "$(tr '\0' '\n' <"$win/wispdata.dat" | grep -aE '^(IsRepair|SignRun)=' | xargs)"
rm "$win/temp" "$win/twsafe/20260305.xff" && mv "$work/temp-real" "$win/temp"

# restore-system: a damaged section, or sections swapped, leaves every hive
# and log untouched; a sound one replaces all three, keeps the old ones, moves
# the logs of the replaced hives aside with them, and the new ones verify.
printf 'system log' >"$config/system.LOG" && printf 'software log' >"$config/SOFTWARE.LOG"
sum() { cat "$config/system" "$config/software" "$config/SAM" "$config/system.LOG" "$config/SOFTWARE.LOG" | md5sum; }
before=$(sum)
cp "$win/twsafe/20260302.xff" "$work/bad.xff"
printf 'X' | dd of="$work/bad.xff" bs=1 seek=$((256 + 40960 + 256 + 4096 + 4096)) conv=notrunc status=none
snap restore-system "$work/bad.xff" >/dev/null 2>"$work/err"
check "damaged software section refused" "1 1" "$? $(grep -c 'software: damaged: broken hive-bin chain' "$work/err")"
python3 - "$win/twsafe/20260302.xff" "$work/swapped.xff" <<'PY'
import sys
data = open(sys.argv[1], "rb").read()
sections, at = [], 0
for _ in range(4):
    length = int(data[at:at + 256].rstrip(b"\0"))
    sections.append(data[at:at + 256 + length])
    at += 256 + length
open(sys.argv[2], "wb").write(b"".join([sections[1], sections[0]] + sections[2:]))
PY
snap restore-system "$work/swapped.xff" >/dev/null 2>"$work/err"
check "system and software sections swapped: refused" "1 1" "$? $(grep -c 'system: damaged: holds another hive' "$work/err")"
check "hives and logs untouched" "$before" "$(sum)"
check "nothing left beside them" 5 "$(ls "$config" | wc -l)"
traced restore-system 2026-3-1 >"$work/out" 2>/dev/null
check "restore-system exit status" 0 $?
check "kept copies" 3 "$(ls "$config" | grep -c '\.twsnap-[0-9]\{8\}-[0-9]\{6\}$')"
check "logs moved aside with their hives" "system log|software log" \
  "$(cat "$config"/system.twsnap-*.LOG)|$(cat "$config"/software.twsnap-*.LOG)"
check "no log left beside a new hive" 0 "$(ls "$config" | grep -ci '^[a-z]*\.log$')"
check "the moves are named" 2 "$(grep -c '^moved its log aside to .*\.twsnap-.*\.LOG$' "$work/out")"
check "every rename followed by a folder sync" "" "$(syscalls | grep -oE 'renameat (renameat|$)')"
"$twsnap" --drive "$drive" verify "$config/system" "$config/software" "$config/SAM" >"$work/out"
check "replaced hives verify" 0 $?
cmp -s "$config/system" <(tail -c +257 "$win/twsafe/20260301.xff" | head -c 40960)
check "system hive is the day's" 0 $?

echo "$failures failed"
[ "$failures" -eq 0 ]
