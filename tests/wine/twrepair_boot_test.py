#!/usr/bin/env python3
"""twrepair.exe under Wine, on the prefix's C: drive laid out as an installed machine.

Usage: twrepair_boot_test.py TWREPAIR_WINE_EXE  (run through run-wine-test.sh)
"""
import datetime
import os
import re
import shutil
import struct
import subprocess
import sys
import unittest

from test_files import read, write

EXE = None
DRIVE_C = os.environ.get("TW_WINE_DRIVE_C", "")
WINDOWS = os.path.join(DRIVE_C, "windows")
TWSAFE = os.path.join(WINDOWS, "twsafe")
CONFIG = os.path.join(WINDOWS, "system32", "config")
SETTINGS = os.path.join(WINDOWS, "wispdata.dat")
INDEX = os.path.join(TWSAFE, "bkinfo.dat")
HIVE_TO_RESTORE = os.path.join(WINDOWS, "temp", "TWXT04.XFF")
SOFTWARE_TO_RESTORE = os.path.join(WINDOWS, "temp", "TWSW04.XFF")
# A profile folder with spaces and a Chinese name: userpath stores the spaces
# as "*" and the name in code page 936, so both the asterisk rule and the
# widening of cp936 text have to work for the user hive to be found.
PROFILE_ROOT = os.path.join(DRIVE_C, "Documents and Settings")
PROFILE = os.path.join(PROFILE_ROOT, "管理员")
USERPATH = "\\??\\C:\\Documents*and*Settings\\管理员"

SLOT = 100
INSTALL_LINE = "1111-11-11\t0\t1"
CARRY_LINES = ["1000-1-%d\t0\t0" % k for k in range(16, 31)]

# Distinct sizes: a remainder chunk, an exact multiple of the 1024-byte chunk,
# a small file and one of several chunks.
HIVES = {
    "system": bytes((i * 7 + 1) % 251 for i in range(5000)),
    "software": bytes((i * 13 + 2) % 253 for i in range(2048)),
    "SAM": bytes((i * 3 + 5) % 241 for i in range(700)),
}
NTUSER = bytes((i * 11 + 9) % 239 for i in range(3333))
USER_LOG = b"log of the user's hive"


def hive(bins):
    """A hive the boot-time program accepts: a base block with "regf", its
    checksum and the data size of `bins` bins of 4 KiB, each one free cell."""
    base = bytearray(4096)
    struct.pack_into("<4sIIQIIIIII", base, 0, b"regf", 1, 1, 0, 1, 3, 0, 1, 32, 4096 * bins)
    struct.pack_into("<I", base, 44, 1)
    checksum = 0
    for (word,) in struct.iter_unpack("<I", bytes(base[:508])):
        checksum ^= word
    struct.pack_into("<I", base, 508, {0: 1, 0xFFFFFFFF: 0xFFFFFFFE}.get(checksum, checksum))
    data = b"".join(struct.pack("<4sII", b"hbin", 4096 * k, 4096).ljust(32, b"\0") +
                    struct.pack("<I", 4096 - 32).ljust(4096 - 32, b"\0") for k in range(bins))
    return bytes(base) + data


PREPARED = hive(2)


def profile_file(count, entries, slots=None):
    """A profile file: slot 0 "IndexNum=%d", then one NUL-padded slot per entry."""
    texts = ["IndexNum=%d" % count] + entries
    data = b"".join(t.encode("gbk").ljust(SLOT, b"\0") for t in texts)
    return data.ljust(SLOT * (slots or len(texts)), b"\0")


def slot_text(data, k):
    return data[SLOT * k:SLOT * (k + 1)].split(b"\0", 1)[0].decode("gbk")


def sections(data):
    """Splits a snapshot into its sections: 256-byte decimal header, then data."""
    out = []
    while data:
        header = data[:256]
        digits = header.split(b"\0", 1)[0]
        if not re.fullmatch(rb"[0-9]+", digits) or header[len(digits):] != b"\0" * (256 - len(digits)):
            raise AssertionError("bad section header %r" % header[:40])
        size = int(digits)
        out.append(data[256:256 + size])
        data = data[256 + size:]
    return out


def settings_entries(is_repair="000"):
    return ["Backup0=2", "userpath=" + USERPATH, "syspath=C:\\windows", "InsSign=4321",
            "IsRepair=" + is_repair, "SignRun=000"]


def lay_out_machine(settings=True, index=True, is_repair="000"):
    """An installed machine: hives, the user's profile, settings, snapshot folder."""
    remove_machine()
    for name, data in HIVES.items():
        write(os.path.join(CONFIG, name), data)
    write(os.path.join(PROFILE, "NTUSER.DAT"), NTUSER)
    if settings:
        entries = settings_entries(is_repair)
        write(SETTINGS, profile_file(len(entries), entries))
    os.makedirs(TWSAFE, exist_ok=True)
    if index:
        write(INDEX, profile_file(1, [INSTALL_LINE] + [""] * 14 + CARRY_LINES, 31))
        write(os.path.join(TWSAFE, "11111111.xff"), b"installation snapshot")


def remove_machine():
    for path in (SETTINGS, HIVE_TO_RESTORE, SOFTWARE_TO_RESTORE):
        if os.path.exists(path):
            os.remove(path)
    for folder in (TWSAFE, CONFIG, PROFILE_ROOT):
        shutil.rmtree(folder, ignore_errors=True)


def set_is_repair(value):
    data = bytearray(read(SETTINGS))
    k = 1 + [e.split("=")[0] for e in settings_entries()].index("IsRepair")
    data[SLOT * k:SLOT * (k + 1)] = ("IsRepair=" + value).encode().ljust(SLOT, b"\0")
    write(SETTINGS, bytes(data))


def utc_today():
    return datetime.datetime.now(datetime.timezone.utc).date()


class Boot:
    """One boot: runs the program and keeps its exit status and console lines."""

    def __init__(self):
        self.before = utc_today()
        env = dict(os.environ, WINEDEBUG="err+ntdll,-all")
        run = subprocess.run([os.environ["TW_WINE"], EXE], env=env, capture_output=True, timeout=120)
        self.after = utc_today()
        self.status = run.returncode
        stderr = run.stderr.decode("utf-8", "replace")
        # Wine shows NtDisplayString text as: 0024:err:ntdll:NtDisplayString L"...\n"
        self.console = [m.group(1).replace("\\n", "\n")
                        for m in re.finditer(r'err:ntdll:NtDisplayString L"(.*)"', stderr)]
        self.other = [line for line in stderr.splitlines() if "NtDisplayString" not in line]

    def snapshot_dates(self):
        """The UTC date the program saw: the day of the run (either, across midnight)."""
        return sorted({self.before, self.after})


def snapshot_path(day):
    return os.path.join(TWSAFE, "%d%02d%02d.xff" % (day.year, day.month, day.day))


def index_date(day):
    return "%d-%d-%d" % (day.year, day.month, day.day)


class BootTest(unittest.TestCase):
    def tearDown(self):
        remove_machine()

    def boot(self):
        boot = Boot()
        self.assertEqual(boot.status, 0, "exit status; stderr: %s" % boot.other)
        return boot

    def day_snapshot(self, boot):
        existing = [d for d in boot.snapshot_dates() if os.path.exists(snapshot_path(d))]
        self.assertEqual(len(existing), 1, "one snapshot of the day in %s" % sorted(os.listdir(TWSAFE)))
        return existing[0]

    def test_daily_snapshot_of_installed_machine(self):
        lay_out_machine()
        boot = self.boot()
        self.assertEqual(boot.console, [], "nothing is shown on success")

        day = self.day_snapshot(boot)
        data = read(snapshot_path(day))
        self.assertEqual(sections(data), [HIVES["system"], HIVES["software"], HIVES["SAM"], NTUSER])
        self.assertEqual(len(data), 1024 + sum(map(len, HIVES.values())) + len(NTUSER))

        index = read(INDEX)
        self.assertEqual(len(index), 31 * SLOT, "the index is rewritten in place")
        self.assertEqual(slot_text(index, 0), "IndexNum=2")
        self.assertEqual(slot_text(index, 1), index_date(day) + "\t0\t1")
        self.assertEqual(slot_text(index, 2), INSTALL_LINE)
        self.assertEqual([slot_text(index, k) for k in range(16, 31)], CARRY_LINES)
        self.assertTrue(os.path.exists(os.path.join(TWSAFE, "11111111.xff")))

    def test_second_boot_of_the_day_changes_nothing(self):
        lay_out_machine()
        first = self.boot()
        day = self.day_snapshot(first)
        snapshot, index = read(snapshot_path(day)), read(INDEX)
        second = self.boot()
        self.assertEqual(second.console, [])
        if second.snapshot_dates() == [day]:  # not across midnight
            self.assertEqual(read(snapshot_path(day)), snapshot)
            self.assertEqual(read(INDEX), index)

    def test_missing_settings_file(self):
        lay_out_machine(settings=False)
        index = read(INDEX)
        boot = self.boot()
        self.assertEqual(boot.console, ["Open IniFile Error\n"])
        self.assertEqual(sorted(os.listdir(TWSAFE)), ["11111111.xff", "bkinfo.dat"], "no snapshot")
        self.assertEqual(read(INDEX), index)

    def test_missing_index_skips_the_snapshot_silently(self):
        lay_out_machine(index=False)
        boot = self.boot()
        self.assertEqual(boot.console, [])
        self.assertEqual(os.listdir(TWSAFE), [])

    def test_restore_then_undo(self):
        lay_out_machine(is_repair="111")
        write(HIVE_TO_RESTORE, PREPARED)
        user_hive = os.path.join(PROFILE, "NTUSER.DAT")
        saved_hive = os.path.join(PROFILE, "BKDATA3.DAT")
        write(user_hive + ".LOG", USER_LOG)

        boot = self.boot()
        self.assertEqual(boot.console, [])
        # The day's snapshot holds the user hive as it was before the restore.
        self.assertEqual(sections(read(snapshot_path(self.day_snapshot(boot))))[3], NTUSER)
        self.assertEqual(read(user_hive), PREPARED)
        self.assertEqual(read(saved_hive), NTUSER)
        self.assertFalse(os.path.exists(user_hive + ".LOG"), "the replaced hive's log goes with it")
        self.assertEqual(read(saved_hive + ".LOG"), USER_LOG)
        self.assertFalse(os.path.exists(HIVE_TO_RESTORE))
        self.assertEqual(slot_text(read(SETTINGS), 5), "IsRepair=000")

        set_is_repair("222")
        boot = self.boot()
        self.assertEqual(boot.console, [])
        self.assertEqual(read(user_hive), NTUSER)
        self.assertEqual(read(user_hive + ".LOG"), USER_LOG, "the log comes back with its hive")
        self.assertEqual(read(saved_hive), NTUSER, "the saved hive is kept")
        self.assertEqual(slot_text(read(SETTINGS), 5), "IsRepair=000")

    def test_software_restore_then_undo(self):
        lay_out_machine()
        write(SOFTWARE_TO_RESTORE, PREPARED)
        log = b"log of the software hive"
        write(os.path.join(CONFIG, "software.LOG"), log)
        paths = [os.path.join(CONFIG, name) for name in ("software", "software.LOG", "software.twb", "software.twb.log")]
        old = HIVES["software"]
        # "111" keeps the former hive and its log beside it; "222" puts them back.
        for request, expected in (("111", [PREPARED, None, old, log]), ("222", [old, log, old, log])):
            write(SETTINGS, profile_file(7, settings_entries() + ["SysRepair=" + request]))
            self.assertEqual(self.boot().console, [])
            self.assertEqual([read(p) if os.path.exists(p) else None for p in paths], expected, request)
            self.assertEqual(slot_text(read(SETTINGS), 7), "SysRepair=000")
            self.assertFalse(os.path.exists(SOFTWARE_TO_RESTORE))

    def test_restore_of_a_damaged_hive_is_refused(self):
        lay_out_machine(is_repair="111")
        write(HIVE_TO_RESTORE, PREPARED[:-4096])
        boot = self.boot()
        self.assertEqual(boot.console, [])
        self.assertEqual(read(os.path.join(PROFILE, "NTUSER.DAT")), NTUSER)
        self.assertFalse(os.path.exists(os.path.join(PROFILE, "BKDATA3.DAT")))
        self.assertEqual(slot_text(read(SETTINGS), 5), "IsRepair=000")

    def test_restore_without_prepared_hive_keeps_the_request(self):
        lay_out_machine(is_repair="111")
        boot = self.boot()
        self.assertEqual(boot.console, [])
        self.assertEqual(read(os.path.join(PROFILE, "NTUSER.DAT")), NTUSER)
        self.assertEqual(slot_text(read(SETTINGS), 5), "IsRepair=111")


if __name__ == "__main__":
    if len(sys.argv) != 2 or not DRIVE_C or "TW_WINE" not in os.environ:
        sys.exit("usage: run-wine-test.sh STATE_DIR python3 twrepair_boot_test.py TWREPAIR_WINE_EXE")
    EXE = sys.argv.pop(1)
    unittest.main(verbosity=2)
