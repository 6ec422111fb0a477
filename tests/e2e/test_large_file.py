#!/usr/bin/env python3
"""A file beyond 4 GiB, in each layout, packs, tests, lists and extracts whole.

usage: test_large_file.py native SFXPACK STUB
       test_large_file.py wine WINE_RUN SFXPACK_EXE STUB_EXE [CODEC...]
The source is a sparse file of 4 GiB and a little more, with marked bytes where a 32-bit size or
offset would go wrong: at its start, across the 4 GiB line and at its end; a small file follows
it, so that the next entry's place in the solid stream lies beyond 4 GiB too. `sfxpack test`
checks the check values, `list` must show the whole size, and the program extracts it in the
automatic mode; `cmp` against the source judges the extracted bytes.
"""
import os
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import program_runs  # noqa: E402
import wine_server  # noqa: E402

ALL_CODECS = ("deflate", "zstd", "xz")
WINE, WINE_RUN, SFXPACK, STUB = program_runs.tool_arguments([a for a in sys.argv if a not in ALL_CODECS], __doc__)
CODECS = [a for a in sys.argv if a in ALL_CODECS] or ALL_CODECS

ENV = dict(os.environ, TZ="UTC", WINEDEBUG="-all")
if WINE:
    # A prefix of its own, whose desktop lives on this run's display: in a prefix shared with
    # tests on other displays, the desktop one of them started goes with that display, and a
    # window made then fails.
    ENV["SFX_WINEPREFIX"] = os.path.abspath(os.environ.get("SFX_WINEPREFIX", "wineprefix")) + "-large-file"
WORK = tempfile.mkdtemp(prefix="sfx-large-")
RUNS = program_runs.Runs(WINE_RUN, ENV, WORK, 900)
check, win = program_runs.check, RUNS.win
SIZE = (1 << 32) + (1 << 20) + 7
MARKS = {0: b"first bytes", (1 << 32) - 5: b"across 4 GiB", SIZE - 9: b"the end!\n"}
AFTER = b"a small file whose place in the stream lies beyond 4 GiB\n"
# The fastest level of each codec: the content is almost all zeros, and the sizes are what is under test.
LEVEL = {"deflate": "1", "zstd": "1", "xz": "0"}


def make_source(root):
    os.makedirs(root)
    with open(os.path.join(root, "huge.bin"), "wb") as f:
        f.truncate(SIZE)
        for offset, mark in MARKS.items():
            f.seek(offset)
            f.write(mark)
    with open(os.path.join(root, "zz after.txt"), "wb") as f:
        f.write(AFTER)


def same_bytes(a, b):
    return subprocess.run(["cmp", "-s", a, b]).returncode == 0


def one_codec(codec, source):
    exe = os.path.join(WORK, codec + (".exe" if WINE else ""))
    code, out = RUNS.run([SFXPACK, "build", "-o", win(exe), "--stub", win(STUB), "--quiet", "--codec", codec,
                          "--level", LEVEL[codec], "--set", "ShowMain=0", "--set", "ShowProgress=0", win(source)],
                         WINE)
    if not check(code == 0, "%s: sfxpack build exited with %d: %s" % (codec, code, out[-500:])):
        return
    code, out = RUNS.run([SFXPACK, "test", win(exe)], WINE)
    check(code == 0, "%s: sfxpack test exited with %d: %s" % (codec, code, out[-500:]))
    code, out = RUNS.run([SFXPACK, "list", win(exe)], WINE)
    check(code == 0 and any(str(SIZE) in line and "huge.bin" in line for line in out.splitlines()),
          "%s: the list lacks huge.bin's whole size %d: %s" % (codec, SIZE, out[-500:]))
    target = os.path.join(WORK, "out-" + codec)
    code, out = RUNS.run([exe, "-silent", "-unzipDir", win(target)], WINE)
    if check(code == 0, "%s: the program exited with %d: %s" % (codec, code, out[-500:])):
        extracted = os.path.join(target, "huge.bin")
        check(os.path.getsize(extracted) == SIZE, "%s: huge.bin has %d bytes" % (codec, os.path.getsize(extracted)))
        check(same_bytes(extracted, os.path.join(source, "huge.bin")), "%s: huge.bin differs" % codec)
        with open(os.path.join(target, "zz after.txt"), "rb") as f:
            check(f.read() == AFTER, "%s: the file after it differs" % codec)
    # Each extraction is 4 GiB on disk: gone before the next.
    subprocess.run(["rm", "-rf", target, exe])


def main():
    source = os.path.join(WORK, "src")
    make_source(source)
    for codec in CODECS:
        one_codec(codec, source)
        print("%s done" % codec, flush=True)
    return program_runs.finish(WORK)


if __name__ == "__main__":
    with wine_server.held(ENV, WINE):
        code = main()
    sys.exit(code)
