#!/usr/bin/env python3
"""File and folder times survive a pack and extract in a zone with daylight saving.

usage: test_file_times.py SFXPACK [--wine]
A July and a January time stamp are packed and extracted in Europe/Berlin: whatever the season
today, one of them lies in the other season, where converting with today's UTC offset alone is
an hour off. The payload must hold each file's wall clock of its own moment (read by the
independent reader), and the extracted files and folders must carry the original moments.
"""
import calendar
import os
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import read_payload  # noqa: E402

JULY = calendar.timegm((2021, 7, 1, 10, 30, 15))    # 12:30:15 in Berlin (CEST)
JANUARY = calendar.timegm((2021, 1, 15, 11, 30, 15))  # 12:30:15 in Berlin (CET)
WALL_CLOCK = {JULY: calendar.timegm((2021, 7, 1, 12, 30, 15)), JANUARY: calendar.timegm((2021, 1, 15, 12, 30, 15))}


def filetime(seconds):
    return (seconds + 11644473600) * 10**7


WINE_RUN = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "cmake", "wine-run")


def main():
    # With --wine, SFXPACK is the Windows build: Windows' own time calls, under Wine.
    sfxpack = [WINE_RUN, sys.argv[1]] if "--wine" in sys.argv else [sys.argv[1]]
    env = dict(os.environ, TZ="Europe/Berlin")
    work = tempfile.mkdtemp(prefix="sfx-times-")
    failures = []
    try:
        src = os.path.join(work, "src")
        os.makedirs(os.path.join(src, "summer dir"))
        os.makedirs(os.path.join(src, "winter dir"))
        stamps = {"summer.txt": JULY, "winter.txt": JANUARY, "summer dir": JULY, "winter dir": JANUARY}
        for name, moment in stamps.items():
            path = os.path.join(src, name)
            if not name.endswith("dir"):
                with open(path, "w") as f:
                    f.write(name)
            os.utime(path, (moment, moment))
        payload = os.path.join(work, "times.bin")
        subprocess.run(sfxpack + ["build", "-o", payload, "--payload-only", src], check=True, env=env,
                       stdout=subprocess.DEVNULL)
        with open(payload, "rb") as f:
            _, _, _, entries = read_payload.read_payload(f.read(), None)
        for kind, name, ftime, attributes, content in entries:
            want = filetime(WALL_CLOCK[stamps[name]])
            if ftime != want:
                failures.append("payload time of %s is %d, wall clock %d" % (name, ftime, want))
        out = os.path.join(work, "out")
        subprocess.run(sfxpack + ["extract", payload, "-d", out], check=True, env=env, stdout=subprocess.DEVNULL)
        for name, moment in stamps.items():
            got = int(os.stat(os.path.join(out, name)).st_mtime)
            if got != moment:
                failures.append("extracted %s has %d, packed %d (off by %+d s)" % (name, got, moment, got - moment))
    finally:
        shutil.rmtree(work)
    for f in failures:
        print("FAIL:", f)
    print("%d passed, %d failed" % (0 if failures else 1, 1 if failures else 0))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
