#!/usr/bin/env python3
"""The repair environment package under Wine: twsysh.exe unpacking, the tools
it carries, and DriverCrate.exe.

Usage: package_test.py PACKAGE_DIR WINDOW_DRIVER_EXE  (run through run-wine-test.sh)
"""
import glob
import os
import shutil
import stat
import subprocess
import sys
import unittest
import zlib

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
from test_files import read, slot_texts, write  # noqa: E402 (tests/wine)

PACKAGE = None
WINDOW_DRIVER = None
WINE = os.environ.get("TW_WINE", "")
DRIVE_C = os.environ.get("TW_WINE_DRIVE_C", "")
KEST = os.path.join(DRIVE_C, "sysh", "kest")
DRIVERS = os.path.join(DRIVE_C, "windows", "system32", "drivers")
BACKUP = os.path.join(DRIVE_C, "sysh", "drivers")
SERVICES = "HKLM\\System\\CurrentControlSet\\Services\\"
OLD_TIME = 1000000000  # 2001: a time no copy made by the test can have


def wine(*args, **kwargs):
    return subprocess.run([WINE] + list(args), capture_output=True, timeout=kwargs.get("timeout", 120))


def built_files():
    """The package's files as the build laid them out, by their name under kest."""
    root = os.path.join(PACKAGE, "kest")
    return sorted(os.path.relpath(p, root) for p in glob.glob(os.path.join(root, "**"), recursive=True)
                  if os.path.isfile(p))


def temp_files():
    return glob.glob(os.path.join(KEST, "**", "*.tmp"), recursive=True)


class Twsysh(unittest.TestCase):
    def setUp(self):
        shutil.rmtree(os.path.join(DRIVE_C, "sysh"), ignore_errors=True)

    def unpack(self):
        return wine(os.path.join(PACKAGE, "twsysh.exe")).returncode

    def assert_package_in_place(self):
        for name in built_files():
            self.assertEqual(read(os.path.join(KEST, name)), read(os.path.join(PACKAGE, "kest", name)), name)
        self.assertEqual(temp_files(), [])

    def test_unpacks_into_empty_then_filled_folder(self):
        self.assertEqual(len(built_files()), 7)
        self.assertEqual(self.unpack(), 0)
        self.assert_package_in_place()

        for name in built_files():
            write(os.path.join(KEST, name), b"an older package")
        read_only = os.path.join(KEST, "data", "wispdata.dat")
        os.chmod(read_only, stat.S_IRUSR | stat.S_IRGRP | stat.S_IROTH)  # Wine: FILE_ATTRIBUTE_READONLY
        self.assertEqual(self.unpack(), 0)
        self.assert_package_in_place()

    def test_folder_in_the_way_fails_and_leaves_no_temporary_file(self):
        blocker = os.path.join(KEST, "WRLDR")
        write(os.path.join(blocker, "inside"), b"a folder where a file belongs")
        self.assertNotEqual(self.unpack(), 0)
        self.assertTrue(os.path.isdir(blocker))
        self.assertEqual(temp_files(), [])
        # The other files are still put in place.
        self.assertEqual(read(os.path.join(KEST, "BOOTSECT.cdr")), read(os.path.join(PACKAGE, "kest", "BOOTSECT.cdr")))

    def test_templates(self):
        settings = read(os.path.join(PACKAGE, "kest", "data", "wispdata.dat"))
        self.assertEqual(slot_texts(settings), ["IndexNum=3", "Backup0=000", "IsRepair=000", "SignRun=000"])
        index = read(os.path.join(PACKAGE, "kest", "data", "bkinfo.dat"))
        self.assertEqual(len(index), 3100)
        lines = slot_texts(index)
        self.assertEqual(lines[0], "IndexNum=0")
        self.assertEqual(lines[1:16], [""] * 15)
        self.assertEqual(lines[16:], ["1000-1-%d\t0\t0" % k for k in range(16, 31)])


class PackageTools(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        shutil.rmtree(os.path.join(DRIVE_C, "sysh"), ignore_errors=True)
        assert wine(os.path.join(PACKAGE, "twsysh.exe")).returncode == 0

    def test_snetcfg_logs_the_identifier_first(self):
        log = os.path.join(KEST, "snetcfg.log")
        status = wine(os.path.join(KEST, "snetcfg.exe"), "-u", "ms_twtest").returncode
        lines = read(log).decode("gbk").splitlines()
        self.assertEqual(len(lines), 2, lines)
        self.assertTrue(lines[0].endswith(" -u ms_twtest"), lines)
        # Wine has no INetCfg: the outcome line says so and the status is not 0.
        self.assertIn("ms_twtest: ", lines[1])
        self.assertEqual(status == 0, lines[1].endswith(": removed"), (status, lines))
        self.assertEqual(wine(os.path.join(KEST, "snetcfg.exe"), "-x").returncode, 2)

    def test_repairie_logs_each_run(self):
        for run in range(2):
            wine("cmd", "/c", "c:\\sysh\\kest\\Repairie.bat", timeout=300)
        lines = read(os.path.join(KEST, "Repairie.log")).decode("gbk").splitlines()
        self.assertEqual(len(lines), 2, lines)
        self.assertTrue(all("Repairie.bat" in line for line in lines), lines)


class DriverCrate(unittest.TestCase):
    """Two driver files that services name, and one outside the Windows folder."""
    FILES = {"TwTestA": ("system32\\drivers\\twtesta.sys", "twtesta.sys", b"driver A " * 100),
             "TwTestB": ("\\SystemRoot\\System32\\DRIVERS\\twtestb.sys", "twtestb.sys", b"driver B " * 50)}
    OUTSIDE = "C:\\twoutside\\twtestc.sys"

    def setUp(self):
        shutil.rmtree(BACKUP, ignore_errors=True)
        for service, (image_path, name, data) in self.FILES.items():
            write(os.path.join(DRIVERS, name), data)
            self.add_service(service, image_path)
        write(os.path.join(DRIVE_C, "twoutside", "twtestc.sys"), b"driver C")
        self.add_service("TwTestC", self.OUTSIDE)

    def tearDown(self):
        for service, (_, name, _) in self.FILES.items():
            wine("reg", "delete", SERVICES + service, "/f")
            for path in glob.glob(os.path.join(DRIVERS, name + "*")):
                os.remove(path)
        wine("reg", "delete", SERVICES + "TwTestC", "/f")
        shutil.rmtree(os.path.join(DRIVE_C, "twoutside"), ignore_errors=True)

    def add_service(self, service, image_path):
        # Wine's reg.exe has been seen to exit 1, silently, once in many runs: one more try.
        for _ in range(2):
            run = wine("reg", "add", SERVICES + service, "/v", "ImagePath", "/t", "REG_EXPAND_SZ",
                       "/d", image_path, "/f")
            if run.returncode == 0:
                break
        self.assertEqual(run.returncode, 0, run.stderr)

    def crate(self, *args):
        return wine(os.path.join(PACKAGE, "DriverCrate.exe"), *args).returncode

    def driver(self, service):
        return os.path.join(DRIVERS, self.FILES[service][1])

    def test_backup_then_restore_only_what_changed(self):
        self.assertEqual(self.crate("/backup"), 0)
        manifest = read(os.path.join(BACKUP, "drivers.lst")).decode("gbk").lower().splitlines()
        for service in ("TwTestA", "TwTestB"):
            data = self.FILES[service][2]
            line = "system32\\drivers\\%s\t%d\t%08x" % (self.FILES[service][1], len(data), zlib.crc32(data))
            self.assertIn(line, manifest, "path, size and checksum")
        self.assertFalse(any("twtestc" in line for line in manifest), manifest)

        changed, unchanged = self.driver("TwTestA"), self.driver("TwTestB")
        write(changed, b"a damaged driver")
        for path in (changed, unchanged):
            os.utime(path, (OLD_TIME, OLD_TIME))
        self.assertEqual(self.crate("/restore"), 0)
        self.assertEqual(read(changed), self.FILES["TwTestA"][2])
        self.assertNotEqual(os.stat(changed).st_mtime, OLD_TIME)
        self.assertEqual(read(changed + ".twold"), b"a damaged driver", "the replaced driver is kept")
        self.assertEqual(read(unchanged), self.FILES["TwTestB"][2])
        self.assertEqual(os.stat(unchanged).st_mtime, OLD_TIME, "an unchanged driver is left untouched")
        self.assertFalse(os.path.exists(unchanged + ".twold"))

    def test_restore_refuses_a_damaged_copy(self):
        self.assertEqual(self.crate("/backup"), 0)
        # A power cut after the backup: one copy reads zeros, the other is sound.
        copy = os.path.join(BACKUP, "system32", "drivers", self.FILES["TwTestA"][1])
        write(copy, bytes(len(self.FILES["TwTestA"][2])))
        for service in ("TwTestA", "TwTestB"):
            write(self.driver(service), b"a newer driver")
        self.assertEqual(self.crate("/restore"), 1)
        self.assertEqual(read(self.driver("TwTestA")), b"a newer driver", "the driver is left as it was")
        self.assertFalse(os.path.exists(self.driver("TwTestA") + ".twold"))
        self.assertEqual(read(self.driver("TwTestB")), self.FILES["TwTestB"][2], "a sound copy is still restored")

    def test_restore_without_backup_fails(self):
        self.assertNotEqual(self.crate("/restore"), 0)
        self.assertEqual(self.crate("/nonsense"), 2)

    def test_window_offers_backup(self):
        crate = subprocess.Popen([WINE, os.path.join(PACKAGE, "DriverCrate.exe")],
                                 stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            check = wine(WINDOW_DRIVER, "check")
            print(check.stdout.decode("utf-8", "replace"), end="")
            subprocess.run([os.path.join(os.environ["TW_WINE_TOOLS"], "screenshot.sh"), "drivercrate_window"])
            self.assertEqual(check.returncode, 0)
            self.assertTrue(os.path.isfile(os.path.join(BACKUP, "drivers.lst")), "the button backed up")
            self.assertEqual(wine(WINDOW_DRIVER, "close").returncode, 0)
            self.assertEqual(crate.wait(timeout=30), 0)
        finally:
            if crate.poll() is None:
                crate.kill()
                crate.wait()


if __name__ == "__main__":
    if len(sys.argv) != 3 or not DRIVE_C or not WINE:
        sys.exit("usage: package_test.py PACKAGE_DIR WINDOW_DRIVER_EXE (under run-wine-test.sh)")
    PACKAGE = sys.argv.pop(1)
    WINDOW_DRIVER = sys.argv.pop(1)
    unittest.main(verbosity=2)
