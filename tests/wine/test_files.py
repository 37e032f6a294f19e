"""File helpers of the Python Wine tests: whole files in and out of the prefix's drive, and the
profile file format (100-byte slots, slot 0 "IndexNum=%d", NUL-terminated code page 936 text)."""
import os

SLOT = 100


def read(path):
    with open(path, "rb") as f:
        return f.read()


def write(path, data):
    """Writes data to path, creating the folders above it."""
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def slot_texts(data):
    """The text of every slot, up to its NUL."""
    return [data[k:k + SLOT].split(b"\0", 1)[0].decode("gbk", "replace") for k in range(0, len(data), SLOT)]

