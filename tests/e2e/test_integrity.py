#!/usr/bin/env python3
"""Damaged programs fail instead of installing damaged files. Each case builds a real
self-extracting program with sfxpack, damages its payload at a place read_payload.py finds
(independently of the project's reader), then runs it in the automatic mode and runs
`sfxpack test` and `extract` on it: each must fail naming the damaged file, and the file must
not be left on disk. A program built with --no-check still extracts as programs always did.

usage: test_integrity.py native SFXPACK STUB
       test_integrity.py wine WINE_RUN SFXPACK_EXE STUB_EXE DIALOG_DRIVER_EXE
Under Wine, run it inside `xvfb-run -a`: the error message box is read and answered by
DIALOG_DRIVER_EXE.
"""
import os
import random
import subprocess
import sys
import tempfile
import zlib

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import program_runs  # noqa: E402
import wine_server  # noqa: E402
import read_payload  # noqa: E402

MODE = sys.argv[1] if len(sys.argv) > 1 else ""
WINE = MODE == "wine"
if WINE and len(sys.argv) == 6:
    WINE_RUN, SFXPACK, STUB, DRIVER = (os.path.abspath(p) for p in sys.argv[2:6])
elif MODE == "native" and len(sys.argv) == 4:
    SFXPACK, STUB = (os.path.abspath(p) for p in sys.argv[2:4])
    WINE_RUN = DRIVER = None
else:
    sys.exit(__doc__)

TIMEOUT = 60
ENV = dict(os.environ, TZ="UTC", WINEDEBUG="-all")
if WINE:
    # A prefix of its own, whose Wine server has this run's display.
    ENV["SFX_WINEPREFIX"] = os.path.abspath(os.environ.get("SFX_WINEPREFIX", "wineprefix")) + "-integrity"
WORK = tempfile.mkdtemp(prefix="sfx-integrity-")
AUTO = ["--set", "ShowMain=0", "--set", "ShowProgress=0", "--chunk-size", "65536"]
PASSWORD = "integrity"
RUNS = program_runs.Runs(WINE_RUN, ENV, WORK, TIMEOUT)
failures, check, win = program_runs.failures, program_runs.check, RUNS.win


def run(args):
    return RUNS.run(args, WINE)


def make_samples(root):
    rnd = random.Random(15)
    os.makedirs(root)
    files = {
        "a_stored.bin": rnd.randbytes(200000),
        "b_text.txt": "".join("line %d of a text that deflates\n" % i for i in range(1500)).encode(),
        "c_last.txt": "".join("%d squared is %d\n" % (i, i * i) for i in range(12000)).encode(),
    }
    for name, data in files.items():
        with open(os.path.join(root, name), "wb") as f:
            f.write(data)
    return files


def pack(name, samples, extra=()):
    exe = os.path.join(WORK, name + (".exe" if WINE else ""))
    code, err = run([SFXPACK, "build", "-o", win(exe), "--stub", win(STUB)] + AUTO + list(extra) + [win(samples)])
    if code != 0:
        raise RuntimeError("sfxpack failed: " + err)
    return exe


def locate(exe, password=None):
    """Where read_payload finds every chunk, and each named value and entry record."""
    spans, places = [], {}
    with open(exe, "rb") as f:
        read_payload.read_payload(f.read(), password and password.encode(), spans, value_spans=places)
    return spans, places


def flip_stored(data, spans, _places):
    name, offset, size, stored = next(s for s in spans if s[0] == "a_stored.bin")
    assert stored
    data[offset + size // 2] ^= 0x04
    return name


def flip_deflated(data, spans, _places):
    """A flipped bit after which the chunk still inflates to the end, only to other bytes."""
    name, offset, size, stored = next(s for s in spans if s[0] == "b_text.txt")
    assert not stored
    original = bytes(data[offset:offset + size])
    plain = zlib.decompress(original, -15)
    for at in range(size // 2, size - 4):
        for bit in range(8):
            changed = bytearray(original)
            changed[at] ^= 1 << bit
            d = zlib.decompressobj(-15)
            try:
                out = d.decompress(bytes(changed)) + d.flush()
            except zlib.error:
                continue
            if d.eof and not d.unused_data and out != plain:
                data[offset + at] ^= 1 << bit
                return name
    raise RuntimeError("no flip keeps the deflate stream valid")


def drop_last_chunk(data, spans, _places):
    """The last file loses its last chunk but the entry stream stays well formed."""
    name, offset, size, _stored = [s for s in spans if s[0] == "c_last.txt"][-1]
    del data[offset - 4:offset + size]
    return name


def cut_in_last_file(data, spans, _places):
    """A download cut short inside the last file's last chunk."""
    name, offset, size, _stored = [s for s in spans if s[0] == "c_last.txt"][-1]
    del data[offset + size // 2:]
    return name


def change_setting(data, _spans, places):
    """One letter of the settings document changed in case, as one flipped bit would."""
    at, size = places[b"xmlConfig"]
    text = bytes(data[at:at + size])
    where = text.index(b"<ShowMain>") + 1
    data[at + where] ^= 0x20
    return ""


def change_last_time(data, _spans, places):
    """The last file's stored time moved by one tick: the entry still reads as well formed."""
    begin, end = places[None][-1]
    data[end - 12] ^= 0x01
    return "c_last.txt"


def change_first_attributes(data, _spans, places):
    """The first entry's attributes gain the hidden bit."""
    begin, end = places[None][0]
    data[end - 8 - 4] ^= 0x02
    return "a_stored.bin"


def run_program(exe, target, log, extra=()):
    """Exit code and the text of the error the program showed (a message box under Wine, stderr
    natively)."""
    args = [exe] + list(extra) + ["-unzipDir", win(target), "-log", win(log), "-verbose"]
    if not WINE:
        return run(args)
    with tempfile.TemporaryFile() as answers:
        clicker = subprocess.Popen([WINE_RUN, DRIVER, "answer", "Error"], env=ENV, cwd=WORK, stdout=answers,
                                   stderr=subprocess.DEVNULL)
        code, _ = run(args)
        try:
            clicker.wait(timeout=TIMEOUT)
        except subprocess.TimeoutExpired:
            clicker.kill()
        answers.seek(0)
        return code, answers.read().decode(errors="replace")


def read_log(log):
    if not os.path.exists(log):
        return ""
    with open(log, "rb") as f:
        return f.read().decode("utf-8", errors="replace")


def damaged_case(label, exe, damage, want, password=None, nothing_written=False):
    with open(exe, "rb") as f:
        data = bytearray(f.read())
    name = damage(data, *locate(exe, password))
    broken = os.path.join(WORK, label.replace(" ", "_") + (".exe" if WINE else ""))
    with open(broken, "wb") as f:
        f.write(data)
    os.chmod(broken, 0o755)
    target = os.path.join(WORK, "out " + label)
    log = os.path.join(WORK, label.replace(" ", "_") + ".log")
    code, message = run_program(broken, target, log, ["-pwd", password] if password else [])
    want = want.replace("%s", name)
    check(code == 13, "%s: the program exited with %d" % (label, code))
    check(want in message, "%s: the program's message %r lacks %r" % (label, message, want))
    check(not os.path.exists(os.path.join(target, name)), "%s: the damaged %s stayed on disk" % (label, name))
    if nothing_written:
        written = [n for _, _, names in os.walk(target) for n in names]
        check(not written, "%s: the program wrote %s" % (label, written))
    check("(verified) %s\r\n" % name not in read_log(log), "%s: %s logged as verified" % (label, name))
    secret = ["--password", password] if password else []
    code, err = run([SFXPACK, "test", win(broken)] + secret)
    check(code == 1, "%s: sfxpack test exited with %d" % (label, code))
    check(want in err, "%s: sfxpack test said %r, lacking %r" % (label, err, want))
    extracted = target + " by sfxpack"
    code, err = run([SFXPACK, "extract", win(broken), "-d", win(extracted)] + secret)
    check(code == 1 and want in err, "%s: sfxpack extract exited with %d: %r" % (label, code, err))
    check(not os.path.exists(os.path.join(extracted, name)), "%s: sfxpack extract left the damaged %s" % (label, name))


def main():
    samples = os.path.join(WORK, "samples")
    files = make_samples(samples)
    plain = pack("plain", samples)
    # The classic scheme, where only the check values notice a changed chunk (the sealed scheme's
    # own tests are in test_sealed.py).
    encrypted = pack("encrypted", samples, ["--password", PASSWORD, "--encryption", "classic", "--set", "Encryption=1"])
    solid = pack("solid", samples, ["--codec", "zstd", "--level", "1"])
    mismatch = "Checksum mismatch: %s"
    header = "The package is damaged: its header or settings do not match their check value."
    record = "The package is damaged: an entry's name, time or attributes do not match their check value."
    cases = [
        ("stored chunk", plain, flip_stored, mismatch, None, False),
        ("deflated chunk", plain, flip_deflated, mismatch, None, False),
        ("encrypted chunk", encrypted, flip_stored, mismatch, PASSWORD, False),
        ("last chunk dropped", plain, drop_last_chunk, mismatch, None, False),
        ("download cut short", plain, cut_in_last_file, "filename: %s", None, False),
        # Damage in front of the files: nothing may be written, and the settings must not fall
        # back to the defaults.
        ("settings changed", plain, change_setting, header, None, True),
        ("encrypted settings changed", encrypted, change_setting, header, PASSWORD, True),
        # The earlier files are rolled back; the solid layout reads every record first.
        ("record time changed", plain, change_last_time, record, None, True),
        ("solid record changed", solid, change_first_attributes, record, None, True),
    ]
    for label, exe, damage, want, password, nothing_written in cases:
        try:
            damaged_case(label, exe, damage, want, password, nothing_written)
        except (subprocess.TimeoutExpired, RuntimeError) as e:
            failures.append("%s: %s" % (label, e))

    # The undamaged program verifies every file; one built without check values does not, and
    # extracts as programs always did.
    for label, exe, lines in [("whole", plain, ["Payload carries check values.\r\n"] + [
                                  "(file) %s\r\n(verified) %s\r\n" % (n, n) for n in sorted(files)]),
                              ("no check", pack("nocheck", samples, ["--no-check"]),
                               ["Payload carries no check values.\r\n"] + ["(file) %s\r\n" % n for n in sorted(files)])]:
        target = os.path.join(WORK, "out " + label)
        log = os.path.join(WORK, label.replace(" ", "_") + ".log")
        code, message = run([exe, "-unzipDir", win(target), "-log", win(log), "-verbose"])
        check(code == 0, "%s: exit code %d: %s" % (label, code, message))
        text = read_log(log)
        check("".join(lines) in text, "%s: run log lacks %r:\n%s" % (label, lines, text))
        check("(verified)" in text or label != "whole", "%s: nothing verified" % label)
        check("(verified)" not in text or label == "whole", "%s: verified without check values" % label)
        for name, data in files.items():
            path = os.path.join(target, name)
            check(os.path.isfile(path) and open(path, "rb").read() == data, "%s: %s differs" % (label, name))

    return program_runs.finish(WORK)


if __name__ == "__main__":
    with wine_server.held(ENV, WINE):
        code = main()
    sys.exit(code)
