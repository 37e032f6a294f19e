# Lays out a sample Windows XP drive for the demo and the benchmark.
# make_sample_drive DIR SYSTEM_BYTES SOFTWARE_BYTES SAM_BYTES NTUSER_BYTES
make_sample_drive() {
  local drive=$1 profile="Documents and Settings/Administrator"
  mkdir -p "$drive/WINDOWS/system32/config" "$drive/WINDOWS/twsafe" "$drive/WINDOWS/temp" "$drive/$profile"
  head -c "$2" /dev/urandom >"$drive/WINDOWS/system32/config/system"
  head -c "$3" /dev/urandom >"$drive/WINDOWS/system32/config/software"
  head -c "$4" /dev/urandom >"$drive/WINDOWS/system32/config/SAM"
  head -c "$5" /dev/urandom >"$drive/$profile/NTUSER.DAT"
  python3 - "$drive" <<'PY'
import sys
drive = sys.argv[1]
def profile(count, slots, total=None):
    data = b"".join(s.encode("gbk").ljust(100, b"\0") for s in ["IndexNum=%d" % count] + slots)
    return data.ljust(100 * (total or len(slots) + 1), b"\0")
settings = ["Backup0=2", "userpath=\\??\\C:\\Documents*and*Settings\\Administrator",
            "syspath=C:\\WINDOWS", "InsSign=4321", "IsRepair=000", "SignRun=000"]
open(drive + "/WINDOWS/wispdata.dat", "wb").write(profile(len(settings), settings))
index = ["1111-11-11\t0\t1"] + [""] * 14 + ["1000-1-%d\t0\t0" % k for k in range(16, 31)]
open(drive + "/WINDOWS/twsafe/bkinfo.dat", "wb").write(profile(1, index, 31))
PY
  # The installation snapshot the control panel writes from the \repair copies.
  cp "$drive/WINDOWS/system32/config/SAM" "$drive/WINDOWS/twsafe/11111111.xff"
}
