#!/usr/bin/env python3
"""The stub searches its own file for the container marker from the start, so the program's
image must not hold the 8 marker bytes anywhere: the first occurrence has to be the payload's.

usage: check_no_marker.py FILE...   (the archive library, the stub: whatever the stub is made of)
"""
import sys

MARKER = bytes.fromhex("07d26cbf2159abaa")


def main():
    paths = [p for p in sys.argv[1:] if p]  # the stub's slot is empty until it is built
    found = []
    for path in paths:
        with open(path, "rb") as f:
            if MARKER in f.read():
                found.append(path)
    for path in found:
        print("FAIL: %s holds the container marker" % path)
    print("%d passed, %d failed" % (len(paths) - len(found), len(found)))
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
