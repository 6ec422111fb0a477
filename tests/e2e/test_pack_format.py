#!/usr/bin/env python3
"""sfxpack writes the payload format: checked by the independent reader in read_payload.py.

usage: test_pack_format.py SFXPACK
Packs a varied tree (nested folders, an empty folder, an empty file, a read-only file, a
non-ASCII name, incompressible data over several chunks, highly compressible data) at several
levels and chunk sizes, then checks contents, order, times and attributes entry by entry.
"""
import os
import random
import shutil
import stat
import subprocess
import sys
import tempfile
import time
import zlib

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import read_payload  # noqa: E402

failures = []


def check(condition, message):
    if not condition:
        failures.append(message)


def make_tree(root):
    rnd = random.Random(7)
    os.makedirs(os.path.join(root, "deep", "er", "est"))
    os.makedirs(os.path.join(root, "empty dir"))
    with open(os.path.join(root, "empty.txt"), "wb"):
        pass
    with open(os.path.join(root, "deep", "er", "est", "leaf.txt"), "w") as f:
        f.write("leaf\n" * 1000)
    with open(os.path.join(root, "random.bin"), "wb") as f:
        f.write(bytes(rnd.getrandbits(8) for _ in range(700000)))
    with open(os.path.join(root, "runs.bin"), "wb") as f:
        f.write(b"\0" * 900000 + b"x" * 10)
    with open(os.path.join(root, "caf\u00e9 \u65e5\u672c.txt"), "w", encoding="utf-8") as f:
        f.write("non-ascii name")
    ro = os.path.join(root, "readonly.txt")
    with open(ro, "w") as f:
        f.write("do not touch")
    os.chmod(ro, stat.S_IRUSR | stat.S_IRGRP | stat.S_IROTH)
    stamp = time.mktime((2021, 7, 1, 12, 30, 15, 0, 0, -1))
    os.utime(os.path.join(root, "empty.txt"), (stamp, stamp))


def expected_entries(root):
    out = []

    def walk(dir_path, prefix):
        for name in sorted(os.listdir(dir_path), key=lambda n: n.encode("utf-8")):
            full = os.path.join(dir_path, name)
            rel = prefix + name
            out.append((full, rel, os.path.isdir(full)))
            if os.path.isdir(full):
                walk(full, rel + "\\")
    walk(root, "")
    return out


def local_filetime(seconds):
    offset = time.localtime(int(seconds)).tm_gmtoff
    return int(round((seconds + offset) * 10**7)) + 116444736000000000


def run_case(sfxpack, root, work, args, password=None):
    out = os.path.join(work, "payload.bin")
    subprocess.run([sfxpack, "build", "-o", out, "--payload-only"] + args + [root], check=True,
                   stdout=subprocess.DEVNULL)
    with open(out, "rb") as f:
        data = f.read()
    label = " ".join(args) or "defaults"
    if password is not None:
        try:
            read_payload.read_payload(data, password + b" ")
            check(False, "%s: a wrong password was accepted" % label)
        except ValueError as e:
            check("wrong password" in str(e), "%s: %s" % (label, e))
    encrypted, key_bits, values, entries = read_payload.read_payload(data, password)
    check(encrypted == (password is not None), "%s: encrypted flag %d" % (label, encrypted))
    if "--key-bits" in args:
        check(key_bits == int(args[args.index("--key-bits") + 1]), "%s: key bits %d" % (label, key_bits))
    # The check values against Python's zlib: one CRC-32 per file, in entry order.
    crcs = read_payload.check_values(values, password, key_bits)
    if "--no-check" in args:
        check(crcs is None, "%s: check values written with --no-check" % label)
    else:
        files = [zlib.crc32(e[4]) for e in entries if e[0] == 2]
        check(crcs == files, "%s: check values %s, want %s" % (label, crcs, files))
        if password is not None:
            check(all(b"%08x" % c not in values[b"fileCrc32"] for c in files),
                  "%s: a check value of an encrypted payload is readable" % label)
    want = expected_entries(root)
    check([e[1] for e in entries] == [w[1] for w in want],
          "%s: entry names/order differ:\n  got  %s\n  want %s" % (label, [e[1] for e in entries], [w[1] for w in want]))
    for (kind, name, ftime, attributes, content), (full, rel, is_dir) in zip(entries, want):
        st = os.stat(full)
        check(kind == (1 if is_dir else 2), "%s: %s has type %d" % (label, rel, kind))
        check(abs(ftime - local_filetime(st.st_mtime)) < 10**7,
              "%s: %s time %d, want %d" % (label, rel, ftime, local_filetime(st.st_mtime)))
        read_only = not is_dir and not (st.st_mode & stat.S_IWUSR)
        check(bool(attributes & 1) == read_only, "%s: %s read-only bit in 0x%x" % (label, rel, attributes))
        check(bool(attributes & 0x10) == is_dir, "%s: %s directory bit in 0x%x" % (label, rel, attributes))
        if not is_dir:
            with open(full, "rb") as f:
                check(content == f.read(), "%s: %s content differs" % (label, rel))


def main():
    sfxpack = sys.argv[1]
    work = tempfile.mkdtemp(prefix="sfxpack-format-")
    try:
        root = os.path.join(work, "tree")
        make_tree(root)
        for args in ([], ["--level", "0"], ["--level", "9", "--chunk-size", "65536"], ["--chunk-size", "1"],
                     ["--no-check"]):
            run_case(sfxpack, root, work, args)
        for bits in ("128", "192", "256"):
            run_case(sfxpack, root, work, ["--password", "Pass word", "--key-bits", bits, "--chunk-size", "300000"],
                     b"Pass word")
        bad = subprocess.run([sfxpack, "build", "-o", os.path.join(work, "x"), "--payload-only",
                              os.path.join(work, "missing")], capture_output=True, text=True)
        check(bad.returncode != 0 and "missing" in bad.stderr, "a missing source is not reported: %r" % bad.stderr)
        check(not os.path.exists(os.path.join(work, "x")), "a failed build left an output file")
    finally:
        for dirpath, _, files in os.walk(work):
            for name in files:
                os.chmod(os.path.join(dirpath, name), stat.S_IRUSR | stat.S_IWUSR)
        shutil.rmtree(work)
    for f in failures:
        print("FAIL:", f)
    print("%d passed, %d failed" % (1 if not failures else 0, 1 if failures else 0))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
