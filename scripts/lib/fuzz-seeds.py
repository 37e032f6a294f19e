"""Writes seed inputs for the fuzz targets from the formats' own examples:
settings files, the shipped template index, and indexes the carry rule made."""
import os
import struct
import sys

out = sys.argv[1]


def profile(count, slots, total=None):
    data = b"".join(s.ljust(100, b"\0") for s in [b"IndexNum=%d" % count] + slots)
    return data.ljust(100 * (total or len(slots) + 1), b"\0")


def line(date, sign, show=b"1"):
    return b"\t".join([date, sign, show])


settings = profile(6, [b"Backup0=2", b"userpath=\\??\\C:\\user", b"syspath=C:\\WINDOWS",
                       b"InsSign=4321", b"IsRepair=111", b"SignRun=111"])
placeholders = [line(b"1000-1-%d" % k, b"0", b"0") for k in range(16, 31)]
template = profile(1, [line(b"1111-11-11", b"0")] + [b""] * 14 + placeholders, 31)
full_top = [line(b"2029-12-%d" % k, b"0") for k in range(1, 16)]
carrying = profile(17, full_top + [line(b"2029-1-1", b"1"), line(b"2029-1-2", b"1")] + placeholders[2:], 31)
wrapped = profile(30, full_top + [line(b"2028-1-%d" % k, b"1") for k in range(16, 31)], 31)

seeds = {
    "profile": {"settings": b"\x00\x03000" + settings, "appended": b"\x04" + profile(3, [b"a=1", b"b=2", b"c=3"]),
                "empty-value": b"\x00\x00" + profile(2, [b"IsRepair=", b"IsRepair=000"])},
    "index": {"template": template, "carrying": carrying, "wrapped": wrapped, "short": template[:1550]},
    "boot": {name: struct.pack(">H", len(settings)) + settings + index
             for name, index in (("template", template), ("carrying", carrying), ("wrapped", wrapped))},
}
for target, files in seeds.items():
    folder = os.path.join(out, target)
    os.makedirs(folder, exist_ok=True)
    for name, data in files.items():
        open(os.path.join(folder, name), "wb").write(data)
