#!/usr/bin/env python3
"""End-to-end runs of the stub: real self-extracting programs made with sfxpack, run in the
automatic mode, natively (the Linux stub) or under Wine (sfx.exe). Each scenario checks the
extracted tree, the run log and the exit code.

usage: test_app.py native SFXPACK STUB FAKE_SETUP
       test_app.py wine WINE_RUN SFXPACK_EXE STUB_EXE FAKE_SETUP_EXE DIALOG_DRIVER_EXE SETUP_WITH_CHILD_EXE
Under Wine, run it inside `xvfb-run -a`: the scenarios that show message boxes answer them with
DIALOG_DRIVER_EXE and check their texts; a message box nobody expected makes its run time out.
The expected entries come from the independent payload reader in read_payload.py.
"""
import contextlib
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import read_payload  # noqa: E402
import wine_paths  # noqa: E402
import wine_server  # noqa: E402

MODE = sys.argv[1] if len(sys.argv) > 1 else ""
WINE = MODE == "wine"
if WINE and len(sys.argv) == 8:
    WINE_RUN, SFXPACK, STUB, FAKE_SETUP, PRESS_OK, SETUP_WITH_CHILD = sys.argv[2:8]
elif MODE == "native" and len(sys.argv) == 5:
    SFXPACK, STUB, FAKE_SETUP = sys.argv[2:5]
    WINE_RUN = PRESS_OK = SETUP_WITH_CHILD = None
else:
    sys.exit(__doc__)
SFXPACK, STUB, FAKE_SETUP = (os.path.abspath(p) for p in (SFXPACK, STUB, FAKE_SETUP))
PRESS_OK = PRESS_OK and os.path.abspath(PRESS_OK)

RUN_TIMEOUT = 45
# Wine turns its Unix arguments and environment into UTF-16 by the locale's character set:
# without a UTF-8 locale the non-ASCII scenarios would be mangled before the stub sees them.
ENV = dict(os.environ, TZ="UTC", WINEDEBUG="-all", LANG="C.UTF-8", LC_ALL="C.UTF-8")
ENV.pop("ComSpec", None)  # the Linux stub then runs "shell" commands with /bin/sh
failures = []
WORK = tempfile.mkdtemp(prefix="sfx-e2e-")
if WINE:
    # A prefix of its own: a Wine server that other tests started without a display would make
    # every window of these runs fail, the stub's hidden main window first.
    ENV["SFX_WINEPREFIX"] = os.path.abspath(os.environ.get("SFX_WINEPREFIX", "wineprefix")) + "-display"


def check(condition, message):
    if not condition:
        failures.append(message)
    return condition


def win(path):
    """The path as the program under test sees it."""
    return "Z:" + path.replace("/", "\\") if WINE else path


def stub_path(path):
    """A path as the stub writes it into the run log (it works with backslashes)."""
    return win(path).replace("/", "\\")


class Result:
    def __init__(self, returncode, stdout, stderr):
        self.returncode, self.stdout, self.stderr = returncode, stdout, stderr


def run(args, timeout=RUN_TIMEOUT, env=None, cwd=None):
    # Output goes through files, not pipes: Wine's own background processes inherit the
    # handles and would hold a pipe open long after the program ended.
    prefix = [WINE_RUN] if WINE else []
    with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
        code = subprocess.run(prefix + args, env=env or ENV, cwd=cwd or WORK, timeout=timeout,
                              stdout=out, stderr=err).returncode
        out.seek(0)
        err.seek(0)
        return Result(code, out.read(), err.read())


def make_samples(root):
    os.makedirs(os.path.join(root, "docs", "deep"))
    os.makedirs(os.path.join(root, "empty dir"))
    files = {
        "readme.txt": b"Hello from the payload.\r\n",
        os.path.join("docs", "guide.txt"): b"guide " * 5000,
        os.path.join("docs", "deep", "data.bin"): bytes(range(256)) * 300,
        "empty.txt": b"",
    }
    stamp = time.mktime((2021, 7, 1, 12, 30, 15, 0, 0, -1))
    for i, (name, data) in enumerate(sorted(files.items())):
        path = os.path.join(root, name)
        with open(path, "wb") as f:
            f.write(data)
        os.utime(path, (stamp + 3600 * i, stamp + 3600 * i))


def pack(name, sources, settings, password=None, password_codepage=None):
    out = os.path.join(WORK, "sfx_" + name + (".exe" if WINE else ""))
    args = [SFXPACK, "build", "-o", win(out)]
    for key, value in settings.items():
        args += ["--set", "%s=%s" % (key, value)]
    if password:
        args += ["--password", password]
    if password_codepage:
        args += ["--password-codepage", str(password_codepage)]
    args += [win(s) for s in sources]
    r = run(args)
    if r.returncode != 0:
        raise RuntimeError("sfxpack failed: %s" % r.stderr.decode(errors="replace"))
    os.chmod(out, 0o755)
    return out


def payload_entries(exe, password=None):
    with open(exe, "rb") as f:
        data = f.read()
    if isinstance(password, str):
        password = password.encode()
    return read_payload.read_payload(data, password)[3]


def check_tree(label, exe, target, password=None, skip=()):
    """Every entry of the payload is in target with its content and (files) its time."""
    for kind, name, filetime, _attributes, content in payload_entries(exe, password):
        if name in skip:
            continue
        path = os.path.join(target, *name.split("\\"))
        if kind == 1:
            check(os.path.isdir(path), "%s: directory %s missing" % (label, name))
            continue
        if not check(os.path.isfile(path), "%s: file %s missing" % (label, name)):
            continue
        with open(path, "rb") as f:
            check(f.read() == content, "%s: content of %s differs" % (label, name))
        # TZ=UTC for packer and stub alike, so the stored local time is UTC.
        expected_ns = (filetime - 116444736000000000) * 100
        got_ns = os.stat(path).st_mtime_ns
        check(abs(got_ns - expected_ns) < 1000, "%s: time of %s is %d, expected %d" % (label, name, got_ns, expected_ns))


CHECKED = "Payload carries check values.\r\n"


def entry_lines(exe, password=None):
    """The verbose lines of extraction: sfxpack writes check values by default, so each file is
    verified."""
    lines = [CHECKED]
    for kind, name, _t, _a, _c in payload_entries(exe, password):
        lines += ["(dir) %s\r\n" % name] if kind == 1 else ["(file) %s\r\n" % name, "(verified) %s\r\n" % name]
    return lines


ANY_LINE = object()  # one line of unknown text (the build date, a current directory)
XML = object()  # the settings document, several lines


def check_log(label, log_path, expected):
    """The whole log, line for line: literal pieces joined by placeholders."""
    if not check(os.path.exists(log_path), "%s: no run log" % label):
        return ""
    with open(log_path, "rb") as f:
        text = f.read().decode("utf-8", errors="replace")
    pattern = ""
    for piece in expected:
        if piece is ANY_LINE:
            pattern += r"[^\r\n]*\r\n"
        elif piece is XML:
            pattern += r"<\?xml.*?</SfxConfig>\r\n(?:\r\n)?"
        else:
            pattern += re.escape(piece)
    if not re.fullmatch(pattern, text, re.S):
        # Show where the text first leaves the expectation.
        pos = 0
        for piece in expected:
            sub = (r"[^\r\n]*\r\n" if piece is ANY_LINE else r"<\?xml.*?</SfxConfig>\r\n(?:\r\n)?" if piece is XML
                   else re.escape(piece))
            m = re.compile(sub, re.S).match(text, pos)
            if not m:
                failures.append("%s: run log differs at %r\n  expected %r" % (label, text[pos:pos + 120],
                                                                             "<xml>" if piece is XML else piece))
                break
            pos = m.end()
        else:
            failures.append("%s: run log has more text: %r" % (label, text[pos:pos + 200]))
    return text


def head_lines(command_line, echo=""):
    return ["command line: %s\r\n" % command_line, echo, "Created by version prior to 14.3.0\r\n", ANY_LINE, XML,
            "Log opened from internal point 2\r\n"]


def quote_arg(arg):
    """How the command line that the stub receives shows one argument."""
    return '"%s"' % arg if (" " in arg or "\t" in arg or arg == "") else arg


AUTO = {"ShowMain": "0", "ShowProgress": "0", "WaitForSetup": "1"}


def scenario_unzip_dir(c):
    label = "unzipDir"
    exe = pack("auto", [c.samples], AUTO)
    target = os.path.join(WORK, "out auto", "nested")
    log = os.path.join(WORK, "auto.log")
    args = ["-unzipDir", win(target), "-log", win(log), "-verbose"]
    r = run([exe] + args)
    check(r.returncode == 0, "%s: exit code %d: %s" % (label, r.returncode, r.stderr[-500:]))
    check_tree(label, exe, target)
    line = " ".join(quote_arg(a) for a in args)
    d = stub_path(target)
    echo = "-unzipDir %s\nquoted-printable: %s\n" % (quote_arg(win(target)), quote_arg(win(target)))
    check_log(label, log, head_lines(line, echo) + [
        "Automatically unzipping...\r\n", "Not encrypted.\r\n", ANY_LINE,
        "unzipDir = [%s]\r\n" % d, "Check/create extract dir: [%s]\r\n" % d,
        "created unzip dir: [%s]\r\n" % stub_path(os.path.join(WORK, "out auto")),
        "Final unzip dir: [%s]...\r\n" % d, "Setting CWD [%s]\r\n" % d] + entry_lines(exe) + [
        "Unzip complete...\r\n", "processing undo list...\r\n", "processing undo list...\r\n"]
        + kept_dir_lines(target, os.path.join(WORK, "out auto")) + [
        "Return from WinMain without entering message loop...\r\n", "exitCode = 0\r\n"])


def kept_dir_lines(*dirs):
    """Verbose lines for created directories that still hold files, innermost first."""
    lines = []
    for d in dirs:
        shown = stub_path(d).replace("\\", "/")
        lines += ["(deleteDir) %s\r\n" % shown, "(failedToDelete) %s\r\n" % shown]
    return lines


def find_temp_dir(log_text):
    """Where the temporary unzip directory named in the log is on this machine's disk."""
    m = re.search(r"temp unzipDir = \[([^\]]*)\]", log_text)
    if not m:
        return None
    path = m.group(1)
    if not WINE:
        return path.replace("\\", "/")
    return wine_paths.disk_path(path, ENV["SFX_WINEPREFIX"])


def deletion_lines(exe):
    """Verbose deletion lines of the entry list: what extraction recorded, last first."""
    recorded = []
    for kind, name, _t, _a, _c in payload_entries(exe):
        recorded.append("(deleteDir) %s\r\n" % name.replace("\\", "/") if kind == 1 else "(deleteFile) %s\r\n" % name)
    return list(reversed(recorded))


def scenario_temp_cleanup_setup(c):
    label = "AutoTemp cleanup"
    exe = pack("setup", [c.samples, c.setup_dir], dict(AUTO, AutoTemp="1", SetupExe=SETUP_NAME))
    marker = os.path.join(WORK, "marker.txt")
    log = os.path.join(WORK, "setup.log")
    temp = os.path.join(WORK, "tmp")
    os.makedirs(temp, exist_ok=True)
    ap = "%s 3" % win(marker)
    r = run([exe, "-cleanup", "-ap", ap, "-log", win(log), "-verbose"], env=dict(ENV, TMPDIR=temp))
    check(r.returncode == 3, "%s: exit code %d, expected the setup program's 3" % (label, r.returncode))
    if not check(os.path.exists(log), "%s: no run log" % label):
        return
    with open(log, "rb") as f:
        unzip = find_temp_dir(f.read().decode("utf-8", errors="replace"))
    if not check(unzip is not None and os.path.basename(unzip).startswith("qvz_"),
                 "%s: no temporary directory in the log" % label):
        return
    check(not os.path.exists(unzip), "%s: %s is still there" % (label, unzip))
    check(os.path.exists(marker), "%s: the setup program left no marker" % label)
    if os.path.exists(marker):
        with open(marker) as f:
            check(f.read().strip() == "setup ran in %s [3]" % os.path.basename(unzip), "%s: marker text" % label)
    d = c.logged_temp_dir(log)
    check_log(label, log, head_lines("-cleanup -ap %s -log %s -verbose" % (quote_arg(ap), win(log)),
                                     "-ap %s\n" % quote_arg(ap)) + [
        "Automatically unzipping...\r\n", "Not encrypted.\r\n", ANY_LINE,
        "Selecting temp dir for unzipping...\r\n", "temp unzipDir = [%s]\r\n" % d,
        "Check/create unzip dir: [%s]\r\n" % d, "created unzip dir: [%s]\r\n" % d.replace("/", "\\"),
        "Final unzip dir: [%s]...\r\n" % d, "Setting CWD [%s]\r\n" % d, "cleanup is requested...\r\n"]
        + entry_lines(exe) + [
        "Unzip complete...\r\n", "setup filename: [%s]\r\n" % SETUP_NAME, "setup args: [%s]\r\n" % ap,
        "working dir: [%s]\r\n" % d, "running exe: [%s]\r\n" % SETUP_NAME, ANY_LINE,
        "full path to auto-run EXE: [%s\\%s]\r\n" % (d.replace("/", "\\"), SETUP_NAME), "unzipDir: [%s]\r\n" % d,
        "waiting for setup EXE to complete...\r\n", JOB_LINE, "GetExitCodeProcess: exitCode = 3\r\n",
        "processing undo list...\r\n"] + deletion_lines(exe) + [
        "processing undo list...\r\n", "(deleteDir) %s\r\n" % d.replace("\\", "/"),
        "Return from WinMain without entering message loop...\r\n", "exitCode = 3\r\n"])


def scenario_shell(c):
    label = "shell"
    marker = os.path.join(WORK, "shell marker.txt")
    command = "echo shell ran> \"%s\"" % win(marker)
    exe = pack("shell", [c.samples], dict(AUTO, SetupExe="shell", SetupExeArgs=command))
    target = os.path.join(WORK, "out shell")
    log = os.path.join(WORK, "shell.log")
    r = run([exe, "-unzipDir", win(target), "-log", win(log)])
    check(r.returncode == 0, "%s: exit code %d" % (label, r.returncode))
    check_tree(label, exe, target)
    if check(os.path.exists(marker), "%s: the command left no marker" % label):
        with open(marker) as f:
            check(f.read().strip() == "shell ran", "%s: marker text" % label)
    d = stub_path(target)
    text = check_log(label, log, head_lines("-unzipDir %s -log %s" % (quote_arg(win(target)), win(log)),
                                            "-unzipDir %s\nquoted-printable: %s\n" % ((quote_arg(win(target)),) * 2)) + [
        "Automatically unzipping...\r\n", "Not encrypted.\r\n", ANY_LINE,
        "unzipDir = [%s]\r\n" % d, "Check/create extract dir: [%s]\r\n" % d, "created unzip dir: [%s]\r\n" % d,
        "Final unzip dir: [%s]...\r\n" % d, "Setting CWD [%s]\r\n" % d, CHECKED,
        "Unzip complete...\r\n", "setup filename: [shell]\r\n", "setup args: [%s]\r\n" % command,
        "working dir: [%s]\r\n" % d, "running exe: [shell]\r\n"] + ([ANY_LINE] if WINE else []) + [
        "processing undo list...\r\n",
        "processing undo list...\r\n", "Return from WinMain without entering message loop...\r\n",
        "exitCode = 0\r\n"])
    # cmd.exe, and whatever console host Wine gives it, ran in the job.
    check(not WINE or re.search(r"\r\nsetup job ended: waited for [12] process\(es\)\r\n", text),
          "%s: no job line" % label)


def marker_lines(path):
    if not os.path.exists(path):
        return []
    with open(path) as f:
        return f.read().split()


def scenario_job_wait(c):
    """A setup program that starts a child and exits at once: the stub waits for the child too,
    keeps the parent's exit code, and only then deletes the folder. A child that left the job is
    not waited for."""
    if not WINE:
        return
    setup_dir = os.path.join(WORK, "child setup")
    os.makedirs(setup_dir)
    shutil.copy(SETUP_WITH_CHILD, os.path.join(setup_dir, "setup.exe"))
    exe = pack("jobwait", [c.samples, setup_dir], dict(AUTO, AutoTemp="1", SetupExe="setup.exe"))
    label = "job wait"
    marker = os.path.join(WORK, "job marker.txt")
    log = os.path.join(WORK, "job.log")
    start = time.monotonic()
    r = run([exe, "-cleanup", "-ap", '"%s" 5 2000' % win(marker), "-log", win(log)])
    elapsed = time.monotonic() - start
    lines = marker_lines(marker)
    print("  %s: the stub returned after %.1f s with %d" % (label, elapsed, r.returncode), flush=True)
    check(r.returncode == 5, "%s: exit code %d, expected the parent's 5" % (label, r.returncode))
    check(lines == ["parent", "child", "done"], "%s: marker at the stub's end: %r" % (label, lines))
    with open(log, "rb") as f:
        text = f.read().decode("utf-8", errors="replace")
    check("\r\nsetup job ended: waited for 2 process(es)\r\nGetExitCodeProcess: exitCode = 5\r\n" in text,
          "%s: job lines missing: %r" % (label, text[-400:]))
    unzip = find_temp_dir(text)
    check(unzip is not None and not os.path.exists(unzip), "%s: the folder %s stayed" % (label, unzip))

    label = "job breakaway"
    marker = os.path.join(WORK, "breakaway marker.txt")
    log = os.path.join(WORK, "breakaway.log")
    target = os.path.join(WORK, "out breakaway")
    r = run([exe, "-unzipDir", win(target), "-ap", '"%s" 6 3000 breakaway' % win(marker), "-log", win(log)])
    lines = marker_lines(marker)
    check(r.returncode == 6, "%s: exit code %d, expected 6" % (label, r.returncode))
    check(lines == ["parent"], "%s: marker at the stub's end: %r" % (label, lines))
    with open(log, "rb") as f:
        text = f.read().decode("utf-8", errors="replace")
    check("\r\nsetup job ended: waited for 1 process(es)\r\n" in text, "%s: job line: %r" % (label, text[-400:]))
    for _ in range(300):  # the child that left ends by itself; the next scenarios need its folder quiet
        if len(marker_lines(marker)) > 1:
            break
        time.sleep(0.1)
    check(marker_lines(marker) == ["parent", "child", "done"], "%s: the child never finished" % label)


def scenario_private_temp(c):
    """The AutoTemp folder has a name nobody can guess and keeps other accounts out: under Wine the
    setup program reads its access list back; natively the folder is 0700."""
    label = "private temp"
    setup_dir = os.path.join(WORK, "probe setup")
    if WINE:
        os.makedirs(setup_dir, exist_ok=True)
        shutil.copy(SETUP_WITH_CHILD, os.path.join(setup_dir, "setup.exe"))
        sources, settings = [c.samples, setup_dir], dict(AUTO, AutoTemp="1", SetupExe="setup.exe")
    else:
        sources, settings = [c.samples], dict(AUTO, AutoTemp="1")
    exe = pack("private_temp", sources, settings)
    marker = os.path.join(WORK, "probe marker.txt")
    log = os.path.join(WORK, "private.log")
    r = run([exe, "-log", win(log)] + (["-ap", 'sddl "%s"' % win(marker)] if WINE else []))
    check(r.returncode == 0, "%s: exit code %d" % (label, r.returncode))
    with open(log, "rb") as f:
        unzip = find_temp_dir(f.read().decode("utf-8", errors="replace"))
    name = os.path.basename(unzip or "")
    check(re.fullmatch(r"qvz_[A-Z0-9]{16}", name), "%s: folder name %r" % (label, name))
    if not WINE:
        check(unzip and os.stat(unzip).st_mode & 0o777 == 0o700, "%s: mode of %s" % (label, unzip))
        check_tree(label, exe, unzip)
        shutil.rmtree(unzip, ignore_errors=True)
        return
    lines = dict(line.split(" ", 1) for line in marker_lines_raw(marker))
    user = lines.get("user", "?")
    print("  %s: %s" % (label, lines.get("dir")), flush=True)
    # Windows keeps the list as given: D:P(A;OICI;FA;;;user)(A;OICI;FA;;;SY)(A;OICI;FA;;;BA).
    # Wine 8 keeps only the Unix mode it derives from it, and reads back a list made from that
    # mode: what can be checked here is that it admits nobody but the three.
    dacl = lines.get("dir", "").split("D:", 1)[-1]
    aces = re.findall(r"\(A;[^;]*;[^;]*;;;([^)]*)\)", dacl)
    check(aces and set(aces) <= {user, "SY", "BA"} and user in aces,
          "%s: access list %r admits others" % (label, lines.get("dir")))


def marker_lines_raw(path):
    if not os.path.exists(path):
        return []
    with open(path) as f:
        return [line.rstrip("\n") for line in f if line.strip()]


def scenario_auto_exit(c):
    label = "AutoExit"
    exe = pack("autoexit", [c.samples, c.setup_dir], dict(AUTO, SetupExe=SETUP_NAME, AutoExit="1"))
    target = os.path.join(WORK, "out autoexit")
    marker = os.path.join(WORK, "autoexit_marker.txt")
    log = os.path.join(WORK, "autoexit.log")
    ap = "%s 3" % win(marker)
    r = run([exe, "-unzipDir", win(target), "-ap", ap, "-cleanup", "-log", win(log)])
    check(r.returncode == 0, "%s: exit code %d, expected 0 at once" % (label, r.returncode))
    for _ in range(100):  # the setup program was not waited for
        if os.path.exists(marker):
            break
        time.sleep(0.1)
    check(os.path.exists(marker), "%s: the setup program did not run" % label)
    check_tree(label, exe, target)
    d = stub_path(target)
    args = "-unzipDir %s -ap %s -cleanup -log %s" % (quote_arg(win(target)), quote_arg(ap), win(log))
    echo = "-unzipDir %s\nquoted-printable: %s\n-ap %s\n" % (quote_arg(win(target)), quote_arg(win(target)), quote_arg(ap))
    check_log(label, log, head_lines(args, echo) + [
        "Automatically unzipping...\r\n", "Not encrypted.\r\n", ANY_LINE,
        "unzipDir = [%s]\r\n" % d, "Check/create extract dir: [%s]\r\n" % d, "created unzip dir: [%s]\r\n" % d,
        "Final unzip dir: [%s]...\r\n" % d, "Setting CWD [%s]\r\n" % d,
        "cleanup is requested...\r\n", "AutoExit if true, therefore cannot cleanup files.\r\n", CHECKED,
        "Unzip complete...\r\n", "setup filename: [%s]\r\n" % SETUP_NAME, "setup args: [%s]\r\n" % ap,
        "working dir: [%s]\r\n" % d, "running exe: [%s]\r\n" % SETUP_NAME, ANY_LINE,
        "full path to auto-run EXE: [%s\\%s]\r\n" % (d, SETUP_NAME), "unzipDir: [%s]\r\n" % d])


def scenario_debug(c):
    label = "Debug"
    exe = pack("debug", [c.samples], AUTO)
    target = os.path.join(WORK, "out debug")
    log = os.path.join(WORK, "debug.log")
    r = run([exe, "-unzipDir", win(target), "-debug", "-verbose", "-log", win(log)])
    check(r.returncode == 0, "%s: exit code %d" % (label, r.returncode))
    check(not os.path.exists(target), "%s: a dry run created %s" % (label, target))
    d = stub_path(target)
    args = "-unzipDir %s -debug -verbose -log %s" % (quote_arg(win(target)), win(log))
    check_log(label, log, head_lines(args, "-unzipDir %s\nquoted-printable: %s\n" % ((quote_arg(win(target)),) * 2)) + [
        "Automatically unzipping...\r\n", "Not encrypted.\r\n", ANY_LINE, "unzipDir = [%s]\r\n" % d,
        "Final unzip dir: [%s]...\r\n" % d, "Setting CWD [%s]\r\n" % d] + entry_lines(exe) + [
        "Unzip complete...\r\n", "processing undo list...\r\n", "processing undo list...\r\n",
        "Return from WinMain without entering message loop...\r\n", "exitCode = 0\r\n"])


def scenario_encrypted(c):
    label = "encrypted"
    password = "s3cret pass"
    exe = pack("encrypted", [c.samples], dict(AUTO, Encryption="1"), password=password)
    target = os.path.join(WORK, "out encrypted")
    log = os.path.join(WORK, "encrypted.log")
    r = run([exe, "-pwd", password, "-unzipDir", win(target), "-log", win(log)])
    check(r.returncode == 0, "%s: exit code %d: %s" % (label, r.returncode, r.stderr[-300:]))
    check_tree(label, exe, target, password)
    with open(log, "rb") as f:
        text = f.read().decode("utf-8", errors="replace")
    check(password not in text, "%s: the password is in the run log" % label)
    check('-pwd ********\n-unzipDir ' in text, "%s: password echo" % label)
    check("\r\nPassword verified...\r\n" in text, "%s: no verification line" % label)
    if WINE:
        return
    # Natively a wrong password cannot be asked again (no dialog): the run gives up.
    target = os.path.join(WORK, "out wrong")
    log = os.path.join(WORK, "wrong.log")
    r = run([exe, "-pwd", "wrong", "-unzipDir", win(target), "-log", win(log)])
    check(r.returncode == 86, "%s: wrong password: exit code %d, expected 86" % (label, r.returncode))
    err = r.stderr.decode(errors="replace")
    check("Error: Incorrect password.\nError: Failed to create the password dialog.\n" in err,
          "%s: wrong password messages: %r" % (label, err))
    with open(log, "rb") as f:
        text = f.read().decode("utf-8", errors="replace")
    check(text.endswith("Automatically unzipping...\r\nPassword is incorrect.\r\nInitInstance failed.\r\n"),
          "%s: wrong password log ends %r" % (label, text[-120:]))
    check(not os.path.exists(target), "%s: wrong password created the target" % label)


def scenario_no_payload(c):
    label = "no payload"
    bare = os.path.join(WORK, "bare" + (".exe" if WINE else ""))
    shutil.copy(STUB, bare)
    if WINE:
        answers = tempfile.TemporaryFile()
        # With the defaults the main dialog follows the message; closing it ends the run.
        clicker = subprocess.Popen([WINE_RUN, PRESS_OK, "answer", "Error", "wait", "Quorvel Zip Self-Extractor",
                                    "close"], env=ENV, cwd=WORK, stdout=answers, stderr=subprocess.DEVNULL)
    r = run([bare])
    # A program without its payload is a damaged one, whatever follows.
    check(r.returncode == 13, "%s: exit code %d, expected 13" % (label, r.returncode))
    if WINE:
        clicker.wait(timeout=RUN_TIMEOUT)
        answers.seek(0)
        messages = answers.read().decode(errors="replace")
        expected = "Failed to find marker.\n"
    else:
        messages = r.stderr.decode(errors="replace").replace("Error: ", "")
        expected = "Failed to find marker.\nFailed to create the main dialog.\n"
    check(messages.replace("\r\n", "\n") == expected, "%s: messages %r" % (label, messages))


def scenario_unzip_dir_texts(c):
    label = "unzipDir texts"
    exe = pack("texts", [c.samples], AUTO)
    base = os.path.join(WORK, "texts")
    os.makedirs(base)
    env = dict(ENV, SFXE2E_ROOT=win(base), SFXE2E_SLASH=win(base) + ("\\" if WINE else "/"))
    cases = [
        ("%SFXE2E_ROOT%\\quoted dir", os.path.join(base, "quoted dir")),
        ("%SFXE2E_SLASH%\\after slash", os.path.join(base, "after slash")),
        ("'%s'" % win(os.path.join(base, "single")), os.path.join(base, "single")),
        (win(base) + "/mixed\\\\doubled//", os.path.join(base, "mixed", "doubled")),
    ]
    for value, target in cases:
        r = run([exe, "-unzipDir", value], env=env)
        if check(r.returncode == 0, "%s: %s: exit code %d" % (label, value, r.returncode)):
            check_tree("%s %s" % (label, value), exe, target)


UNI = "\u65e5\u672c-\u0416\u0438-\u03a9\u03bb-\U0001F600"  # Japanese, Cyrillic, Greek, an emoji


def scenario_unicode(c):
    label = "unicode"
    exe = pack("unicode", [c.samples, c.setup_dir], dict(AUTO, SetupExe=SETUP_NAME))
    target = os.path.join(WORK, "uni " + UNI, "\u00fc")  # a blank: the value is quoted
    log = os.path.join(WORK, "log-%s.log" % UNI)
    marker = os.path.join(WORK, "marker-%s.txt" % UNI)
    ap = "%s 0 arg-%s %%SFXE2E_UNI%%" % (win(marker), UNI)
    env = dict(ENV, SFXE2E_UNI="env-" + UNI)
    r = run([exe, "-unzipDir", win(target), "-log", win(log), "-ap", ap], env=env)
    check(r.returncode == 0, "%s: exit code %d: %s" % (label, r.returncode, r.stderr[-300:]))
    check_tree(label, exe, target)
    if check(os.path.exists(marker), "%s: the setup program left no marker" % label):
        with open(marker, encoding="utf-8") as f:
            got = f.read().strip()
        # What the setup program was handed, compared as the UTF-16 Windows passed it on.
        expected = "setup ran in \u00fc [0] [arg-%s] [env-%s]" % (UNI, UNI)
        check(got.encode("utf-16-le") == expected.encode("utf-16-le"), "%s: marker %r" % (label, got))
    if check(os.path.exists(log), "%s: no run log at the non-ASCII path" % label):
        with open(log, "rb") as f:
            text = f.read().decode("utf-8")
        d = stub_path(target)
        for line in ["command line: -unzipDir %s -log %s -ap %s\r\n" % (quote_arg(win(target)), win(log), quote_arg(ap)),
                     "-unzipDir %s\n" % quote_arg(win(target)), "unzipDir = [%s]\r\n" % d,
                     "Current working directory: %s\r\n" % win(target),
                     "setup args: [%s 0 arg-%s env-%s]\r\n" % (win(marker), UNI, UNI), "exitCode = 0\r\n"]:
            check(line in text, "%s: the run log lacks %r" % (label, line))
    # The same characters from the environment, in the unzip directory.
    env["SFXE2E_UNI_DIR"] = win(os.path.join(WORK, "env " + UNI))
    r = run([exe, "-unzipDir", "%SFXE2E_UNI_DIR%\\sub", "-ap", "%s 0" % win(marker)], env=env)
    if check(r.returncode == 0, "%s: %%NAME%% directory: exit code %d" % (label, r.returncode)):
        check_tree(label + " %NAME%", exe, os.path.join(WORK, "env " + UNI, "sub"))


def scenario_ansi_password(c):
    """A Windows-1252 password opens the payload whose key the packer made from those bytes."""
    label = "ANSI password"
    for password in ["Gr\u00fc\u00dfe", "plain-ascii"]:
        exe = pack("pwd_" + password[:2], [c.samples], dict(AUTO, Encryption="1"), password=password,
                   password_codepage=1252 if WINE else 65001)
        target = os.path.join(WORK, "out pwd " + password)
        r = run([exe, "-pwd", password, "-unzipDir", win(target)])
        if check(r.returncode == 0, "%s %r: exit code %d: %s" % (label, password, r.returncode, r.stderr[-300:])):
            check_tree("%s %r" % (label, password), exe, target, password.encode(PASSWORD_CODING))


SILENT_LIMIT = 20  # generous for a loaded machine; a message box would wait for ever


@contextlib.contextmanager
def mounted_small_tmpfs(name):
    """A 64 KiB file system to fill, or None (with a note) where mounting needs root."""
    folder = os.path.join(WORK, name)
    os.makedirs(folder)
    if subprocess.run(["mount", "-t", "tmpfs", "-o", "size=64k", "tmpfs", folder],
                      stderr=subprocess.DEVNULL).returncode:
        print("skip: a full target needs a small tmpfs (mount as root)", flush=True)
        yield None
        return
    try:
        yield folder
    finally:
        subprocess.run(["umount", folder])


def launched(args, env=None):
    """Under Wine: the run through the driver, which notes every top-level window the process
    has while it runs. The result's code is the whole exit code; also returns the windows as
    "CLASS|TITLE|shown" or "...|hidden"."""
    line = " ".join(quote_arg(a) for a in [win(args[0])] + args[1:])
    # Beyond the driver's own limit, after which it ends the program and reports its windows.
    r = run([PRESS_OK, "launch", line], timeout=45, env=env)
    lines = r.stdout.decode("utf-8", errors="replace").splitlines()
    windows = [entry[len("window "):] for entry in lines if entry.startswith("window ")]
    codes = [int(entry.split()[1]) for entry in lines if entry.startswith("exit ")]
    return Result(codes[-1] if codes else -1, r.stdout, r.stderr), windows


def run_silent(label, args, env=None):
    """A -silent run; under Wine through the driver, which must find no window of the run but the
    hidden main window (the per-thread input-method windows Windows itself makes are never shown
    either)."""
    if not WINE:
        return run(args, timeout=SILENT_LIMIT, env=env)
    r, windows = launched(args, env=env)
    shown = [w for w in windows if w.endswith("|shown")]
    check(not shown, "%s: windows shown: %r" % (label, shown))
    own = [w for w in windows if w.split("|")[0] not in ("IME", "MSCTFIME UI")]
    check(len(own) <= 1, "%s: more windows than the hidden main window: %r" % (label, own))
    return r


def silent_run(label, args, expected_code, reason, env=None):
    """A -silent run ends by itself with its code; its reason is on stderr and in the run log."""
    log = os.path.join(WORK, "silent-%d.log" % time.time_ns())
    start = time.monotonic()
    r = run_silent(label, args + ["-silent", "-log", win(log)], env=env)
    print("  %s: %.1f s" % (label, time.monotonic() - start), flush=True)
    check(r.returncode == expected_code, "%s: exit code %d, expected %d" % (label, r.returncode, expected_code))
    err = r.stderr.decode("utf-8", errors="replace")
    check(reason in err, "%s: %r not on stderr: %r" % (label, reason, err[-300:]))
    if os.path.exists(log):
        with open(log, "rb") as f:
            check(reason in f.read().decode("utf-8", errors="replace"), "%s: %r not in the run log" % (label, reason))
    else:
        check(False, "%s: no run log" % label)
    return r


class FailureCase:
    def __init__(self, label, args, code, reason, boxed=True, after=lambda: None):
        self.label, self.args, self.code, self.reason, self.boxed, self.after = label, args, code, reason, boxed, after


def failure_cases(c, tag, full):
    """Every failure a caller must tell apart by its exit code, with folders of their own under
    `tag`; `full` is a small file system to fill, or None. `boxed`: without -silent its message
    is one "Error" box and nothing else."""
    def folder(name):
        return os.path.join(WORK, "%s %s" % (tag, name))

    def program(name, sources, settings, password=None):
        return pack("%s_%s" % (tag, name), sources, settings, password=password)

    bare = os.path.join(WORK, "%s_bare%s" % (tag, ".exe" if WINE else ""))
    shutil.copy(STUB, bare)
    # Its box is followed by the main dialog of the defaults: scenario_no_payload answers both.
    yield FailureCase("no payload", [bare], 13, "Error: Failed to find marker.", boxed=False)
    exe = program("ok", [c.samples], dict(AUTO))
    cut = os.path.join(WORK, "%s_cut%s" % (tag, ".exe" if WINE else ""))
    with open(exe, "rb") as f:
        data = f.read()
    with open(cut, "wb") as f:
        f.write(data[:-300])
    os.chmod(cut, 0o755)
    yield FailureCase("truncated payload", [cut, "-unzipDir", win(folder("cut"))], 13, "Error: ")
    locked = program("pwd", [c.samples], dict(AUTO, Encryption="1"), password="right")
    # Without -silent the password dialog follows the box (scenario_encrypted and the dialog
    # scenarios take those runs).
    yield FailureCase("wrong password", [locked, "-pwd", "wrong", "-unzipDir", win(folder("pwd"))], 86,
                      "Incorrect password.", boxed=False)
    yield FailureCase("missing password", [locked, "-unzipDir", win(folder("pwd"))], 86,
                      "Error: No password was given (-pwd).", boxed=False)
    if not WINE:
        # A program that is there but may not be started (the emulation refuses a folder as
        # Windows refuses a blocked file): its own error, the folder and the way out.
        blocked = folder("blocked")
        yield FailureCase("setup refused", [program("refused", [c.samples], dict(AUTO, SetupExe="docs")), "-unzipDir",
                                             win(blocked)], 5,
                          "Windows refused to start docs in %s: " % stub_path(blocked))
        yield FailureCase("setup refused hint", [program("refused", [c.samples], dict(AUTO, SetupExe="docs")),
                                                  "-unzipDir", win(blocked + " 2")], 5,
                          "(error 5). A security policy or a virus scanner may block programs in this folder; "
                          "-unzipDir chooses another folder.")
    nosetup = program("nosetup", [c.samples], dict(AUTO, SetupExe="missing-setup.exe"))
    yield FailureCase("setup missing", [nosetup, "-unzipDir", win(folder("nosetup"))], 2,
                      "Failed to run missing-setup.exe")
    # A folder where a file is to go cannot be opened for writing: Windows says access denied.
    denied = folder("denied")
    os.makedirs(os.path.join(denied, "readme.txt", "inside"))
    yield FailureCase("access denied", [exe, "-unzipDir", win(denied)], 5, "Failed to open file.",
                      after=lambda: check(os.path.isdir(os.path.join(denied, "readme.txt", "inside")),
                                          "%s access denied: the folder went" % tag))
    # An entry name that climbs out of the target, written over a harmless one of the same length.
    hostile_source = folder("hostile source")
    os.makedirs(hostile_source)
    with open(os.path.join(hostile_source, "zzzescaped.txt"), "wb") as f:
        f.write(b"would land beside the target\n")
    hostile = program("hostile", [hostile_source], dict(AUTO))
    with open(hostile, "r+b") as f:
        data = bytearray(f.read())
        at = data.rfind(b"zzzescaped.txt")
        data[at:at + 14] = b"..\\escaped.txt"
        f.seek(0)
        f.write(read_payload.restamp_check_values(bytes(data)))
    yield FailureCase("hostile name", [hostile, "-unzipDir", win(os.path.join(folder("hostile"), "target"))], 13,
                      "Refused an entry name that is not a relative path inside the unzip directory.",
                      after=lambda: check(not os.path.exists(os.path.join(folder("hostile"), "escaped.txt")),
                                          "%s hostile name: a file escaped" % tag))
    if full:
        yield FailureCase("disk full", [exe, "-unzipDir", win(full)], 112, "Error: ",
                          after=lambda: check(not os.path.exists(os.path.join(full, "docs", "deep", "data.bin")),
                                              "%s disk full: half a file" % tag))


def scenario_silent_failures(c):
    with mounted_small_tmpfs("silent full") as full:
        for case in failure_cases(c, "silent", full):
            silent_run("silent " + case.label, case.args, case.code, case.reason)
            case.after()


def scenario_silent_success(c):
    """Neither a package asking for every dialog nor a Silent package shows one."""
    dialogs = dict(ShowMain="1", ShowProgress="1", ShowFin="1", WaitForSetup="1")
    exe = pack("silent_dialogs", [c.samples, c.setup_dir], dict(dialogs, SetupExe=SETUP_NAME))
    marker = os.path.join(WORK, "silent-marker.txt")
    target = os.path.join(WORK, "silent main")
    r = run_silent("-silent on a main-dialog package", [exe, "-silent", "-unzipDir", win(target), "-ap",
                                                       "%s 7" % win(marker)])
    check(r.returncode == 7, "-silent on a main-dialog package: exit code %d, expected 7" % r.returncode)
    check_tree("-silent on a main-dialog package", exe, target)
    check(os.path.exists(marker), "-silent on a main-dialog package: the setup program did not run")
    packaged = pack("silent_setting", [c.samples], dict(dialogs, Silent="1", AutoTemp="1"))
    r = run_silent("Silent package", [packaged, "-unzipDir", win(os.path.join(WORK, "silent setting"))])
    check(r.returncode == 0, "Silent package: exit code %d" % r.returncode)
    check_tree("Silent package", packaged, os.path.join(WORK, "silent setting"))


HELP_LINES = ["-silent ", "-unzipDir DIR", "1223 ", "86 ", "13 ", "112 ", "Silent 1", "-acceptLicense ",
              "-overwrite always|never|older", "1639 ", "LicenseRequired 1", "Overwrite always|never|older"]


def seen_code(code):
    """The exit code as a scenario sees it: whole under Wine, where the driver reads it on the
    Windows side; its low byte natively, all that Linux keeps."""
    return code if WINE else code & 0xFF


def scenario_license_policy(c):
    """LicenseRequired binds a silent run: without -acceptLicense nothing is extracted and the
    code is 1639; with it the run goes on; without the setting a silent run never asks."""
    settings = dict(AUTO, LicenseText="Terms of use.")
    required = pack("license_required", [c.samples], dict(settings, LicenseRequired="1"))
    target = os.path.join(WORK, "license refused")
    silent_run("license not accepted", [required, "-unzipDir", win(target)], seen_code(1639),
               "License: The license of this package must be accepted: run it again with -acceptLicense")
    check(not os.path.exists(target), "license not accepted: something was extracted")
    target = os.path.join(WORK, "license accepted")
    log = os.path.join(WORK, "license-accepted.log")
    r = run_silent("license accepted", [required, "-silent", "-acceptLicense", "-unzipDir", win(target), "-log",
                                        win(log)])
    check(r.returncode == 0, "license accepted: exit code %d" % r.returncode)
    check_tree("license accepted", required, target)
    with open(log, "rb") as f:
        check(b"\r\nLicense accepted on the command line.\r\n" in f.read(), "license accepted: no log line")
    optional = pack("license_optional", [c.samples], settings)
    target = os.path.join(WORK, "license optional")
    r = run_silent("license optional", [optional, "-silent", "-unzipDir", win(target)])
    check(r.returncode == 0, "license optional: exit code %d" % r.returncode)
    check_tree("license optional", optional, target)


def scenario_overwrite_policy(c):
    """Each overwrite policy against a target holding an older readme.txt and a newer guide.txt;
    the command line wins over the package's setting, and an unknown word writes nothing."""
    packaged_never = pack("overwrite_never", [c.samples], dict(AUTO, Overwrite="never"))
    plain = pack("overwrite", [c.samples], AUTO)
    old_file, new_file = "readme.txt", "docs\\guide.txt"  # as the payload names them
    cases = [("default", plain, [], {old_file, new_file}),
             ("always", packaged_never, ["-overwrite", "always"], {old_file, new_file}),
             ("never", plain, ["-overwrite", "never"], set()),
             ("packaged never", packaged_never, [], set()),
             ("older", plain, ["-overwrite", "OLDER"], {old_file})]
    for name, exe, args, replaced in cases:
        label = "overwrite " + name
        target = os.path.join(WORK, label)
        os.makedirs(os.path.join(target, "docs"))
        for rel, year in ((old_file, 2001), (new_file, 2035)):
            with open(os.path.join(target, *rel.split("\\")), "wb") as f:
                f.write(b"the administrator's own")
            stamp = time.mktime((year, 1, 1, 0, 0, 0, 0, 0, -1))
            os.utime(os.path.join(target, *rel.split("\\")), (stamp, stamp))
        log = os.path.join(WORK, label.replace(" ", "-") + ".log")  # -log takes one token
        r = run([exe, "-unzipDir", win(target), "-log", win(log)] + args)
        check(r.returncode == 0, "%s: exit code %d" % (label, r.returncode))
        check_tree(label, exe, target, skip={old_file, new_file} - replaced)
        for rel in {old_file, new_file} - replaced:
            with open(os.path.join(target, *rel.split("\\")), "rb") as f:
                check(f.read() == b"the administrator's own", "%s: %s was replaced" % (label, rel))
        with open(log, "rb") as f:
            kept = re.findall(r"kept existing file: ([^\r]*)\r\n", f.read().decode("utf-8", errors="replace"))
        check(sorted(kept) == sorted({old_file, new_file} - replaced),
              "%s: kept lines %r" % (label, kept))
    target = os.path.join(WORK, "overwrite unknown")
    silent_run("overwrite unknown", [plain, "-unzipDir", win(target), "-overwrite", "sometimes"], 1,
               "Unknown overwrite policy (always, never or older): sometimes")
    check(not os.path.exists(target), "overwrite unknown: the target was created")


def scenario_help(c):
    exe = pack("help", [c.samples], dict(AUTO, UnzipDir=win(os.path.join(WORK, "help target"))))
    for option in ["-help", "-?"]:
        r = run([exe, option, "-silent"], timeout=SILENT_LIMIT)
        err = r.stderr.decode(errors="replace")
        check(r.returncode == 0, "%s: exit code %d" % (option, r.returncode))
        check(err.startswith("Help: Options:"), "%s: stderr %r" % (option, err[:200]))
        for line in HELP_LINES:
            check(line in err, "%s: the help lacks %r" % (option, line))
    check(not os.path.exists(os.path.join(WORK, "help target")), "-help extracted")
    if not WINE:
        return
    # Without -silent the text is a message box, answered by the driver.
    answers = tempfile.TemporaryFile()
    clicker = subprocess.Popen([WINE_RUN, PRESS_OK, "answer", "Help"], env=ENV, cwd=WORK, stdout=answers,
                               stderr=subprocess.DEVNULL)
    r = run([exe, "-HELP"])
    clicker.wait(timeout=RUN_TIMEOUT)
    answers.seek(0)
    text = answers.read().decode(errors="replace")
    check(r.returncode == 0, "-help box: exit code %d" % r.returncode)
    for line in HELP_LINES:
        check(line in text, "-help box lacks %r: %r" % (line, text[:200]))


def scenario_failure_box_then_code(c):
    """Without -silent each failure still shows its box, and then the exit code says why (under
    Wine the Unix side sees its low byte, which these codes fit in)."""
    with mounted_small_tmpfs("box full") as full:
        for case in failure_cases(c, "box", full):
            if not case.boxed:
                continue
            print("  box %s" % case.label, flush=True)
            if WINE:
                answers = tempfile.TemporaryFile()
                clicker = subprocess.Popen([WINE_RUN, PRESS_OK, "answer", "Error"], env=ENV, cwd=WORK,
                                           stdout=answers, stderr=subprocess.DEVNULL)
            r = run(case.args)
            if WINE:
                clicker.wait(timeout=RUN_TIMEOUT)
                answers.seek(0)
                messages = answers.read().decode(errors="replace")
            else:
                messages = r.stderr.decode(errors="replace")
            check(r.returncode == case.code, "box %s: exit code %d, expected %d" % (case.label, r.returncode, case.code))
            check(case.reason.replace("Error: ", "") in messages, "box %s: %r lacks %r" % (case.label, messages, case.reason))
            case.after()


class Context:
    def __init__(self):
        self.samples = os.path.join(WORK, "samples")
        make_samples(self.samples)
        self.setup_dir = os.path.join(WORK, "setup")
        os.makedirs(self.setup_dir)
        setup = os.path.join(self.setup_dir, SETUP_NAME)
        shutil.copy(FAKE_SETUP, setup)
        stamp = time.mktime((2022, 3, 4, 5, 6, 7, 0, 0, -1))
        os.utime(setup, (stamp, stamp))

    @staticmethod
    def logged_temp_dir(log):
        with open(log, "rb") as f:
            m = re.search(r"temp unzipDir = \[([^\]]*)\]", f.read().decode("utf-8", errors="replace"))
        return m.group(1) if m else ""

def scenario_many_chunks(c):
    """A file of many chunks, decoded on the worker threads, plain and encrypted; the time is
    printed so that the native and the Wine run can be set side by side."""
    source = os.path.join(WORK, "many chunks")
    os.makedirs(os.path.join(source, "sub"), exist_ok=True)
    words = [b"alpha", b"beta", b"gamma", b"delta", b"epsilon", b"zeta", b"eta", b"theta"]
    big = b" ".join(words[(i * i + i // 7) % 8] + b"%d" % (i % 1000) for i in range(1500000))
    with open(os.path.join(source, "sub", "large.txt"), "wb") as f:
        f.write(big)
    for i in range(40):
        with open(os.path.join(source, "small%02d.txt" % i), "wb") as f:
            f.write(b"small file %d\n" % i * (i + 1))
    # Whole seconds: a file keeps no fraction of its time.
    stamp = time.mktime((2022, 3, 4, 5, 6, 7, 0, 0, -1))
    for folder, _dirs, files in os.walk(source):
        for name in files:
            os.utime(os.path.join(folder, name), (stamp, stamp))
    for label, password in (("many chunks", None), ("many chunks encrypted", "p4ss")):
        settings = dict(AUTO, Encryption="1") if password else AUTO
        exe = pack(label.replace(" ", "_"), [source], settings, password=password)
        target = os.path.join(WORK, "out " + label)
        args = [exe, "-unzipDir", win(target)] + (["-pwd", password] if password else [])
        start = time.perf_counter()
        r = run(args)
        elapsed = time.perf_counter() - start
        check(r.returncode == 0, "%s: exit code %d: %s" % (label, r.returncode, r.stderr[-300:]))
        check_tree(label, exe, target, password)
        print("     %s: %.1f MB in %.2f s%s" % (label, len(big) / 1e6, elapsed, " (Wine)" if WINE else ""))


def scenario_failures_reported(c):
    """A damaged chunk and a full disk, met by the extraction off the window thread, still reach
    the person as one error each, and leave no half file behind."""
    label = "failures"
    if WINE:
        return
    import random
    rnd = random.Random(14)
    source = os.path.join(WORK, "failing")
    os.makedirs(source)
    words = [b"alpha", b"beta", b"gamma", b"delta", b"epsilon", b"zeta", b"eta", b"theta"]
    with open(os.path.join(source, "text.txt"), "wb") as f:
        f.write(b" ".join(rnd.choice(words) for _ in range(60000)))
    exe = pack("failing", [source], AUTO)
    with open(exe, "r+b") as f:
        data = f.read()
        # After the name: time (8), attributes (4) and the first chunk's size word (4). Its
        # first block then claims the reserved block type, which no inflater accepts.
        first_chunk = data.rfind(b"text.txt") + len("text.txt") + 16
        f.seek(first_chunk)
        f.write(bytes([0x07]))
    target = os.path.join(WORK, "out damaged")
    r = run([exe, "-unzipDir", win(target)])
    err = r.stderr.decode(errors="replace")
    check(r.returncode == 13, "%s: damaged chunk: exit code %d, expected 13" % (label, r.returncode))
    check(err.startswith("Error: QuorvelLog:") and err.count("--QuorvelLog") == 1 and "inflate" in err,
          "%s: damaged chunk messages %r" % (label, err))
    check(not os.path.exists(os.path.join(target, "text.txt")), "%s: half a damaged file stayed" % label)

    with mounted_small_tmpfs("full") as full:
        if not full:
            return
        exe = pack("full", [c.samples, source], AUTO)
        r = run([exe, "-unzipDir", full])
        err = r.stderr.decode(errors="replace")
        check(r.returncode == 112, "%s: full target: exit code %d, expected 112" % (label, r.returncode))
        check(err.startswith("Error: QuorvelLog:") and err.count("--QuorvelLog") == 1 and "not enough space" in err,
              "%s: full target messages %r" % (label, err))
        check(not os.path.exists(os.path.join(full, "failing", "text.txt")), "%s: half a file on the full disk" % label)


def scenario_full_during_replacement(c):
    """A disk that fills while a file's replacement is written: the earlier copies of every file,
    the one being replaced and the one replaced before it, are what they were, and nothing of
    the run is left."""
    label = "full during replacement"
    source = os.path.join(WORK, "replacing")
    os.makedirs(source)
    with open(os.path.join(source, "a_keep.txt"), "wb") as f:
        f.write(b"the new keep\r\n")
    with open(os.path.join(source, "b_big.bin"), "wb") as f:
        f.write(os.urandom(200 * 1024))
    exe = pack("replacing", [source], AUTO)
    with mounted_small_tmpfs("replace full") as full:
        if not full:
            return
        earlier = {"a_keep.txt": b"the earlier keep\r\n", "b_big.bin": b"the earlier big file\r\n"}
        for name, data in earlier.items():
            with open(os.path.join(full, name), "wb") as f:
                f.write(data)
        code = run([exe, "-silent", "-unzipDir", win(full)]).returncode
        check(code == 112, "%s: exit code %d, expected 112" % (label, code))
        left = {}
        for name in os.listdir(full):
            with open(os.path.join(full, name), "rb") as f:
                left[name] = f.read()
        check(left == earlier, "%s: the folder holds %r" % (label, {n: d[:30] for n, d in left.items()}))


SCENARIOS = [scenario_unzip_dir, scenario_temp_cleanup_setup, scenario_shell, scenario_job_wait, scenario_auto_exit, scenario_debug,
             scenario_encrypted, scenario_no_payload, scenario_unzip_dir_texts, scenario_failures_reported,
             scenario_full_during_replacement, scenario_many_chunks,
             scenario_unicode, scenario_ansi_password, scenario_silent_failures, scenario_silent_success,
             scenario_help, scenario_failure_box_then_code, scenario_license_policy, scenario_overwrite_policy,
             scenario_private_temp]


def main():
    c = Context()
    failed = ran = 0
    # SFX_E2E_ONLY=name,name runs only those scenarios (for a quick look at one).
    only = [n for n in os.environ.get("SFX_E2E_ONLY", "").split(",") if n]
    for s in SCENARIOS:
        if only and s.__name__.replace("scenario_", "") not in only:
            continue
        before = len(failures)
        ran += 1
        try:
            s(c)
        except subprocess.TimeoutExpired:
            failures.append("%s: timed out (a message box nobody answered?)" % s.__name__)
        except Exception as e:  # noqa: BLE001 - report and go on with the next scenario
            failures.append("%s: %s: %s" % (s.__name__, type(e).__name__, e))
        if len(failures) > before:
            failed += 1
        print("%s %s" % ("FAIL" if len(failures) > before else "ok  ", s.__name__), flush=True)
    for f in failures:
        print("FAIL:", f)
    print("%d passed, %d failed" % (ran - failed, failed))
    if not failures:
        shutil.rmtree(WORK, ignore_errors=True)
    return 1 if failures else 0


SETUP_NAME = "setup.exe" if WINE else "setup"
# Wine gives the stub job objects; the Linux stub waits for the one process and says why.
JOB_LINE = ("setup job ended: waited for 1 process(es)\r\n" if WINE
            else "no job object for the setup program (error 50): waiting for it alone\r\n")
# The bytes a password is hashed from: the ANSI code page of Wine's English locale (checked by
# the stub's own unit tests), UTF-8 on Linux.
PASSWORD_CODING = "cp1252" if WINE else "utf-8"

if __name__ == "__main__":
    with wine_server.held(ENV, WINE):
        code = main()
    sys.exit(code)
