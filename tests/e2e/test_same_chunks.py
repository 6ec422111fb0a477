#!/usr/bin/env python3
"""The Windows sfxpack.exe (under Wine) and the Linux sfxpack write the same chunks.

usage: test_same_chunks.py WINDOWS_SFXPACK NATIVE_SFXPACK
Both builds link the same libdeflate version, so for the same files and options every file's
chunks must be byte for byte the same, plain and encrypted, at a fast and the best level; entry
times and attributes may differ where the two file systems report them differently. Exits 77
(a skip) when the Linux build is not there.
"""
import os
import random
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import read_payload  # noqa: E402

WINE_RUN = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "cmake", "wine-run")


def make_tree(root):
    rnd = random.Random(17)
    os.makedirs(os.path.join(root, "sub", "deeper"))
    with open(os.path.join(root, "text.txt"), "w") as f:
        f.write("".join("row %d, value %d\n" % (i, rnd.randrange(1000)) for i in range(60000)))
    with open(os.path.join(root, "noise.bin"), "wb") as f:
        f.write(rnd.randbytes(200000))
    with open(os.path.join(root, "sub", "deeper", "mixed.bin"), "wb") as f:
        for _ in range(300):
            f.write(rnd.randbytes(rnd.randrange(1, 300)) * rnd.randrange(1, 20))
    open(os.path.join(root, "sub", "empty.txt"), "w").close()


def stored_chunks(data, password):
    """Every chunk as the payload holds it (still encrypted when the payload is), with its file."""
    spans = []
    read_payload.read_payload(data, password, spans)
    return [(name, stored, data[offset:offset + size]) for name, offset, size, stored in spans]


def main():
    windows, native = sys.argv[1], sys.argv[2]
    if not os.path.exists(native):
        print("no Linux sfxpack at %s: build the native preset first" % native)
        return 77
    failures = []
    work = tempfile.mkdtemp(prefix="sfxpack-same-")
    env = dict(os.environ, TZ="UTC", LANG="C.UTF-8")
    try:
        root = os.path.join(work, "tree")
        make_tree(root)
        for args in (["--level", "1"], ["--level", "12", "--chunk-size", "100000"],
                     ["--level", "9", "--password", "same key", "--encryption", "classic", "--chunk-size", "65536"]):
            outputs = []
            for label, command in (("windows", [WINE_RUN, windows]), ("native", [native])):
                out = os.path.join(work, label + ".bin")
                r = subprocess.run(command + ["build", "-o", out, "--payload-only", "--jobs", "2"] + args + [root],
                                   capture_output=True, env=env)
                if r.returncode != 0:
                    failures.append("%s %r: build failed: %r" % (label, args, r.stderr))
                    break
                with open(out, "rb") as f:
                    outputs.append(stored_chunks(f.read(), b"same key" if "--password" in args else None))
            if len(outputs) == 2 and outputs[0] != outputs[1]:
                names = [a[0] for a, b in zip(*outputs) if a != b]
                failures.append("%r: chunks differ for %r (or the entries differ)" % (args, names[:5]))
    finally:
        shutil.rmtree(work)
    for f in failures:
        print("FAIL:", f)
    print("%d passed, %d failed" % (0 if failures else 1, 1 if failures else 0))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
