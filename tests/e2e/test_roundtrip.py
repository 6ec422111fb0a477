#!/usr/bin/env python3
"""Round trips through `sfxpack build` and the stub's own reader (`sfxpack extract`, `test`, `list`).

usage: test_roundtrip.py SFXPACK [--wine]
Packs a varied tree (nested and empty folders, an empty file, a read-only file, non-ASCII names,
data over many chunks, stored and deflated chunks), plain and encrypted with each key size, then
extracts it and compares every file, folder, time stamp and read-only bit with the source. Also:
a wrong password is refused and writes nothing, a corrupted chunk fails `test` with the reader's
message, and `list` shows the entries. With --wine SFXPACK is the Windows build, run under Wine,
and every level is built and decoded there too, with one plain and one encrypted extraction.
"""
import os
import pty
import random
import resource
import shutil
import signal
import stat
import subprocess
import sys
import tempfile
import time
from xml.etree import ElementTree

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import read_payload  # noqa: E402

failures = []
WINE = "--wine" in sys.argv
SFXPACK = sys.argv[1]
WINE_RUN = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "cmake", "wine-run")


def check(condition, message):
    if not condition:
        failures.append(message)


def run(args, **kw):
    command = ([WINE_RUN, SFXPACK] if WINE else [SFXPACK]) + args
    # A UTF-8 locale, so that Wine hands the program its non-ASCII arguments intact.
    env = dict(os.environ, TZ="UTC", LANG="C.UTF-8")
    return subprocess.run(command, capture_output=True, env=env, **kw)


def make_tree(root):
    rnd = random.Random(11)
    deep = os.path.join(root, *["level%02d" % i for i in range(24)])
    os.makedirs(deep)
    with open(os.path.join(deep, "bottom.txt"), "w") as f:
        f.write("deep down\n")
    os.makedirs(os.path.join(root, "empty dir", "also empty"))
    open(os.path.join(root, "empty.bin"), "wb").close()
    with open(os.path.join(root, "text.txt"), "w") as f:
        f.write("".join("line %d of some text\n" % i for i in range(40000)))
    with open(os.path.join(root, "noise.bin"), "wb") as f:
        f.write(rnd.randbytes(300000))
    os.makedirs(os.path.join(root, "\u00e9t\u00e9 \u65e5\u672c"))
    with open(os.path.join(root, "\u00e9t\u00e9 \u65e5\u672c", "\u0393\u03b5\u03b9\u03ac.txt"), "w", encoding="utf-8") as f:
        f.write("non-ascii names")
    ro = os.path.join(root, "readonly.txt")
    with open(ro, "w") as f:
        f.write("keep me")
    os.chmod(ro, stat.S_IRUSR | stat.S_IRGRP | stat.S_IROTH)
    stamp = time.mktime((2019, 3, 4, 5, 6, 7, 0, 0, -1))
    os.utime(os.path.join(root, "text.txt"), (stamp, stamp))


def tree_of(root):
    """Relative path -> (is_dir, content or None, mtime seconds, read-only)."""
    out = {}
    for dirpath, dirs, files in os.walk(root):
        for name in dirs + files:
            full = os.path.join(dirpath, name)
            rel = os.path.relpath(full, root)
            st = os.stat(full)
            is_dir = stat.S_ISDIR(st.st_mode)
            content = None
            if not is_dir:
                with open(full, "rb") as f:
                    content = f.read()
            out[rel] = (is_dir, content, int(st.st_mtime), not is_dir and not (st.st_mode & stat.S_IWUSR))
    return out


def compare(label, source, extracted):
    want, got = tree_of(source), tree_of(extracted)
    check(sorted(want) == sorted(got), "%s: entries differ: missing %s, extra %s" %
          (label, sorted(set(want) - set(got))[:5], sorted(set(got) - set(want))[:5]))
    for rel in sorted(set(want) & set(got)):
        w, g = want[rel], got[rel]
        check(w[0] == g[0], "%s: %s kind differs" % (label, rel))
        check(w[1] == g[1], "%s: %s content differs" % (label, rel))
        check(w[3] == g[3], "%s: %s read-only %s, want %s" % (label, rel, g[3], w[3]))
        # Files keep whole seconds; a folder's time is set before its contents are written.
        if not w[0]:
            check(w[2] == g[2], "%s: %s time %d, want %d" % (label, rel, g[2], w[2]))


def round_trip(label, root, work, build_args, password=None):
    packed = os.path.join(work, label + ".bin")
    r = run(["build", "-o", packed, "--payload-only"] + build_args + [root])
    check(r.returncode == 0, "%s: build failed: %s" % (label, r.stderr))
    if r.returncode:
        return None
    pw = ["--password", password] if password is not None else []
    r = run(["test", packed] + pw)
    check(r.returncode == 0, "%s: test failed: %s" % (label, r.stderr))
    out = os.path.join(work, label + "-out")
    r = run(["extract", packed, "-d", out] + pw)
    check(r.returncode == 0, "%s: extract failed: %s" % (label, r.stderr))
    compare(label, root, out)
    return packed


def main():
    work = tempfile.mkdtemp(prefix="sfxpack-roundtrip-")
    try:
        root = os.path.join(work, "tree")
        make_tree(root)
        if WINE:
            for level in range(13):
                packed = os.path.join(work, "wine-level%d.bin" % level)
                r = run(["build", "-o", packed, "--payload-only", "--level", str(level), "--jobs", "2", root])
                check(r.returncode == 0, "wine level %d: build failed: %s" % (level, r.stderr))
                r = run(["test", packed])
                check(r.returncode == 0, "wine level %d: test failed: %s" % (level, r.stderr))
                check_independent_reader("wine level %d" % level, packed, root)
            round_trip("wine-plain", root, work, ["--chunk-size", "65536"])
            round_trip("wine-aes256", root, work, ["--password", "Wine p\u00e4ss", "--key-bits", "256"], "Wine p\u00e4ss")
        else:
            plain = round_trip("plain", root, work, [])
            for level in range(13):
                packed = round_trip("level%d" % level, root, work, ["--level", str(level), "--chunk-size", "100000"])
                check_independent_reader("level %d" % level, packed, root)
            round_trip("many-chunks", root, work, ["--level", "9", "--chunk-size", "4096", "--jobs", "8"])
            for bits in ("128", "192", "256"):
                round_trip("aes" + bits, root, work, ["--password", "S\u00e9same", "--key-bits", bits,
                                                      "--chunk-size", "100000"], "S\u00e9same")
            check_wrong_password(work, root)
            check_list(plain)
            check_corruption(work, plain)
            check_command_line(work, plain)
            check_io_failures(work)
            check_progress(work)
            check_settings(work, root)
    finally:
        for dirpath, _, files in os.walk(work):
            for name in files:
                os.chmod(os.path.join(dirpath, name), stat.S_IRUSR | stat.S_IWUSR)
        shutil.rmtree(work)
    for f in failures:
        print("FAIL:", f)
    print("%d passed, %d failed" % (0 if failures else 1, 1 if failures else 0))
    return 1 if failures else 0


def check_wrong_password(work, root):
    packed = os.path.join(work, "aes256.bin")
    out = os.path.join(work, "wrong-out")
    for args in (["--password", "s\u00e9same"], ["--password", "S\u00e9same "], []):
        r = run(["extract", packed, "-d", out] + args)
        check(r.returncode != 0, "wrong password %r accepted" % args)
        check(b"password" in r.stderr.lower(), "wrong password %r: no message: %r" % (args, r.stderr))
        r = run(["test", packed] + args)
        check(r.returncode != 0, "test with wrong password %r accepted" % args)
    check(not os.path.exists(out) or not os.listdir(out), "a wrong password wrote files")


def check_list(packed):
    r = run(["list", packed])
    check(r.returncode == 0, "list failed: %r" % r.stderr)
    lines = r.stdout.decode("utf-8").splitlines()
    check(lines and lines[0] == "encrypted: no, key bits: 256", "list header: %r" % lines[:1])
    files = [line for line in lines if line.endswith("text.txt")]
    check(len(files) == 1 and " 948890 " in files[0] and "2019-03-04 05:06:07" in files[0],
          "list line for text.txt: %r" % files)
    check(any(line.startswith("D ") and line.endswith("empty dir\\also empty") for line in lines),
          "list shows no empty folder: %r" % lines[:10])


def check_corruption(work, packed):
    with open(packed, "rb") as f:
        data = bytearray(f.read())
    # The first byte of the text file's first chunk: a final block of the reserved type 3.
    at = data.find(b"text.txt") + len("text.txt") + 12 + 4
    data[at] = 0x07
    bad = os.path.join(work, "corrupt.bin")
    with open(bad, "wb") as f:
        f.write(data)
    r = run(["test", bad])
    check(r.returncode != 0, "test passed a corrupt chunk")
    check(b"Failed to inflate compressed data." in r.stderr, "corrupt chunk message: %r" % r.stderr[-400:])
    out = os.path.join(work, "corrupt-out")
    r = run(["extract", bad, "-d", out])
    check(r.returncode != 0, "extract passed a corrupt chunk")
    check(not os.path.exists(os.path.join(out, "text.txt")), "a failed file was left on disk")


def check_command_line(work, packed):
    cases = [
        (["build", root_arg(work)], "no output file"),
        (["build", "-o", os.path.join(work, "x.bin"), "--payload-only", "--level", "13", root_arg(work)], "0 to 12"),
        (["build", "-o", os.path.join(work, "x.bin"), "--payload-only", "--level", "-1", root_arg(work)], "0 to 12"),
        (["build", "-o", os.path.join(work, "x.bin"), "--payload-only", "--jobs", "0", root_arg(work)], "--jobs"),
        (["build", "-o", os.path.join(work, "x.bin"), "--payload-only", "--jobs", "x", root_arg(work)], "--jobs"),
        (["build", "-o", os.path.join(work, "x.bin"), "--payload-only", os.path.join(work, "nowhere")], "nowhere"),
        (["extract", packed], "-d DIR"),
        (["test", packed, "--bogus"], "unknown option --bogus"),
        (["test", os.path.join(work, "tree", "text.txt")], "no payload found"),
        (["frobnicate"], "unknown command"),
    ]
    for args, words in cases:
        r = run(args)
        check(r.returncode == 2 or (r.returncode != 0 and args[0] == "test"),
              "%r: exit code %d" % (args, r.returncode))
        check(words.encode() in r.stderr, "%r: message %r lacks %r" % (args, r.stderr, words))
    check(not os.path.exists(os.path.join(work, "x.bin")), "a failed build left its output")
    r = run(["extract", "--help"])
    check(r.returncode == 0 and b"usage: sfxpack build" in r.stdout, "--help: %r" % r.stdout[:80])


def check_independent_reader(label, packed, root):
    """The payload's files as Python's zlib reads them, against the tree."""
    if packed is None:
        return
    with open(packed, "rb") as f:
        entries = read_payload.read_payload(f.read(), None)[3]
    want = {rel.replace(os.sep, "\\"): content for rel, (_, content, _, _) in tree_of(root).items()}
    got = {name: content for _, name, _, _, content in entries}
    check(got == want, "%s: the independent reader sees other entries or contents" % label)


def no_output_left(work, name):
    return not any(f.startswith(name) for f in os.listdir(work))


def check_io_failures(work):
    """A source that fails to read, and an output that runs out of room: exit code 1, nothing left."""
    out = os.path.join(work, "io.bin")
    # Reading a process's own memory at offset 0 fails with an I/O error, even for root.
    r = run(["build", "-o", out, "--payload-only", "/proc/self/mem"])
    check(r.returncode == 1 and b"/proc/self/mem" in r.stderr, "unreadable source: %d %r" % (r.returncode, r.stderr))
    check(no_output_left(work, "io.bin"), "an unreadable source left output behind")

    def small_disk():
        # Writes past 200 kB fail as on a full disk (the signal would end the process instead).
        signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
        resource.setrlimit(resource.RLIMIT_FSIZE, (200000, 200000))
    for jobs in ("1", "4"):
        r = run(["build", "-o", out, "--payload-only", "--level", "0", "--jobs", jobs, root_arg(work)],
                preexec_fn=small_disk)
        check(r.returncode == 1 and b"disk full" in r.stderr, "full disk, %s jobs: %d %r" % (jobs, r.returncode, r.stderr))
        check(no_output_left(work, "io.bin"), "a full disk left output behind")


def check_progress(work):
    """The progress line goes to a terminal's stderr only, --quiet drops it, and the closing line
    on stdout gives the entries, the sizes and the ratio."""
    out = os.path.join(work, "progress.bin")
    args = [SFXPACK, "build", "-o", out, "--payload-only", "--jobs", "2", root_arg(work)]
    master, slave = pty.openpty()
    for quiet in ([], ["--quiet"]):
        r = subprocess.run(args + quiet, stdout=subprocess.PIPE, stderr=slave, env=dict(os.environ, TZ="UTC"))
        os.set_blocking(master, False)
        try:
            shown = os.read(master, 65536)
        except BlockingIOError:
            shown = b""
        check(r.returncode == 0, "build on a terminal %r: %d" % (quiet, r.returncode))
        if quiet:
            check(shown == b"" and r.stdout == b"", "--quiet still printed %r %r" % (shown, r.stdout))
        else:
            check(b"\r" in shown and b" files, " in shown and b" MB/s" in shown, "no progress line: %r" % shown)
            closing = r.stdout.decode()
            check(closing.startswith(out + ": 33 entries, ") and " MB in, " in closing and "% " not in closing
                  and closing.rstrip().endswith("%)"), "closing line: %r" % closing)
    os.close(master)
    os.close(slave)
    r = run(["build", "-o", out, "--payload-only", root_arg(work)])
    check(r.returncode == 0 and r.stderr == b"", "progress shown on a pipe: %r" % r.stderr)


def settings_of(packed, password=None):
    with open(packed, "rb") as f:
        values = read_payload.read_payload(f.read(), password)[2]
    document = ElementTree.fromstring(values[b"xmlConfig"])
    check(document.tag == "SfxConfig", "settings root %r" % document.tag)
    return {child.tag: child.text or "" for child in document}


def check_settings(work, root):
    packed = os.path.join(work, "settings.bin")
    r = run(["build", "-o", packed, "--payload-only", root])
    defaults = {"AutoTemp": "0", "DeleteAfterSetup": "0", "ShowFin": "0", "ShowMain": "1", "ShowProgress": "1",
                "WaitForSetup": "1", "Encryption": "0", "KeyLength": "128"}
    check(r.returncode == 0 and settings_of(packed) == defaults, "default settings: %r" % r.stderr)

    config = os.path.join(work, "config.xml")
    with open(config, "w", encoding="utf-8") as f:
        f.write('<?xml version="1.0" encoding="utf-8"?>\n<SfxConfig><ShowMain>0</ShowMain><AutoTemp>1</AutoTemp>'
                '<PublisherName>Acme \u00e9</PublisherName></SfxConfig>\n')
    r = run(["build", "-o", packed, "--payload-only", "--config", config, "--set", "SetupExe=setup.exe",
             "--set", "ShowMain=1", "--password", "pw", "--key-bits", "192", root])
    check(r.returncode == 0, "settings build: %r" % r.stderr)
    # A loaded document replaces the defaults; the options apply on top of it.
    want = {"ShowMain": "1", "AutoTemp": "1", "PublisherName": "Acme \u00e9", "SetupExe": "setup.exe",
            "Encryption": "1", "KeyLength": "192"}
    got = settings_of(packed, b"pw")
    check(got == want, "settings: %r, want %r" % (got, want))

    r = run(["build", "-o", packed, "--payload-only", "--set", "Encryption=1", root])
    check(r.returncode == 2 and b"--password" in r.stderr, "Encryption without a password: %r" % r.stderr)
    r = run(["build", "-o", packed, "--payload-only", "--set", "=x", root])
    check(r.returncode == 2 and b"Key=Value" in r.stderr, "--set without a key: %r" % r.stderr)


def root_arg(work):
    return os.path.join(work, "tree")


if __name__ == "__main__":
    sys.exit(main())
