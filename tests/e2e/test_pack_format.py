#!/usr/bin/env python3
"""sfxpack writes the payload format: checked by the independent reader in read_payload.py.

usage: test_pack_format.py SFXPACK
Packs a varied tree (nested folders, an empty folder, an empty file, a read-only file, a
non-ASCII name, incompressible data over several chunks, highly compressible data) at every
level and several chunk sizes, then checks contents, order, times and attributes entry by entry.
Also: the bytes do not depend on the number of jobs or on the run, and --reproducible clamps the
entry times to SOURCE_DATE_EPOCH.
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


def build(sfxpack, root, out, args, env=None):
    subprocess.run([sfxpack, "build", "-o", out, "--payload-only"] + args + [root], check=True,
                   stdout=subprocess.DEVNULL, env=env)
    with open(out, "rb") as f:
        return f.read()


def check_same_bytes(sfxpack, root, work):
    # The classic scheme only: the sealed one draws a new salt and nonces for every build.
    for args in ([], ["--password", "pw", "--encryption", "classic", "--chunk-size", "65536", "--level", "12"]):
        runs = {jobs: build(sfxpack, root, os.path.join(work, "jobs%s.bin" % jobs), args + ["--jobs", jobs])
                for jobs in ("1", "2", "8")}
        check(runs["1"] == runs["2"] == runs["8"], "%r: 1, 2 and 8 jobs give different bytes" % args)
        again = build(sfxpack, root, os.path.join(work, "again.bin"), args + ["--jobs", "2"])
        check(again == runs["2"], "%r: two builds differ" % args)


def check_reproducible(sfxpack, root, work):
    """Entries later than SOURCE_DATE_EPOCH take its time; older ones keep theirs."""
    old = time.mktime((2021, 7, 1, 12, 30, 15, 0, 0, -1))
    epoch = int(old) + 86400
    env = dict(os.environ, TZ="UTC", SOURCE_DATE_EPOCH=str(epoch))
    out = os.path.join(work, "reproducible.bin")
    entries = read_payload.read_payload(build(sfxpack, root, out, ["--reproducible"], env), None)[3]
    clamped = int(epoch) * 10**7 + 116444736000000000
    times = {name: ftime for _, name, ftime, _, _ in entries}
    check(abs(times["empty.txt"] - (int(old) * 10**7 + 116444736000000000)) < 10**7,
          "an older entry lost its time: %d" % times["empty.txt"])
    others = [name for name in times if name != "empty.txt"]
    check(all(times[name] == clamped for name in others),
          "newer entries not clamped: %r" % {n: times[n] for n in others if times[n] != clamped})
    unclamped = read_payload.read_payload(build(sfxpack, root, out, [], env), None)[3]
    check(any(ftime > clamped for _, _, ftime, _, _ in unclamped), "without --reproducible nothing is clamped")
    bad = subprocess.run([sfxpack, "build", "-o", out, "--payload-only", "--reproducible", root],
                         capture_output=True, env=dict(env, SOURCE_DATE_EPOCH="yesterday"))
    check(bad.returncode == 2 and b"SOURCE_DATE_EPOCH" in bad.stderr, "a bad SOURCE_DATE_EPOCH: %r" % bad.stderr)


def run_case(sfxpack, root, work, args, password=None):
    out = os.path.join(work, "payload.bin")
    build(sfxpack, root, out, args)
    with open(out, "rb") as f:
        data = f.read()
    label = " ".join(args) or "defaults"
    if password is not None:
        try:
            read_payload.read_payload(data, password + b" ")
            check(False, "%s: a wrong password was accepted" % label)
        except ValueError as e:
            check("wrong password" in str(e), "%s: %s" % (label, e))
    info = {}
    encrypted, key_bits, values, entries = read_payload.read_payload(data, password, info=info)
    check(encrypted == (password is not None), "%s: encrypted flag %d" % (label, encrypted))
    if "--key-bits" in args:
        check(key_bits == int(args[args.index("--key-bits") + 1]), "%s: key bits %d" % (label, key_bits))
    # The check values against Python's zlib: one CRC-32 per file, in entry order.
    crcs = read_payload.check_values(values, password, key_bits, info["key"])
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
        for args in ([], ["--level", "9", "--chunk-size", "65536"], ["--chunk-size", "1", "--level", "1"],
                     ["--no-check"]):
            run_case(sfxpack, root, work, args)
        for level in range(13):
            run_case(sfxpack, root, work, ["--level", str(level), "--chunk-size", "300000", "--jobs", "3"])
        check_same_bytes(sfxpack, root, work)
        check_reproducible(sfxpack, root, work)
        for bits in ("128", "192", "256"):
            run_case(sfxpack, root, work, ["--password", "Pass word", "--encryption", "classic", "--key-bits", bits,
                                           "--chunk-size", "300000"], b"Pass word")
        run_case(sfxpack, root, work, ["--password", "Pass word", "--kdf-memory", "8", "--kdf-passes", "1",
                                       "--chunk-size", "300000"], b"Pass word")
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
