#!/usr/bin/env python3
"""The life of an installation under Wine, step by step, every change printed and checked.

Usage (inside a prefix set up by prefix-setup.sh, through run-wine-test.sh):
  tour.py --win-build DIR --host-build DIR [--release DIR] [--quiet-checks] [--keep]

On the prefix's C: drive laid out as an XP machine (boot.ini, the \\repair hives,
the hives of system32\\config, a user profile with Favorites, autostart values,
a network component whose service file is gone), it installs from the panel,
boots (the installed boot-time program, run in the prefix), logs on (the panel
with "/h"), asks for a repair as a rescue system would (twsnap prepare-restore
on the C: drive from Linux), boots again (the restore), starts the panel (the
fix-ups), undoes the restore, uninstalls from the panel, and removes a second
installation through the uninstaller library. Each step prints what changed
(registry values, boot.ini lines, settings, the index table, files) and its
checks; window steps save a screenshot in $TW_WINE_SHOTS. Exit status 1 when a
check failed. Unless --keep, what the tour laid out is removed at the end (the
test prefix is shared with other tests).

With --release, the programs come from the laid-out release (dist/: Tarwen/ and
rescue/) and --win-build holds only the test pieces built for it: the window
driver, and twrepair_wine.exe, which each boot runs in place of the installed
release twrepair.exe (Wine does not resolve \\SystemRoot\\).
"""
import argparse
import datetime
import hashlib
import os
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
from test_files import read, slot_texts  # noqa: E402 (tests/wine)

PROGRAM_FOLDER = "C:\\Program Files\\Tarwen"
RUN_KEY = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run"
USER_RUN_KEY = "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run"
SESSION_MANAGER = "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Session Manager"
NET_SERVICE = "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\TwTourNet"
NET_COMPONENT = ("HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Network\\"
                 "{4D36E975-E325-11CE-BFC1-08002BE10318}\\{7A0C2E51-7D4B-4F52-9E55-3B2D2B1C0F00}")
NET_COMPONENT_ID = "tw_tournet"
AUTOSTART = "Tarwen系统修复"
ORIGINAL_BOOT_INI = ("[boot loader]\r\ntimeout=30\r\ndefault=multi(0)disk(0)rdisk(0)partition(1)\\WINDOWS\r\n"
                     "[operating systems]\r\nmulti(0)disk(0)rdisk(0)partition(1)\\WINDOWS=\"Microsoft Windows XP\" "
                     "/fastdetect\r\n")
REPAIR_ENTRY = "c:\\wrldr=进入Tarwen系统修复"
CD_ENTRY = "c:\\sysh\\kest\\BOOTSECT.cdr=从光盘启动(先插入系统安装光盘)"
# Files and folders whose changes the tour shows, relative to C:\ (looked up without regard to case).
WATCHED = ("boot.ini", "WRLDR", "wispdata.dat", "sysh", "Program Files/Tarwen", "windows/wispdata.dat",
           "windows/system32/twrepair.exe", "windows/twsafe", "windows/temp/TWXT04.XFF")
USER_FILES = ("NTUSER.DAT", "BKDATA3.DAT")
LAID_OUT = ("boot.ini", "boot.ini.tarwen", "WRLDR", "wispdata.dat", "sysh", "Program Files/Tarwen", "Program Files/Gone",
            "windows/wispdata.dat", "windows/system32/twrepair.exe", "windows/twsafe", "windows/temp/TWXT04.XFF",
            "windows/repair", "windows/system32/config")


# ------------------------------------------------------------------ output and checks

class Report:
    """Counts the checks; prints each one, or with quiet_checks the failures and a count per step."""

    def __init__(self, quiet_checks):
        self.quiet = quiet_checks
        self.passed = 0
        self.failed = 0
        self.open_step = None  # (passed, failed) when the open step began

    def check(self, ok, text):
        if ok:
            self.passed += 1
        else:
            self.failed += 1
        if not ok or not self.quiet:
            print("   %s: %s" % ("ok" if ok else "FAIL", text))

    def step(self, number, title):
        self.close_step()
        self.open_step = (self.passed, self.failed)
        print("\n== %d. %s" % (number, title))

    def close_step(self):
        if self.quiet and self.open_step:
            print("   checked: %d ok, %d failed" % (self.passed - self.open_step[0], self.failed - self.open_step[1]))
        self.open_step = None


# ------------------------------------------------------------------ the prefix

class Machine:
    """The prefix's C: drive and registry as Linux and wine64 see them."""

    def __init__(self, args):
        self.wine = os.environ["TW_WINE"]
        self.drive = os.environ["TW_WINE_DRIVE_C"]
        self.shots = os.environ.get("TW_WINE_SHOTS", ".")
        self.win_build = os.path.abspath(args.win_build)
        self.host_build = os.path.abspath(args.host_build)
        self.release = os.path.abspath(args.release) if args.release else None
        self.profile = self.windows_to_linux(self.run_wine(["cmd", "/c", "echo", "%USERPROFILE%"]).strip())
        self.work = tempfile.mkdtemp(prefix="tw-tour-")

    # paths
    def windows_to_linux(self, path):
        assert path[1:3] == ":\\", path
        return self.find(path[3:].replace("\\", "/"))

    def find(self, relative, base=None):
        """The path of relative beneath base (default C:\\), each component matched without regard to case."""
        path = base or self.drive
        for part in [p for p in relative.split("/") if p]:
            match = part
            if os.path.isdir(path):
                for name in os.listdir(path):
                    if name.lower() == part.lower():
                        match = name
                        break
            path = os.path.join(path, match)
        return path

    def shown(self, path):
        """A Linux path inside the prefix as Windows names it."""
        relative = os.path.relpath(path, self.drive)
        return "C:\\" + relative.replace("/", "\\")

    def built(self, name, required=True):
        for base in filter(None, (self.release, self.win_build, self.host_build)):
            for parent, dirs, files in os.walk(base):
                # Not the build's own files, nor the Wine test prefix and screenshots.
                dirs[:] = sorted(d for d in dirs if d != "CMakeFiles" and not (parent == base and d.startswith("wine")))
                if name in files:
                    return os.path.join(parent, name)
        if required:
            sys.exit("tour: %s not built (scripts/build host win64)" % name)
        return None

    # running
    def run_wine(self, command, debug=None, encoding="gbk"):
        """Runs command under wine64; its standard output, read in the given encoding."""
        env = dict(os.environ)
        if debug:
            env["WINEDEBUG"] = debug
        result = subprocess.run([self.wine] + command, capture_output=True, env=env, stdin=subprocess.DEVNULL)
        self.last_stderr = result.stderr.decode("utf-8", "replace")
        self.last_status = result.returncode
        return result.stdout.decode(encoding, "replace")

    def run(self, command):
        result = subprocess.run(command, capture_output=True, text=True, stdin=subprocess.DEVNULL)
        return result.returncode, result.stdout + result.stderr

    # registry
    def import_reg(self, text):
        path = os.path.join(self.work, "import.reg")
        with open(path, "wb") as f:
            f.write(("Windows Registry Editor Version 5.00\r\n\r\n" + text).encode("utf-16"))
        self.run_wine(["regedit", "/S", self.linux_to_windows(path)])

    def linux_to_windows(self, path):
        return "Z:" + os.path.abspath(path).replace("/", "\\")

    def values(self, key):
        """{value name: text} of one key (without its subkeys); None when the key is missing."""
        path = os.path.join(self.work, "export.reg")
        if os.path.exists(path):
            os.remove(path)
        self.run_wine(["reg", "export", key, self.linux_to_windows(path), "/y"])
        if self.last_status != 0 or not os.path.exists(path):
            return None
        with open(path, "rb") as f:
            text = f.read().decode("utf-16")
        return parse_reg(text, key)


def parse_reg(text, key):
    """The values of key in a .reg export as text: strings as they are, multi-strings joined by " | "."""
    lines, values, current = [], {}, None
    for raw in text.splitlines():
        if lines and lines[-1].endswith("\\"):
            lines[-1] = lines[-1][:-1] + raw.strip()
        else:
            lines.append(raw)
    for line in lines:
        if line.startswith("["):
            current = line.strip()[1:-1]
            continue
        if current is None or current.lower() != key.lower() or "=" not in line:
            continue
        if line.startswith("@"):
            name, data = "", line[2:]
        else:
            end = 1
            while line[end] != '"':
                end += 2 if line[end] == "\\" else 1
            name, data = line[1:end].replace('\\"', '"').replace("\\\\", "\\"), line[end + 2:]
        values[name] = decode_reg_data(data)
    return values


def decode_reg_data(data):
    if data.startswith('"'):
        return data[1:-1].replace('\\"', '"').replace("\\\\", "\\")
    if data.startswith("dword:"):
        return str(int(data[6:], 16))
    if data.startswith("hex(7):") or data.startswith("hex(2):"):
        raw = bytes(int(b, 16) for b in data[7:].split(",") if b.strip())
        text = raw.decode("utf-16-le")
        if data.startswith("hex(2):"):
            return text.rstrip("\0")
        return " | ".join(part for part in text.split("\0") if part) or "(empty)"
    return data


def reg_string(text):
    return '"%s"' % text.replace("\\", "\\\\").replace('"', '\\"')


def reg_multi(parts):
    raw = ("\0".join(parts) + "\0\0").encode("utf-16-le")
    return "hex(7):" + ",".join("%02x" % b for b in raw)


# ------------------------------------------------------------------ what the machine holds

def read_slots(path):
    """The entry lines of a profile file (slot 0 "IndexNum=%d"), or None when the file is missing."""
    if not os.path.isfile(path):
        return None
    texts = slot_texts(read(path))
    if not texts or not texts[0].startswith("IndexNum="):
        return []
    count = int(texts[0][9:] or 0)
    return texts[1:1 + count]


def settings_of(path):
    values = {}
    for line in read_slots(path) or []:
        key, _, value = line.partition("=")
        values.setdefault(key, value)
    return values


def digest(path):
    with open(path, "rb") as f:
        return hashlib.sha256(f.read()).hexdigest()[:12]


class State:
    """What the tour looks at, captured at one moment."""

    def __init__(self, machine):
        m = machine
        self.registry = {}
        for label, key in (("Session Manager", SESSION_MANAGER), ("Run", RUN_KEY), ("HKCU Run", USER_RUN_KEY),
                           ("TwTourNet", NET_SERVICE), ("network component", NET_COMPONENT)):
            values = m.values(key)
            if values is None:
                continue
            for name, data in values.items():
                if label != "Session Manager" or name == "BootExecute":
                    self.registry["%s\\%s" % (label, name)] = data
        boot_ini = m.find("boot.ini")
        self.boot_ini = []
        if os.path.isfile(boot_ini):
            with open(boot_ini, "rb") as f:
                self.boot_ini = f.read().decode("gbk", "replace").splitlines()
        self.settings = settings_of(m.find("windows/wispdata.dat"))
        self.index = read_slots(m.find("windows/twsafe/bkinfo.dat"))
        self.files = {}
        roots = [m.find(r) for r in WATCHED] + [m.find(name, m.profile) for name in USER_FILES]
        for root in roots:
            if os.path.isfile(root):
                self.files[m.shown(root)] = (os.path.getsize(root), digest(root))
            elif os.path.isdir(root):
                for parent, _, files in os.walk(root):
                    for name in files:
                        path = os.path.join(parent, name)
                        self.files[m.shown(path)] = (os.path.getsize(path), digest(path))

    def file(self, machine, windows_path):
        return self.files.get(machine.shown(machine.windows_to_linux(windows_path)))


def print_changes(before, after):
    """A few lines: registry values, boot.ini lines, settings, index, files (folders summed up)."""
    lines = []
    for name in sorted(set(before.registry) | set(after.registry)):
        old, new = before.registry.get(name), after.registry.get(name)
        if old != new:
            lines.append("registry  %s: %s -> %s" % (name, shown_value(old), shown_value(new)))
    removed = [l for l in before.boot_ini if l not in after.boot_ini]
    added = [l for l in after.boot_ini if l not in before.boot_ini]
    for line in removed:
        lines.append("boot.ini  - %s" % line)
    for line in added:
        lines.append("boot.ini  + %s" % line)
    changed = ["%s %s -> %s" % (k, shown_value(before.settings.get(k)), shown_value(after.settings.get(k)))
               for k in sorted(set(before.settings) | set(after.settings)) if before.settings.get(k) != after.settings.get(k)]
    if changed:
        lines.append("settings  " + ", ".join(changed))
    if before.index != after.index:
        shown = after.index if after.index is not None else None
        lines.append("index     %s" % ("removed" if shown is None else
                                       "%d lines, newest first: %s" % (len(shown), " / ".join(
                                           l.replace("\t", " ") for l in shown[:4]) + (" ..." if len(shown) > 4 else ""))))
    lines += file_changes(before.files, after.files)
    for line in lines or ["(nothing changed)"]:
        print("   " + line)


def shown_value(value):
    return "(none)" if value is None else '"%s"' % value


def file_changes(before, after):
    groups = {}
    for path in sorted(set(before) | set(after)):
        old, new = before.get(path), after.get(path)
        if old == new:
            continue
        sign = "+" if old is None else "-" if new is None else "~"
        groups.setdefault((sign, path.rsplit("\\", 1)[0]), []).append(path)
    lines = []
    for (sign, folder), paths in sorted(groups.items(), key=lambda g: g[1][0]):
        if len(paths) > 3:
            lines.append("files     %s %s\\ (%d files)" % (sign, folder, len(paths)))
        else:
            for path in paths:
                size = (after.get(path) or before.get(path))[0]
                lines.append("files     %s %s (%d bytes)" % (sign, path, size))
    return lines


# ------------------------------------------------------------------ the tour

class Tour:
    def __init__(self, args):
        self.m = Machine(args)
        self.r = Report(args.quiet_checks)
        self.app = self.m.built("tarwenApp.exe")
        self.driver = self.m.built("tour_driver.exe")
        self.twsysh = self.m.built("twsysh.exe")
        self.drivercrate = self.m.built("DriverCrate.exe")
        self.shelflib_library = self.m.built("ShelfLib.dll", required=False)
        self.help_file = self.m.built("使用帮助.chm", required=False)  # the about box opens it
        self.twsnap_program = self.m.built("twsnap")
        self.make_hive = self.m.built("make_hive")
        # The installed boot-time program, or for a release the build of it that Wine can run.
        self.boot_program = (self.m.linux_to_windows(self.m.built("twrepair_wine.exe")) if args.release
                             else "C:\\windows\\system32\\twrepair.exe")
        self.today = datetime.datetime.utcnow().date()
        self.number = 0
        self.installed_app = PROGRAM_FOLDER + "\\tarwenApp.exe"

    # helpers
    def begin(self, title):
        self.number += 1
        self.r.step(self.number, title)
        return State(self.m)

    def finish(self, before, shot=None):
        after = State(self.m)
        print_changes(before, after)
        if shot:
            print("   screenshot %s" % os.path.join(self.m.shots, shot))
        return after

    def window_step(self, step, shot, *extra):
        # The driver prints its checks in UTF-8 and saves the screenshot into $TW_WINE_SHOTS.
        output = self.m.run_wine([self.driver, step, self.installed_app, shot] + list(extra), encoding="utf-8")
        for line in output.splitlines():
            if line.startswith("ok: "):
                self.r.check(True, line[4:])
            elif line.startswith("FAIL: "):
                self.r.check(False, line[6:])
        self.r.check(self.m.last_status == 0, "tour_driver %s ends cleanly (status %d)" % (step, self.m.last_status))

    def hive(self, relative, size, base=None):
        path = self.m.find(relative, base)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        status, output = self.m.run([self.make_hive, path, str(size)])
        assert status == 0, output
        return path

    def boot(self):
        """The installed boot-time program (for a release, its Wine build), as the Session Manager
        runs it; its console lines."""
        self.m.run_wine([self.boot_program], debug="err+ntdll,-all")
        said = [line.split("NtDisplayString", 1)[-1].strip(" :") for line in self.m.last_stderr.splitlines()
                if "NtDisplayString" in line]
        for line in said:
            print("   console   %s" % line)
        self.r.check(self.m.last_status == 0, "twrepair.exe exits 0 (status %d)" % self.m.last_status)

    def twsnap(self, *command):
        return self.m.run([self.twsnap_program, "--drive", self.m.drive, "--systemroot", self.m.find("windows")] + list(command))

    def print_index_table(self):
        status, output = self.twsnap("list")
        rows = output.splitlines()
        placeholders = [r for r in rows if "placeholder" in r]
        for row in [r for r in rows if "placeholder" not in r]:
            print("   twsnap    " + row)
        if placeholders:
            print("   twsnap    (%d template placeholders)" % len(placeholders))
        self.r.check(status == 0, "twsnap list reads the index")

    def read(self, windows_path):
        path = self.m.windows_to_linux(windows_path)
        if not os.path.isfile(path):
            return None
        with open(path, "rb") as f:
            return f.read()

    # ---------------------------------------------------------------- the machine before
    def lay_out(self):
        m = self.m
        self.r.step(0, "An XP machine: boot.ini, the \\repair hives, a user with Favorites, autostarts, a network component")
        self.remove_laid_out()
        with open(m.find("boot.ini"), "w", encoding="ascii", newline="") as f:
            f.write(ORIGINAL_BOOT_INI)
        for name, size in (("system", 40000), ("software", 90000), ("sam", 8192), ("NTUSER.DAT", 16384)):
            self.hive("windows/repair/" + name, size)
        for name, size in (("system", 40000), ("software", 90000), ("SAM", 8192)):
            self.hive("windows/system32/config/" + name, size)
        self.hive("NTUSER.DAT", 24576, m.profile)
        for name in ("BKDATA3.DAT",):
            if os.path.exists(m.find(name, m.profile)):
                os.remove(m.find(name, m.profile))
        favorites = m.find("Favorites", m.profile)
        os.makedirs(favorites, exist_ok=True)
        with open(os.path.join(favorites, "Tarwen.url"), "w") as f:
            f.write("[InternetShortcut]\r\nURL=http://localhost/\r\n")
        os.makedirs(m.find("Program Files/Tarwen"), exist_ok=True)
        for source in (self.app, self.twsysh, self.drivercrate, self.help_file):
            if source:
                shutil.copy(source, m.find("Program Files/Tarwen"))
        m.import_reg(
            "[%s]\r\n\"BootExecute\"=%s\r\n\r\n" % (SESSION_MANAGER, reg_multi(["autocheck autochk *"])) +
            "[%s]\r\n\"TwTourKept\"=%s\r\n\"TwTourGone\"=%s\r\n\r\n" % (
                RUN_KEY, reg_string("notepad.exe"), reg_string("C:\\Program Files\\Gone\\gone.exe /s")) +
            "[%s]\r\n\"TwTourUserGone\"=%s\r\n\r\n" % (USER_RUN_KEY, reg_string("C:\\Program Files\\Gone\\user.exe")) +
            "[%s]\r\n\"ImagePath\"=%s\r\n\"Start\"=dword:00000003\r\n\"Type\"=dword:00000001\r\n\r\n" % (
                NET_SERVICE, reg_string("system32\\DRIVERS\\twtournet.sys")) +
            "[%s]\r\n\"ComponentId\"=%s\r\n\r\n[%s\\Ndi]\r\n\"Service\"=%s\r\n\r\n" % (
                NET_COMPONENT, reg_string(NET_COMPONENT_ID), NET_COMPONENT, reg_string("TwTourNet")))
        state = State(m)
        self.r.check(state.registry.get("Session Manager\\BootExecute") == "autocheck autochk *",
                     "BootExecute holds autocheck alone")
        self.r.check(state.registry.get("network component\\ComponentId") == NET_COMPONENT_ID,
                     "a network component names the service TwTourNet, whose driver file is missing")
        print("   C:\\boot.ini: one system, timeout=30; %s: NTUSER.DAT, Favorites\\Tarwen.url" % m.shown(m.profile))
        print("   Run: TwTourKept (notepad.exe), TwTourGone (a program that is not there); the panel in %s"
              % PROGRAM_FOLDER)
        return state

    # ---------------------------------------------------------------- the steps
    def install(self, title, shot):
        before = self.begin(title)
        self.window_step("install", shot)
        after = self.finish(before, shot)
        r, windows = self.r, "C:\\windows"
        r.check(after.registry.get("Session Manager\\BootExecute") == "autocheck autochk * | twrepair r",
                "BootExecute runs twrepair r after autocheck")
        r.check(after.registry.get("Run\\" + AUTOSTART) == self.installed_app + " /h", "the autostart value starts the panel with /h")
        r.check("timeout=10" in after.boot_ini and REPAIR_ENTRY in after.boot_ini and CD_ENTRY in after.boot_ini,
                "boot.ini: time-out 10 and the two entries")
        r.check(after.settings.get("Backup0") == "2", "settings: Backup0 2 (installed)")
        r.check(after.settings.get("userpath", "").lower() == ("\\??\\" + self.m.shown(self.m.profile)).lower(),
                "settings: userpath names the user's profile (%s)" % after.settings.get("userpath"))
        r.check(after.index is not None and after.index[:1] == ["1111-11-11\t0\t1"], "index: the installation snapshot alone")
        for path in ("C:\\sysh\\kest\\twrepair.exe", windows + "\\system32\\twrepair.exe", "C:\\WRLDR",
                     windows + "\\twsafe\\11111111.xff", "C:\\sysh\\drivers\\drivers.lst"):
            r.check(after.file(self.m, path) is not None, "%s is there" % path)
        return after

    def first_boot(self):
        before = self.begin("Boot: the Session Manager runs twrepair.exe")
        self.boot()
        after = self.finish(before)
        day = self.today
        self.print_index_table()
        r = self.r
        r.check(after.index is not None and after.index[:2] == ["%d-%d-%d\t0\t1" % (day.year, day.month, day.day),
                                                                 "1111-11-11\t0\t1"],
                "index: the day's snapshot above the installation's")
        r.check(after.file(self.m, "C:\\windows\\twsafe\\%s.xff" % day.strftime("%Y%m%d")) is not None,
                "the day's snapshot file %s.xff" % day.strftime("%Y%m%d"))

    def logon(self):
        before = self.begin("Log on: the autostart value starts the panel with \"/h\"")
        self.window_step("logon", "03_logon.png")
        self.finish(before, "03_logon.png")

    def damage_and_request_repair(self):
        m = self.m
        before = self.begin("A repair: the user hive is damaged; from a rescue system, twsnap prepare-restore")
        hive = m.find("NTUSER.DAT", m.profile)
        with open(hive, "rb") as f:
            self.good_hive = f.read()
        self.bad_hive = b"damaged " * 4096
        with open(hive, "wb") as f:
            f.write(self.bad_hive)
        status, output = self.twsnap("prepare-restore", self.today.strftime("%Y-%m-%d"))
        for line in output.splitlines():
            print("   twsnap    " + line)
        after = self.finish(before)
        r = self.r
        r.check(status == 0, "twsnap prepare-restore succeeds")
        r.check(after.settings.get("IsRepair") == "111" and after.settings.get("SignRun") == "111",
                "settings: IsRepair and SignRun 111")
        r.check(self.read("C:\\windows\\temp\\TWXT04.XFF") == self.good_hive, "temp\\TWXT04.XFF is the day's user hive")

    def restore_boot(self):
        before = self.begin("Boot again: twrepair.exe puts the prepared hive in place")
        self.boot()
        after = self.finish(before)
        r, m = self.r, self.m
        with open(m.find("NTUSER.DAT", m.profile), "rb") as f:
            r.check(f.read() == self.good_hive, "NTUSER.DAT is the day's hive again")
        with open(m.find("BKDATA3.DAT", m.profile), "rb") as f:
            r.check(f.read() == self.bad_hive, "BKDATA3.DAT keeps the hive it replaced")
        r.check(after.settings.get("IsRepair") == "000", "settings: IsRepair 000")
        r.check(after.settings.get("SignRun") == "111", "settings: SignRun stays 111 for the panel")
        r.check(after.index == before.index, "index: no second snapshot on the same day")

    def fixups(self):
        before = self.begin("Start the panel: SignRun 111 runs the post-restore fix-ups")
        self.window_step("fixups", "06_fixups.png")
        after = self.finish(before, "06_fixups.png")
        r = self.r
        r.check("Run\\TwTourGone" not in after.registry and "HKCU Run\\TwTourUserGone" not in after.registry,
                "the autostart values whose programs are gone are deleted")
        r.check(after.registry.get("Run\\TwTourKept") == "notepad.exe", "the autostart value of notepad.exe stays")
        log = self.read("C:\\sysh\\kest\\snetcfg.log") or b""
        r.check(NET_COMPONENT_ID.encode() in log, "snetcfg.exe is asked to remove %s" % NET_COMPONENT_ID)
        r.check(self.read("C:\\sysh\\kest\\Repairie.log") is not None, "Repairie.bat repairs the browser")
        r.check(after.settings.get("SignRun") == "000" and after.settings.get("IsRepair") == "000",
                "settings: SignRun and IsRepair 000")

    def undo(self):
        before = self.begin("Undo: twsnap prepare-undo, then a boot puts the earlier hive back")
        status, output = self.twsnap("prepare-undo")
        for line in output.splitlines():
            print("   twsnap    " + line)
        self.r.check(status == 0, "twsnap prepare-undo succeeds")
        self.r.check(settings_of(self.m.find("windows/wispdata.dat")).get("IsRepair") == "222",
                     "settings: IsRepair 222 before the boot")
        self.boot()
        after = self.finish(before)
        m = self.m
        with open(m.find("NTUSER.DAT", m.profile), "rb") as f:
            self.r.check(f.read() == self.bad_hive, "NTUSER.DAT is the hive from before the restore")
        self.r.check(after.settings.get("IsRepair") == "000", "settings: IsRepair 000")

    def uninstall(self):
        before = self.begin("Uninstall from the panel (卸载引导)")
        self.window_step("uninstall", "08_uninstall.png")
        after = self.finish(before, "08_uninstall.png")
        self.check_removed(after)
        r = self.r
        r.check(after.settings.get("Backup0") == "1", "settings: Backup0 1 (not installed)")
        r.check(after.settings.get("SignRun") == "000", "settings: SignRun 000 after the panel's start")

    def check_removed(self, after):
        r, windows = self.r, "C:\\windows"
        for path in ("C:\\sysh\\kest\\WRLDR", windows + "\\system32\\twrepair.exe", windows + "\\twsafe\\bkinfo.dat"):
            r.check(after.file(self.m, path) is None, "%s is gone" % path)
        r.check(not any(p.lower().startswith("c:\\windows\\twsafe\\") for p in after.files), "the snapshot folder is gone")
        r.check("Run\\" + AUTOSTART not in after.registry, "the autostart value is gone")
        r.check(REPAIR_ENTRY not in after.boot_ini and CD_ENTRY not in after.boot_ini and "timeout=10" in after.boot_ini,
                "boot.ini: the entries are gone, the time-out stays 10")
        r.check(after.registry.get("Session Manager\\BootExecute") == "autocheck autochk * | twrepair r"
                and after.file(self.m, "C:\\WRLDR") is not None and after.file(self.m, "C:\\wispdata.dat") is not None,
                "BootExecute, C:\\WRLDR and the settings files stay")

    def shelflib(self):
        self.install("A second installation, for the uninstaller", "09_install_again.png")
        before = self.begin("An uninstaller calls UninstallFiles of ShelfLib.dll")
        self.window_step("shelflib", "10_shelflib.png", self.m.linux_to_windows(self.shelflib_library))
        after = self.finish(before, "10_shelflib.png")
        self.check_removed(after)
        self.r.check(after.settings.get("Backup0") == "2", "settings: Backup0 untouched")

    # ---------------------------------------------------------------- clean-up
    def remove_laid_out(self):
        m = self.m
        for relative in LAID_OUT:
            path = m.find(relative)
            if os.path.isdir(path) and not os.path.islink(path):
                shutil.rmtree(path, ignore_errors=True)
            elif os.path.lexists(path):
                os.remove(path)
        for name in USER_FILES + ("TWHIVE.TMP",):
            path = m.find(name, m.profile)
            if os.path.lexists(path):
                os.remove(path)
        url = os.path.join(m.find("Favorites", m.profile), "Tarwen.url")
        if os.path.exists(url):
            os.remove(url)
        m.import_reg("[-%s]\r\n\r\n[-%s]\r\n\r\n[%s]\r\n\"TwTourKept\"=-\r\n\"TwTourGone\"=-\r\n\"%s\"=-\r\n\r\n"
                     "[%s]\r\n\"TwTourUserGone\"=-\r\n\r\n[%s]\r\n\"BootExecute\"=-\r\n" % (
                         NET_SERVICE, NET_COMPONENT, RUN_KEY, AUTOSTART, USER_RUN_KEY, SESSION_MANAGER))

    def run(self, keep):
        os.makedirs(self.m.shots, exist_ok=True)
        self.lay_out()
        self.install("Install from the panel (安装引导)", "01_install.png")
        self.first_boot()
        self.logon()
        self.damage_and_request_repair()
        self.restore_boot()
        self.fixups()
        self.undo()
        self.uninstall()
        if self.shelflib_library:
            self.shelflib()
        else:
            self.r.check(False, "ShelfLib.dll is built")
        self.r.close_step()
        if not keep:
            self.remove_laid_out()
        shutil.rmtree(self.m.work, ignore_errors=True)
        print("\nScreenshots: %s" % self.m.shots)
        print("tour: %d passed, %d failed" % (self.r.passed, self.r.failed))
        return 1 if self.r.failed else 0


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--win-build", required=True)
    parser.add_argument("--host-build", required=True)
    parser.add_argument("--release", help="the laid-out release to tour (dist/), with --win-build its test pieces")
    parser.add_argument("--quiet-checks", action="store_true", help="print failed checks only, and a count per step")
    parser.add_argument("--keep", action="store_true", help="leave the installation's last state in the prefix")
    args = parser.parse_args()
    sys.stdout.reconfigure(line_buffering=True)
    return Tour(args).run(args.keep)


if __name__ == "__main__":
    sys.exit(main())
