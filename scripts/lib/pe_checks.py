"""Checks of Windows binaries against what Windows XP SP3 can load, shared by
check-release (the build folder) and release (the laid-out release).

Each check prints one line, PASS or FAIL, and is counted in `results`.
"""
import os
import re
import shutil
import struct
import subprocess
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
XP_IMPORTS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "xp-imports")
CHECKED_DLLS = ("kernel32.dll", "msvcrt.dll")
# Runtime DLLs of the toolchain or of later Windows: never on an XP machine.
UNSHIPPED_DLL = re.compile(r"^(lib.*|api-ms-win-.*|ext-ms-win-.*|ucrtbase.*|vcruntime.*|msvcp.*|msvcr[0-9].*)\.dll$", re.I)
NATIVE_ENTRY = "_NtProcessStartup@4"
PACKAGE = "package"
PACKAGE_PROGRAMS = ("twsysh.exe", "DriverCrate.exe", "kest/snetcfg.exe")
PACKAGE_BOOT_SECTORS = ("kest/WRLDR", "kest/BOOTSECT.cdr")
PACKAGE_FILES = PACKAGE_PROGRAMS + PACKAGE_BOOT_SECTORS + (
    "kest/twrepair.exe", "kest/Repairie.bat", "kest/data/wispdata.dat", "kest/data/bkinfo.dat")
GUI_SUBSYSTEM = 2
TOUR_PIECES = "tour32"

results = []
# The tools' output is read, so they speak English: under a Chinese locale objdump
# prints "文件格式", not "file format".
TOOL_ENVIRONMENT = dict(os.environ, LC_ALL="C")


def run_tool(command, **kwargs):
    """Runs a binutils or coreutils tool in the C locale."""
    return subprocess.run(command, env=TOOL_ENVIRONMENT, **kwargs)


def report(ok, binary, text):
    results.append(ok)
    print("%s %s: %s" % ("PASS" if ok else "FAIL", binary, text))


def find_objdump():
    for tool in ("i686-w64-mingw32-objdump", "x86_64-w64-mingw32-objdump"):
        if shutil.which(tool):
            return tool
    sys.exit("check-release: no mingw objdump (run scripts/setup)")


def load_allowed(dll):
    path = os.path.join(XP_IMPORTS, dll.split(".")[0] + "-allowed.txt")
    with open(path, encoding="utf-8") as f:
        lines = f.read().splitlines()
    return {line.strip() for line in lines[1:] if line.strip()}  # the first line names the source


class PeInfo:
    """What objdump -p says about one binary."""

    def __init__(self, objdump, path):
        self.text = run_tool([objdump, "-p", path], capture_output=True, text=True).stdout
        self.format = self._match(r"file format (\S+)")
        self.subsystem = int(self._match(r"^Subsystem\s+([0-9a-fA-F]+)") or "0", 16)
        self.version = (int(self._match(r"^MajorSubsystemVersion\s+(\d+)") or 99),
                        int(self._match(r"^MinorSubsystemVersion\s+(\d+)") or 99))
        self.entry = int(self._match(r"^AddressOfEntryPoint\s+([0-9a-fA-F]+)") or "0", 16)
        self.image_base = int(self._match(r"^ImageBase\s+([0-9a-fA-F]+)") or "0", 16)
        self.imports = self._imports()
        self.exports = self._exports()
        self.symbols = self._coff_symbols(path)

    def _match(self, pattern):
        m = re.search(pattern, self.text, re.M)
        return m.group(1) if m else None

    @staticmethod
    def _coff_symbols(path):
        """NumberOfSymbols of the COFF file header: 0 once the binary is stripped."""
        with open(path, "rb") as f:
            head = f.read(4096)
        if len(head) < 0x40:
            return None
        offset = struct.unpack_from("<I", head, 0x3C)[0]
        if offset + 24 > len(head) or head[offset:offset + 4] != b"PE\0\0":
            return None
        return struct.unpack_from("<I", head, offset + 16)[0]

    def _imports(self):
        """{dll (lower case): [(name or None for an ordinal, ordinal/hint)]}"""
        imports = {}
        current = None
        for line in self.text.splitlines():
            m = re.match(r"\s*DLL Name: (\S+)", line)
            if m:
                current = imports.setdefault(m.group(1).lower(), [])
                continue
            if current is None:
                continue
            m = re.match(r"\t([0-9a-fA-F]+)\t\s*(\d+)\s+(\S+)", line)
            if m:
                name = m.group(3)
                current.append((None if name == "<none>" else name, int(m.group(2))))
            elif not line.strip() or line.lstrip().startswith("vma:"):
                continue
            else:
                current = None
        return imports

    def _exports(self):
        """The export table: [(ordinal, name)]; objdump numbers the names from the ordinal base."""
        exports = []
        base = int(self._match(r"Ordinal Base (\d+)") or 1)
        part = self.text.split("[Ordinal/Name Pointer] Table", 1)
        if len(part) == 2:
            for line in part[1].splitlines()[1:]:
                m = re.match(r"\s+\[\s*(\d+)\]\s+(\S+)", line)
                if not m:
                    break
                exports.append((base + int(m.group(1)), m.group(2)))
        return exports


def check_binary(objdump, allowed, build, path):
    name = os.path.relpath(path, build)
    info = PeInfo(objdump, path)
    report(info.format == "pei-i386", name, "PE32 (file format %s)" % info.format)
    report(info.version <= (5, 1), name, "subsystem version %d.%02d (5.01 or lower)" % info.version)
    report(info.symbols == 0, name, "stripped (%s symbols)" % info.symbols)

    ordinals = ["%s #%d" % (dll, n) for dll, items in info.imports.items() for name_, n in items if name_ is None]
    report(not ordinals, name, "no import by ordinal" + (": " + ", ".join(ordinals) if ordinals else ""))

    unshipped = [dll for dll in info.imports if UNSHIPPED_DLL.match(dll)]
    report(not unshipped, name, "no runtime DLL that XP lacks" + (": " + ", ".join(unshipped) if unshipped else ""))

    for dll in CHECKED_DLLS:
        if dll in info.imports:
            missing = sorted(n for n, _ in info.imports[dll] if n is not None and n not in allowed[dll])
            report(not missing, name, "%s imports all in XP SP3 (%d)%s" % (
                dll, len(info.imports[dll]), ": missing " + ", ".join(missing) if missing else ""))

    base = os.path.basename(path).lower()
    if base == "twrepair.exe":
        report(info.subsystem == 1, name, "native subsystem (Subsystem %d)" % info.subsystem)
        dlls = sorted(info.imports)
        report(dlls == ["ntdll.dll"], name, "imports from ntdll.dll alone (%s)" % ", ".join(dlls))
        report(info.entry != 0 and entry_symbol(path, info) in (None, NATIVE_ENTRY), name,
               "entry point %s at %#x" % (entry_symbol(path, info) or "(no symbols)", info.entry))
    elif base == "twsnap.exe":
        report(info.subsystem == 3, name, "console subsystem (Subsystem %d)" % info.subsystem)
    elif base == "shelflib.dll":
        table = ", ".join("@%d %s" % export for export in info.exports) or "nothing"
        report(info.exports == [(1, "UninstallFiles")], name, "exports UninstallFiles @1 alone (export table: %s)" % table)


def check_package(objdump, build):
    """The laid-out package: every file present, programs without a console, boot sectors bootable."""
    folder = os.path.join(build, PACKAGE)
    for name in PACKAGE_FILES:
        report(os.path.isfile(os.path.join(folder, name)), PACKAGE, "%s laid out" % name)
    for name in PACKAGE_PROGRAMS:
        path = os.path.join(folder, name)
        if os.path.isfile(path):
            subsystem = PeInfo(objdump, path).subsystem
            report(subsystem == GUI_SUBSYSTEM, PACKAGE + "/" + name, "Windows GUI subsystem (Subsystem %d)" % subsystem)
    for name in PACKAGE_BOOT_SECTORS:
        path = os.path.join(folder, name)
        if os.path.isfile(path):
            data = open(path, "rb").read()
            report(len(data) == 512 and data[510:] == b"\x55\xaa", PACKAGE + "/" + name,
                   "512-byte boot sector with 0x55AA (%d bytes)" % len(data))
    packaged, release = os.path.join(folder, "kest", "twrepair.exe"), os.path.join(build, "engine", "twrepair.exe")
    if os.path.isfile(packaged) and os.path.isfile(release):
        report(open(packaged, "rb").read() == open(release, "rb").read(), PACKAGE + "/kest/twrepair.exe",
               "is the release engine/twrepair.exe")


def entry_symbol(path, info):
    """The global symbol at the entry point, when the binary keeps its symbols."""
    nm = run_tool([find_objdump().replace("objdump", "nm"), path], capture_output=True, text=True).stdout
    address = info.image_base + info.entry
    for line in nm.splitlines():
        parts = line.split()
        if len(parts) == 3 and parts[1] == "T" and int(parts[0], 16) == address:
            return parts[2]
    return None


def allowed_imports():
    """What XP SP3's kernel32.dll and msvcrt.dll export, by DLL; reports whether the lists are there."""
    lists = all(os.path.exists(os.path.join(XP_IMPORTS, d.split(".")[0] + "-allowed.txt")) for d in CHECKED_DLLS)
    report(lists, "xp-imports", "allowed lists in %s" % XP_IMPORTS)
    # Without the lists every imported name counts as missing.
    return {dll: load_allowed(dll) if lists else set() for dll in CHECKED_DLLS}


def windows_binaries(folder):
    """Every .exe and .dll beneath folder in a stable order; CMake's compiler probes and the
    test pieces of the release's Wine tour (tour32/, built on demand) aside."""
    binaries = []
    for parent, dirs, files in os.walk(folder):
        dirs[:] = sorted(d for d in dirs if d != "CMakeFiles" and not (parent == folder and d == TOUR_PIECES))
        binaries += [os.path.join(parent, f) for f in sorted(files) if f.lower().endswith((".exe", ".dll"))]
    return binaries


def summary(tool):
    """Prints the closing line of a checking tool and returns its exit status."""
    failed = results.count(False)
    print("%s: %d passed, %d failed" % (tool, results.count(True), failed))
    return 1 if failed else 0
