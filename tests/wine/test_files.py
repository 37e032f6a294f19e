"""File helpers of the Python Wine tests: whole files in and out of the prefix's drive."""
import os


def read(path):
    with open(path, "rb") as f:
        return f.read()


def write(path, data):
    """Writes data to path, creating the folders above it."""
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)
