"""Prints a snapshot index (bkinfo.dat) as a table, marking which snapshot files exist."""
import os
import sys

path = sys.argv[1]
folder = os.path.dirname(path)
data = open(path, "rb").read()
slot = lambda k: data[100 * k:100 * k + 100].split(b"\0")[0].decode("gbk", "replace")
count = int(slot(0).split("=")[1])
print("%-5s %-12s %-5s %-7s %s" % ("slot", "date", "Sign", "IsShow", "snapshot file"))
for k in range(1, 31):
    fields = slot(k).split("\t")
    if len(fields) != 3:
        continue
    date, sign, show = fields
    try:
        y, m, d = (int(x) for x in date.split("-"))
        name = "%d%02d%02d.xff" % (y, m, d)
    except ValueError:
        name = "?"
    state = "present" if os.path.exists(os.path.join(folder, name)) else "-"
    tier = "top" if k <= 15 else "carry"
    marker = "" if k <= count else "   (beyond the count: template placeholder)"
    print("%-5d %-12s %-5s %-7s %s %s [%s]%s" % (k, date, sign, show, name, state, tier, marker))
print("count (IndexNum): %d" % count)
