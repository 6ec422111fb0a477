#!/usr/bin/env python3
"""Solid payloads (--codec zstd|xz) end to end. Each codec packs a tree with small blocks, so that
files span blocks and blocks hold many files; Python's own reader (read_payload.py: the lzma
module and the `zstd` tool) decodes the payload independently and must find the source files, in
an order where every folder comes before what it holds. The program then extracts it in the
automatic mode, plain and encrypted, with the "(file)" lines in entry order (natively also on
one processor, where no worker decodes); `sfxpack test` and
`extract` agree; the bytes are the same for any --jobs. Damaged payloads (a flipped byte in a
block, the last block dropped, a block added, a decoded size beyond the declared largest block,
a stored size that lies, a download cut short) make the program fail with exit code 13 under
-silent and leave no file of a damaged block on disk.

usage: test_solid.py native SFXPACK STUB
       test_solid.py wine WINE_RUN SFXPACK_EXE STUB_EXE
"""
import os
import random
import stat
import struct
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import program_runs  # noqa: E402
import read_payload  # noqa: E402
import wine_server  # noqa: E402

WINE, WINE_RUN, SFXPACK, STUB = program_runs.tool_arguments(sys.argv, __doc__)

ENV = dict(os.environ, TZ="UTC", WINEDEBUG="-all", SOURCE_DATE_EPOCH="1700000000")
WORK = tempfile.mkdtemp(prefix="sfx-solid-")
BLOCK = 65536
AUTO = ["--set", "ShowMain=0", "--set", "ShowProgress=0", "--block-size", str(BLOCK), "--reproducible"]
PASSWORD = "solid"
RUNS = program_runs.Runs(WINE_RUN, ENV, WORK, 120)
check, win = program_runs.check, RUNS.win


def run(args):
    return RUNS.run(args, WINE)


def make_tree(root):
    rnd = random.Random(26)
    files = {
        "docs/readme.txt": b"read me\n" * 3000,
        "docs/big.log": "".join("%d: entry %x\n" % (i, i * 7919) for i in range(40000)).encode(),
        "docs/noise.bin": rnd.randbytes(3 * BLOCK + 17),
        "bin/tool.dll": b"MZ" + bytes(rnd.randrange(8) for _ in range(90000)),
        "bin/Empty.txt": b"",
        "a.TXT": b"upper-case extension\n",
        "z/y/x/deep.txt": b"deep\n",
    }
    for i in range(60):
        files["many/file%02d.txt" % i] = ("small file %d\n" % i).encode() * (i + 1)
    for name, data in files.items():
        path = os.path.join(root, *name.split("/"))
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data)
    os.makedirs(os.path.join(root, "empty", "also empty"))
    os.chmod(os.path.join(root, "a.TXT"), stat.S_IRUSR | stat.S_IRGRP | stat.S_IROTH)
    return files


def pack(name, samples, extra):
    exe = os.path.join(WORK, name + (".exe" if WINE else ""))
    code, err = run([SFXPACK, "build", "-o", win(exe), "--stub", win(STUB), "--quiet"] + AUTO + extra + [win(samples)])
    if code != 0:
        raise RuntimeError("sfxpack failed: " + err)
    return exe


def payload_of(exe, password=None, blocks=None):
    with open(exe, "rb") as f:
        return read_payload.read_payload(f.read(), password and password.encode(), blocks=blocks)


def files_on_disk(root):
    found = {}
    for dirpath, _dirs, names in os.walk(root):
        for n in names:
            full = os.path.join(dirpath, n)
            with open(full, "rb") as f:
                found[os.path.relpath(full, root).replace(os.sep, "/")] = f.read()
    return found


def run_program(exe, target, log, extra=()):
    return run([exe] + list(extra) + ["-unzipDir", win(target), "-log", win(log), "-verbose"])


def check_independent(label, exe, files, password):
    _enc, _bits, _values, entries = payload_of(exe, password)
    seen_dirs = set()
    for kind, name, _time, _attrs, content in entries:
        parent = name.rsplit("\\", 1)[0] if "\\" in name else None
        check(parent is None or parent in seen_dirs, "%s: %s comes before its folder" % (label, name))
        if kind == 1:
            seen_dirs.add(name)
        else:
            check(files.get(name.replace("\\", "/")) == content, "%s: %s decodes to other bytes" % (label, name))
    names = [e[1].replace("\\", "/") for e in entries if e[0] == 2]
    check(sorted(names) == sorted(files), "%s: the payload holds %s" % (label, names))
    return names


def check_extraction(label, exe, files, order, password):
    label_ = label.replace(" ", "_")
    target, log = os.path.join(WORK, "out_" + label_), os.path.join(WORK, label_ + ".log")
    code, out = run_program(exe, target, log, ["-pwd", password] if password else [])
    check(code == 0, "%s: the program exited with %d: %s" % (label, code, out))
    check(files_on_disk(target) == files, "%s: the extracted files differ" % label)
    check(os.path.isdir(os.path.join(target, "empty", "also empty")), "%s: the empty folders are missing" % label)
    if not WINE:
        mode = os.stat(os.path.join(target, "a.TXT")).st_mode
        check(not mode & stat.S_IWUSR, "%s: a.TXT is not read-only" % label)
    text = open(log, "rb").read().decode("utf-8", errors="replace") if os.path.exists(log) else ""
    logged = [line[7:].replace("\\", "/") for line in text.split("\r\n") if line.startswith("(file) ")]
    check(logged == order, "%s: the run log's (file) lines are %s" % (label, logged))
    if not WINE:
        # One processor: every block is decoded on the run thread, with no workers.
        alone = target + "_one_cpu"
        code, out = run(["taskset", "-c", "0", exe, "-unzipDir", alone] + (["-pwd", password] if password else []))
        check(code == 0 and files_on_disk(alone) == files, "%s: on one processor: %d %s" % (label, code, out))
    secret = ["--password", password] if password else []
    code, out = run([SFXPACK, "test", win(exe)] + secret)
    check(code == 0 and "match their check values" in out, "%s: sfxpack test: %d %s" % (label, code, out))
    again = target + "_by_sfxpack"
    code, out = run([SFXPACK, "extract", win(exe), "-d", win(again)] + secret)
    check(code == 0 and files_on_disk(again) == files, "%s: sfxpack extract: %d %s" % (label, code, out))


def damaged(label, exe, files, order, damage, want, password=None):
    """Damages the payload where the independent reader finds its blocks and checks that the
    program fails with the message, exit 13 under -silent, and leaves no file of a damaged
    block (nor any file after it) on disk."""
    blocks = []
    payload_of(exe, password, blocks)
    with open(exe, "rb") as f:
        data = bytearray(f.read())
    first_lost = damage(data, blocks)
    broken = os.path.join(WORK, label.replace(" ", "_") + (".exe" if WINE else ""))
    with open(broken, "wb") as f:
        f.write(data)
    os.chmod(broken, 0o755)
    label_ = label.replace(" ", "_")
    target, log = os.path.join(WORK, "out_" + label_), os.path.join(WORK, label_ + ".log")
    code, _out = run_program(broken, target, log, ["-silent"] + (["-pwd", password] if password else []))
    check(code == 13, "%s: the program exited with %d, not 13" % (label, code))
    text = open(log, "rb").read().decode("utf-8", errors="replace") if os.path.exists(log) else ""
    check(want in text, "%s: the run log lacks %r:\n%s" % (label, want, text[-2000:]))
    # Files are written in entry order: those from the first block touched on are not complete.
    start, lost = 0, set()
    for name in order:
        if start + len(files[name]) > first_lost and files[name]:
            lost.add(name)
        start += len(files[name])
    left = files_on_disk(target) if os.path.isdir(target) else {}
    for name in lost:
        check(name not in left, "%s: %s stayed on disk" % (label, name))
    for name, content in left.items():
        check(files.get(name) == content, "%s: %s was left damaged" % (label, name))
    code, out = run([SFXPACK, "test", win(broken)] + (["--password", password] if password else []))
    check(code == 1, "%s: sfxpack test exited with %d" % (label, code))


def flip_in_block(index):
    def damage(data, blocks):
        at, stored, raw = blocks[index]
        data[at + 8 + stored // 2] ^= 0x10
        return index * BLOCK
    return damage


def drop_last_block(data, blocks):
    at, stored, _raw = blocks[-1]
    del data[at:at + 8 + stored]
    return (len(blocks) - 1) * BLOCK


def add_block(data, blocks):
    at, stored, _raw = blocks[-1]
    data[at + 8 + stored:at + 8 + stored] = data[at:at + 8 + stored]
    return 1 << 62


def raw_beyond_largest(data, blocks):
    at, _stored, raw = blocks[1]
    data[at + 4:at + 8] = struct.pack("<I", BLOCK + 1)
    return BLOCK


def stored_size_lies(data, blocks):
    at, _stored, _raw = blocks[1]
    data[at:at + 4] = struct.pack("<I", 0x7FFFFFF0)
    return BLOCK


def cut_short(data, blocks):
    at, stored, _raw = blocks[-1]
    del data[at + 8 + stored // 2:]
    return (len(blocks) - 1) * BLOCK


def main():
    samples = os.path.join(WORK, "samples")
    files = make_tree(samples)
    for codec in ("zstd", "xz"):
        exe = pack(codec, samples, ["--codec", codec, "--jobs", "1"])
        order = check_independent(codec, exe, files, None)
        with open(exe, "rb") as a, open(pack(codec + "-jobs3", samples, ["--codec", codec, "--jobs", "3"]), "rb") as b:
            check(a.read() == b.read(), "%s: --jobs 3 wrote other bytes than --jobs 1" % codec)
        check_extraction(codec, exe, files, order, None)
        secret = pack(codec + "-encrypted", samples, ["--codec", codec, "--password", PASSWORD])
        check(check_independent(codec + " encrypted", secret, files, PASSWORD) == order, "%s: encrypted order" % codec)
        check_extraction(codec + " encrypted", secret, files, order, PASSWORD)
        cases = [("flipped byte", flip_in_block(2), ""), ("last block dropped", drop_last_block,
                 "File data runs past the last block."), ("block added", add_block,
                 "The blocks hold more data than the files."), ("raw size beyond the largest", raw_beyond_largest,
                 "Block size is beyond the payload's limit."), ("stored size lies", stored_size_lies,
                 "Block size is beyond the payload's limit."), ("cut short", cut_short, "")]
        for label, damage, want in cases:
            damaged("%s %s" % (codec, label), exe, files, order, damage, want)
        damaged(codec + " encrypted flipped byte", secret, files, order, flip_in_block(1), "", PASSWORD)
    return program_runs.finish(WORK)


if __name__ == "__main__":
    with wine_server.held(ENV, WINE):
        code = main()
    sys.exit(code)
