#!/usr/bin/env python3
"""The sealed encryption scheme end to end, checked against sealed_scheme.py on PyNaCl (an
independent implementation on Debian's python3-nacl): read_payload.py opens what sfxpack sealed,
the stub extracts a payload that sealed_scheme.py wrote, and a payload changed anywhere after
sealing fails. A changed byte in any sealed message, a chunk moved, swapped between files or
dropped, entries cut off, fails that file with exit 13 and leaves no trace of it; a changed
header, named value or settings document, or derivation parameters beyond the bounds, fail the
run before anything is written. Every run is silent (-silent), so that no message box waits.

usage: test_sealed.py native SFXPACK STUB
       test_sealed.py wine WINE_RUN SFXPACK_EXE STUB_EXE
"""
import os
import random
import struct
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import program_runs  # noqa: E402
import read_payload  # noqa: E402
import sealed_scheme  # noqa: E402
import wine_server  # noqa: E402

WINE, WINE_RUN, SFXPACK, STUB = program_runs.tool_arguments(sys.argv, __doc__)

ENV = dict(os.environ, TZ="UTC", LANG="C.UTF-8", WINEDEBUG="-all")
if WINE:
    ENV["SFX_WINEPREFIX"] = os.path.abspath(os.environ.get("SFX_WINEPREFIX", "wineprefix")) + "-sealed"
WORK = tempfile.mkdtemp(prefix="sfx-sealed-")
# The Linux stub takes -pwd as it comes (UTF-8), so only Windows gets the code-page test.
PASSWORD = "s\u00e9same ouvre-toi" if WINE else "sesame ouvre-toi"
PASSWORD_BYTES = PASSWORD.encode("cp1252")
# Cheap derivation for the many runs; the defaults are measured by the benchmark.
FAST_KDF = ["--kdf-memory", "1", "--kdf-passes", "1"]
AUTO = ["--set", "ShowMain=0", "--set", "ShowProgress=0", "--chunk-size", "65536"]
RUNS = program_runs.Runs(WINE_RUN, ENV, WORK, 120)
check, win = program_runs.check, RUNS.win
DAMAGED, WRONG_PASSWORD = 13, 86
# A sealed name is its UTF-8 bytes and the nonce and tag.
SEALED_NAME_LENGTH = {"first.bin": len("first.bin") + sealed_scheme.SEALED_EMPTY}


def make_samples(root):
    rnd = random.Random(29)
    files = {
        "first.bin": rnd.randbytes(150000),
        "sub/second.txt": "".join("line %d of a text that deflates\n" % i for i in range(6000)).encode(),
        "sub/third.bin": rnd.randbytes(140000),
        "empty.txt": b"",
        "exact.bin": rnd.randbytes(65536),
    }
    for name, data in files.items():
        path = os.path.join(root, *name.split("/"))
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data)
    return files


def pack(name, samples, extra=()):
    exe = os.path.join(WORK, name + (".exe" if WINE else ""))
    code, err = RUNS.run([SFXPACK, "build", "-o", win(exe), "--stub", win(STUB), "--password", PASSWORD]
                         + FAST_KDF + AUTO + list(extra) + [win(samples)], WINE)
    if code != 0:
        raise RuntimeError("sfxpack failed: " + err)
    return exe


def extract(exe, label, password=PASSWORD):
    """Exit code (low byte), output folder and run log of a silent run."""
    target = os.path.join(WORK, "out " + label)
    log = os.path.join(WORK, label.replace(" ", "_") + ".log")
    code, out = RUNS.run([exe, "-silent", "-pwd", password, "-unzipDir", win(target), "-log", win(log), "-verbose"],
                         WINE)
    text = open(log, "rb").read().decode("utf-8", "replace") if os.path.exists(log) else ""
    return code & 0xFF, target, text + out


def tree(root):
    found = {}
    for folder, _dirs, names in os.walk(root):
        for n in names:
            path = os.path.join(folder, n)
            found[os.path.relpath(path, root).replace(os.sep, "/")] = open(path, "rb").read()
    return found


def written(exe, data, label):
    broken = os.path.join(WORK, label.replace(" ", "_") + (".exe" if WINE else ""))
    with open(broken, "wb") as f:
        f.write(data)
    os.chmod(broken, 0o755)
    return broken


def payload_map(data):
    """Where read_payload.py finds each part of a sealed payload: the named values' bytes, the
    section, and per file its name and chunk spans [(offset of the size word, end)]."""
    spans = []
    read_payload.read_payload(bytes(data), PASSWORD_BYTES, spans)
    chunks = {}
    for name, offset, size, _stored in spans:
        chunks.setdefault(name.replace("\\", "/"), []).append((offset - 4, offset + size))
    return chunks


def check_sfxpack_payload_opens_independently(samples, files):
    exe = pack("sealed", samples)
    data = open(exe, "rb").read()
    info = {}
    encrypted, _bits, values, entries = read_payload.read_payload(data, PASSWORD_BYTES, info=info)
    check(encrypted and info["scheme"] == "sealed", "sfxpack --password did not write the sealed scheme")
    got = {n.replace("\\", "/"): c for kind, n, _t, _a, c in entries if kind == 2}
    check(got == files, "read_payload.py read other files: %r" % sorted(got))
    crcs = read_payload.check_values(values, sealed_key=info["key"])
    check(crcs is not None and len(crcs) == len(files), "the sealed check values do not open: %r" % crcs)
    try:
        read_payload.read_payload(data, PASSWORD_BYTES + b" ")
        check(False, "read_payload.py accepted a wrong password")
    except ValueError as e:
        check("wrong password" in str(e), "wrong password: %s" % e)
    code, target, log = extract(exe, "sealed")
    check(code == 0 and tree(target) == files, "the stub did not extract its own sealed payload: %d %s" % (code, log))
    code, target, log = extract(exe, "sealed wrong", "sesame")
    check(code == WRONG_PASSWORD and not os.path.exists(target), "a wrong password gave %d: %s" % (code, log))
    check("********" in log or "-pwd" not in log, "the password is not masked in the run log")
    check(PASSWORD not in log, "the password shows in the run log")
    return exe


def check_python_payload_extracts(files):
    entries = [(1, "sub", 132000000000000000, 0x10, None)]
    entries += [(2, n.replace("/", "\\"), 132000000000000000, 0x20, c) for n, c in sorted(files.items())]
    settings = b'<SfxConfig><ShowMain>0</ShowMain><ShowProgress>0</ShowProgress><Encryption>1</Encryption></SfxConfig>'
    payload = sealed_scheme.write_payload(entries, [(b"xmlConfig", settings)], PASSWORD_BYTES, memory_kib=2048,
                                          passes=2)
    exe = written(None, open(STUB, "rb").read() + payload, "from python")
    code, target, log = extract(exe, "from python")
    check(code == 0 and tree(target) == files, "the stub did not extract the PyNaCl payload: %d %s" % (code, log))


def flip(data, at):
    data[at] ^= 0x20
    return data


def damaged_file_cases(exe):
    """(label, changed program bytes, name of the file that must fail or None for the run)."""
    data = bytearray(open(exe, "rb").read())
    chunks = payload_map(data)
    first, second, third = chunks["first.bin"], chunks["sub/second.txt"], chunks["sub/third.bin"]
    cases = []
    for label, (start, end) in (("first chunk", first[0]), ("middle chunk", first[1]), ("last chunk", first[-1])):
        cases.append(("byte in " + label, flip(bytearray(data), (start + 4 + end) // 2), "first.bin"))
        cases.append(("nonce of " + label, flip(bytearray(data), start + 4), "first.bin"))
        cases.append(("tag of " + label, flip(bytearray(data), end - 1), "first.bin"))
    # The last-chunk flag (bit 30 of the size word) cleared on the last chunk, set on the first.
    for label, at in (("last flag cleared", first[-1][0] + 3), ("last flag set early", first[0][0] + 3)):
        changed = bytearray(data)
        changed[at] ^= 0x40
        cases.append((label, changed, "first.bin"))
    (a0, a1), (b0, b1) = first[0], first[1]
    cases.append(("chunks reordered", data[:a0] + data[b0:b1] + data[a0:a1] + data[b1:], "first.bin"))
    (c0, c1), (d0, d1) = first[0], third[0]
    cases.append(("chunk from another file", data[:d0] + data[c0:c1] + data[d1:], "sub/third.bin"))
    cases.append(("middle chunk dropped", bytearray(data[:first[1][0]]) + data[first[1][1]:], "first.bin"))
    cases.append(("last chunk dropped", bytearray(data[:first[-1][0]]) + data[first[-1][1]:], "first.bin"))
    cases.append(("chunk in a text file", flip(bytearray(data), (second[0][0] + second[0][1]) // 2), "sub/second.txt"))
    return cases, data, chunks


def check_damaged_files(exe, files):
    cases, data, chunks = damaged_file_cases(exe)
    for label, changed, name in cases:
        code, target, log = extract(written(exe, changed, label), label)
        check(code == DAMAGED, "%s: exit %d, not 13: %s" % (label, code, log[-300:]))
        check(not os.path.exists(os.path.join(target, *name.split("/"))), "%s: the damaged %s stayed" % (label, name))
        check("Failed to decrypt" in log or "cut short" in log or "last chunk" in log,
              "%s: no clear message: %s" % (label, log[-300:]))
    # The entries cut off after the second file behind a forged end entry.
    after = chunks["first.bin"][-1][1] + 4
    cut = bytearray(data[:after]) + struct.pack("<IB", sealed_scheme.ENTRY_MARKER, 0)
    code, target, log = extract(written(exe, cut, "entries cut off"), "entries cut off")
    check(code == DAMAGED and "ends before its last entry" in log, "entries cut off: exit %d: %s" % (code, log[-300:]))
    # The first entry's sealed name changed: nothing can be written under it.
    first_entry = chunks["first.bin"][0][0] - 12 - SEALED_NAME_LENGTH["first.bin"]
    code, target, log = extract(written(exe, flip(bytearray(data), first_entry + 30), "name"), "name")
    check(code == DAMAGED and "first.bin" not in tree(target), "changed name: exit %d: %s" % (code, log[-300:]))


def section_at(data):
    start = read_payload.find_marker(bytes(data))[0]
    r = read_payload.Reader(bytes(data), start + 14)
    while True:
        n = r.u16()
        if n == 0:
            return start, r.pos
        r.take(n)
        r.take(r.u16())


def check_changed_header(exe):
    data = bytearray(open(exe, "rb").read())
    start, section = section_at(data)
    settings = data.find(b"<SfxConfig", start)
    big = bytearray(data)
    big[section:section + 4] = struct.pack("<I", 1024 * 1024 + 1)
    passes = bytearray(data)
    passes[section + 4:section + 8] = struct.pack("<I", 33)
    salt = bytearray(data)
    salt[section + 12] = 15
    count = bytearray(data)
    count[section + 8] ^= 1
    cases = [
        ("settings changed", flip(bytearray(data), settings + 5)),
        ("key size byte changed", flip(bytearray(data), start + 13)),
        ("entry count changed", count),
        ("authenticator changed", flip(bytearray(data), section + sealed_scheme.SECTION_SIZE - 3)),
        ("memory above 1 GiB", big),
        ("passes above the limit", passes),
        ("salt of the wrong length", salt),
    ]
    for label, changed in cases:
        code, target, log = extract(written(exe, changed, label), label)
        check(code == DAMAGED, "%s: exit %d, not 13: %s" % (label, code, log[-300:]))
        check(not os.path.exists(target) or not os.listdir(target), "%s: files were written" % label)
        check("damaged or was changed" in log, "%s: no clear message: %s" % (label, log[-300:]))
    # A changed salt derives another key: to the stub that is a wrong password.
    code, target, log = extract(written(exe, flip(bytearray(data), section + 20), "salt"), "salt")
    check(code == WRONG_PASSWORD and not os.path.exists(target), "changed salt: exit %d: %s" % (code, log[-300:]))
    # The settings changed to drop the password: the payload still asks for one.
    unlocked = bytearray(data).replace(b"<Encryption>1</Encryption>", b"<Encryption>0</Encryption>")
    check(unlocked != data, "no Encryption setting to change")
    code, target, log = extract(written(exe, unlocked, "encryption off"), "encryption off", "wrong")
    check(code == WRONG_PASSWORD, "settings saying unencrypted skipped the password: %d %s" % (code, log[-300:]))


def main():
    samples = os.path.join(WORK, "samples")
    files = make_samples(samples)
    exe = check_sfxpack_payload_opens_independently(samples, files)
    check_python_payload_extracts(files)
    check_damaged_files(exe, files)
    check_changed_header(exe)
    return program_runs.finish(WORK)


if __name__ == "__main__":
    with wine_server.held(ENV, WINE):
        code = main()
    sys.exit(code)
