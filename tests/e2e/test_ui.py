#!/usr/bin/env python3
"""The stub's dialogs under Wine on a virtual display: real self-extracting programs made with
sfxpack, driven by DIALOG_DRIVER_EXE (window titles, control ids, posted messages), with a
screenshot of each scenario saved in SHOT_DIR.

usage: xvfb-run -a test_ui.py WINE_RUN SFXPACK_EXE STUB_EXE DIALOG_DRIVER_EXE SHOT_DIR [large]

With "large", the runs through a payload of more than a gigabyte instead: the window keeps
answering Windows' hang test, the bar moves, and a Cancel takes back what the run wrote.
"""
import filecmp
import os
import random
import re
import shutil
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import wine_paths  # noqa: E402
import wine_server  # noqa: E402

if len(sys.argv) not in (6, 7) or sys.argv[6:] not in ([], ["large"]):
    sys.exit(__doc__)
WINE_RUN, SFXPACK, STUB, DRIVER, SHOTS = (os.path.abspath(p) for p in sys.argv[1:6])
LARGE = sys.argv[6:] == ["large"]

MAIN = "Quorvel Zip Self-Extractor"
PASSWORD = "Enter Password"
PROGRESS = "Unzipping..."
FINISHED = "Finished."
ENV = dict(os.environ, TZ="UTC", WINEDEBUG="-all")
# A prefix of its own: the Wine server of a prefix keeps the display it started with, and one
# that another test started elsewhere would put every window of these runs there.
ENV["SFX_WINEPREFIX"] = os.path.abspath(os.environ.get("SFX_WINEPREFIX", "wineprefix")) + ("-large" if LARGE else "-ui")
RUN_TIMEOUT = 240 if LARGE else 40
WORK = tempfile.mkdtemp(prefix="sfx-ui-")
failures = []
started = []  # every stub run, so that a failed scenario leaves no dialog for the next one


def check(condition, message):
    if not condition:
        failures.append(message)
    return condition


def win(path):
    return "Z:" + path.replace("/", "\\")


def output_files():
    # Files, not pipes: Wine's background processes inherit the handles and hold pipes open.
    return tempfile.TemporaryFile(), tempfile.TemporaryFile()


def pack(name, settings, password=None, options=(), source=None):
    out = os.path.join(WORK, name + ".exe")
    args = [WINE_RUN, SFXPACK, "build", "-o", win(out), "--stub", win(STUB)] + list(options)
    # The main dialog unless a scenario says otherwise, whatever the packer's defaults are.
    for key, value in dict({"ShowMain": "1"}, **settings).items():
        args += ["--set", "%s=%s" % (key, value)]
    if password:
        args += ["--password", password]
    args.append(win(source or SAMPLES))
    out_file, err_file = output_files()
    if subprocess.run(args, env=ENV, cwd=WORK, timeout=RUN_TIMEOUT, stdout=out_file, stderr=err_file).returncode:
        err_file.seek(0)
        raise RuntimeError("sfxpack failed: %s" % err_file.read().decode(errors="replace"))
    return out


def write_large_text(path):
    """LARGE_BYTES of word-like text, which inflates at the speed real text does and, unlike
    zeros, goes to the disk as written: a block of 4 MiB, turned by a different amount each
    time, so that no two chunks are alike."""
    rng = random.Random(11)
    words = ["".join(rng.choice("abcdefghijklmnopqrstuvwxyz") for _ in range(rng.randint(2, 10)))
             for _ in range(5000)]
    lines = []
    size = 0
    while size < 4 << 20:
        lines.append(" ".join(rng.choice(words) for _ in range(12)) + "\r\n")
        size += len(lines[-1])
    block = "".join(lines).encode()[:4 << 20]
    with open(path, "wb") as f:
        for i in range(LARGE_BYTES // len(block)):
            turn = i * 104729 % len(block)
            f.write(block[turn:] + block[:turn])


def pack_large():
    """One payload for every large scenario: a big file of text in many chunks and a small one.
    Without a target it opens the main dialog; given one with "-unzipDir", the progress dialog.
    The runs write into the disk-backed temporary folder."""
    source = os.path.join(WORK, "large")
    os.makedirs(source)
    write_large_text(os.path.join(source, "big.bin"))
    with open(os.path.join(source, "small.txt"), "wb") as f:
        f.write(b"small\r\n")
    return pack("large", {"ShowMain": "0", "ShowProgress": "1", "ShowFin": "1", "AutoTemp": "0"},
                options=("--level", "1"), source=source)


class Stub:
    """One run of a self-extracting program, in the background while the driver works it."""

    def __init__(self, exe, args=(), cwd=None):
        self.out, self.err = output_files()
        self.process = subprocess.Popen([WINE_RUN, exe] + list(args), env=ENV, cwd=cwd or WORK,
                                        stdout=self.out, stderr=self.err)
        started.append(self.process)

    def exit_code(self):
        try:
            return self.process.wait(timeout=RUN_TIMEOUT)
        except subprocess.TimeoutExpired:
            self.process.kill()
            raise


def drive(*steps):
    """Runs the driver's steps; the lines it printed."""
    out, err = output_files()
    code = subprocess.run([WINE_RUN, DRIVER] + list(steps), env=ENV, cwd=WORK, timeout=RUN_TIMEOUT,
                          stdout=out, stderr=err).returncode
    out.seek(0)
    lines = out.read().decode("utf-8", errors="replace").replace("\r\n", "\n").splitlines()
    if code != 0:
        raise RuntimeError("driver %s: exit code %d, %s" % (" ".join(steps), code, lines[-1:] or ""))
    return lines


def wine_reg(key, name, kind, data):
    subprocess.run([WINE_RUN, "reg", "add", key, "/v", name, "/t", kind, "/d", data, "/f"], env=ENV,
                   timeout=RUN_TIMEOUT, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True)


def shot(name):
    subprocess.run(["import", "-window", "root", os.path.join(SHOTS, name + ".png")], env=ENV, timeout=30,
                   check=True)


def make_samples(root):
    os.makedirs(os.path.join(root, "docs"))
    for name, data in {"readme.txt": b"Hello from the payload.\r\n",
                       os.path.join("docs", "guide.txt"): b"guide " * 5000}.items():
        with open(os.path.join(root, name), "wb") as f:
            f.write(data)


def check_tree(label, target):
    """The samples arrived under target with their contents."""
    for base, _dirs, files in os.walk(SAMPLES):
        for name in files:
            rel = os.path.relpath(os.path.join(base, name), SAMPLES)
            got = os.path.join(target, rel)
            check(os.path.isfile(got) and filecmp.cmp(got, os.path.join(base, name), shallow=False),
                  "%s: %s missing or different" % (label, rel))


def linux_path(windows_path):
    """Where a path the stub named is on this machine's disk."""
    return wine_paths.disk_path(windows_path, ENV["SFX_WINEPREFIX"])


def scenario_main_unzip():
    label = "main unzip"
    exe = pack("main", {})
    cwd = os.path.join(WORK, "started here")
    os.makedirs(cwd)
    target = os.path.join(WORK, "out main")
    run = Stub(exe, cwd=cwd)
    shown = drive("wait", MAIN, "get", "1003")
    check(shown == [win(cwd)], "%s: proposed %r, expected the current directory" % (label, shown))
    drive("wait", MAIN, "set", "1003", win(target), "press", "1001", "waittext", "1013", "Finished!")
    bar = drive("wait", MAIN, "progress", "1008")
    check(bar == ["100"], "%s: progress bar at %r" % (label, bar))
    shot("main_finished")
    drive("wait", MAIN, "press", "2")
    check(run.exit_code() == 0, "%s: exit code" % label)
    check_tree(label, target)


def scenario_empty_field():
    label = "empty field"
    exe = pack("null", {"UnzipDir": "null"})
    run = Stub(exe)
    check(drive("wait", MAIN, "get", "1003") == [""], "%s: \"null\" is not shown as an empty field" % label)
    drive("wait", MAIN, "press", "1001", "wait", "Warning")
    shot("main_empty_warning")
    message = drive("answer", "Warning")
    check(message == ["Please enter an unzip directory."], "%s: warning %r" % (label, message))
    # Still open: the run did not start.
    check(drive("wait", MAIN, "get", "1013") == [""], "%s: a result was shown" % label)
    drive("wait", MAIN, "close")
    check(run.exit_code() == 0, "%s: exit code after the system-menu close" % label)


def scenario_proposals():
    label = "proposals"
    for settings, expected in [({"DefaultDir": "C:\\Default Dir"}, "C:\\Default Dir"),
                               ({"UnzipDir": "C:\\From Settings", "DefaultDir": "C:\\Not This"}, "C:\\From Settings")]:
        run = Stub(pack("proposal", settings))
        shown = drive("wait", MAIN, "get", "1003", "press", "2")
        check(shown == [expected], "%s: %r proposed %r" % (label, settings, shown))
        check(run.exit_code() == 0, "%s: %r exit code" % (label, settings))
    exe = pack("autotemp", {"AutoTemp": "1"})
    names = []
    for _ in range(2):  # a fresh name each time
        run = Stub(exe)
        names += drive("wait", MAIN, "get", "1003", "press", "2")
        check(run.exit_code() == 0, "%s: AutoTemp exit code" % label)
    for name in names:
        if check(re.fullmatch(r"[A-Za-z]:\\.+\\qvz_[A-Z0-9]{16}", name) is not None,
                 "%s: AutoTemp proposed %r" % (label, name)):
            check(not os.path.exists(linux_path(name)), "%s: %s was created before Unzip" % (label, name))
    check(len(names) == 2 and names[0] != names[1], "%s: AutoTemp proposed the same name twice: %r" % (label, names))


def scenario_browse_cancel():
    label = "browse cancel"
    run = Stub(pack("browse", {"DefaultDir": "C:\\Keep Me"}))
    drive("wait", MAIN, "press", "1004")
    drive("wait", "Browse for Folder")
    shot("browse_dialog")
    drive("wait", "Browse for Folder", "press", "2", "gone", "Browse for Folder")
    shown = drive("wait", MAIN, "get", "1003", "press", "2")
    check(shown == ["C:\\Keep Me"], "%s: field changed to %r" % (label, shown))
    check(run.exit_code() == 0, "%s: exit code" % label)


def scenario_password():
    label = "password"
    secret = "right one"
    target = os.path.join(WORK, "out password")
    exe = pack("encrypted", {"ShowMain": "0", "ShowProgress": "0", "Encryption": "1", "UnzipDir": win(target)},
               password=secret)
    run = Stub(exe)
    drive("wait", PASSWORD, "set", "1007", "wrong")
    shot("password_dialog")
    message = drive("wait", PASSWORD, "press", "1", "answer", "Error")
    check(message == ["Incorrect password."], "%s: wrong password gave %r" % (label, message))
    # The title-bar close is not giving up: the prompt comes back.
    drive("wait", PASSWORD, "close", "waitnew", PASSWORD, "set", "1007", secret, "press", "1")
    check(run.exit_code() == 0, "%s: exit code" % label)
    check_tree(label, target)
    cancelled = os.path.join(WORK, "out cancelled")
    run = Stub(exe, ["-unzipDir", win(cancelled)])
    drive("wait", PASSWORD, "press", "2")
    # 1223, cancelled by the user; a Unix parent sees its low byte.
    check(run.exit_code() == 1223 & 0xFF, "%s: cancelled automatic run should end with 1223" % label)
    check(not os.path.exists(cancelled), "%s: cancel still extracted" % label)


def scenario_progress_finished():
    label = "progress and finished"
    target = os.path.join(WORK, "out progress")
    exe = pack("progress", {"ShowMain": "0", "ShowProgress": "1", "ShowFin": "1", "UnzipDir": win(target),
                            "FinCaption": "All files are in place."})
    run = Stub(exe)
    caption = drive("wait", "Finished.", "get", "1014")
    check(caption == ["All files are in place."], "%s: finished caption %r" % (label, caption))
    check_tree(label, target)  # the extraction is over before the dialog appears
    shot("progress_finished")
    drive("wait", "Finished.", "press", "1015")
    check(run.exit_code() == 0, "%s: exit code" % label)


def timed_exit(label, run, limit_s):
    """The run's exit code, and a failure when it took longer than `limit_s` to end."""
    start = time.monotonic()
    code = run.exit_code()
    took = time.monotonic() - start
    print("%s: ended %.1f s after the request" % (label, took), flush=True)
    check(took <= limit_s, "%s: took %.1f s to end" % (label, took))
    return code


def scenario_close_stages():
    """WM_CLOSE to the hidden window at each stage ends the run promptly, never a hang."""
    label = "close stages"
    target = os.path.join(WORK, "out close password")
    exe = pack("close_password", {"ShowMain": "0", "ShowProgress": "0", "Encryption": "1", "UnzipDir": win(target)},
               password="secret")
    run = Stub(exe)
    drive("wait", PASSWORD, "closeclass", "SELFEXTRACT")
    code = timed_exit(label + " (password prompt)", run, 10)
    check(code == 1223 & 0xFF, "%s: password prompt exit code %d" % (label, code))
    check(not os.path.exists(target), "%s: extracted after the close" % label)

    run = Stub(pack("close_license", {"ShowMain": "0", "ShowProgress": "1", "UnzipDir": win(target)},
                    options=["--license", win(license_file(3))]))
    drive("wait", LICENSE, "closeclass", "SELFEXTRACT")
    code = timed_exit(label + " (license page)", run, 10)
    check(code == 1223 & 0xFF, "%s: license page exit code %d" % (label, code))
    check(not os.path.exists(target), "%s: extracted after the license close" % label)

    # A setup program that runs for half a minute, and says when it has started.
    source = os.path.join(WORK, "slow setup")
    os.makedirs(source)
    with open(os.path.join(source, "setup.bat"), "w", newline="\r\n") as f:
        f.write("@echo off\necho started> started.txt\nping -n 30 127.0.0.1 > nul\n")
    target = os.path.join(WORK, "out close setup")
    run = Stub(pack("close_setup", {"ShowMain": "0", "ShowProgress": "0", "SetupExe": "setup.bat",
                                    "WaitForSetup": "1", "UnzipDir": win(target)}, source=source))
    drive("waitsize", win(os.path.join(target, "started.txt")), "1", "closeclass", "SELFEXTRACT")
    code = timed_exit(label + " (setup wait)", run, 10)
    check(code == 1223 & 0xFF, "%s: setup wait exit code %d" % (label, code))

    target = os.path.join(WORK, "out close finished")
    run = Stub(pack("close_finished", {"ShowMain": "0", "ShowProgress": "1", "ShowFin": "1",
                                       "UnzipDir": win(target)}))
    drive("wait", FINISHED, "closeclass", "SELFEXTRACT")
    code = timed_exit(label + " (finished dialog)", run, 10)
    check(code == 0, "%s: finished dialog exit code %d" % (label, code))
    check_tree(label, target)

    run = Stub(pack("close_main", {}))
    drive("wait", MAIN, "closeclass", "SELFEXTRACT")
    code = timed_exit(label + " (main dialog)", run, 10)
    check(code == 0, "%s: main dialog exit code %d" % (label, code))


def scenario_double_unzip():
    """Two presses of Unzip in a row: one run, every file whole."""
    label = "double unzip"
    target = os.path.join(WORK, "out double")
    run = Stub(pack("double", {}))
    drive("wait", MAIN, "set", "1003", win(target), "press", "1001", "press", "1001", "waittext", "1013", "Finished!")
    drive("wait", MAIN, "press", "2")
    check(run.exit_code() == 0, "%s: exit code" % label)
    check_tree(label, target)


def main_layout(settings, title=MAIN):
    """Texts of caption, label and the three buttons, the dialog size and the two button places."""
    run = Stub(pack("layout", dict(settings, DefaultDir="C:\\x")))
    lines = drive("wait", title, "get", "1014", "get", "1017", "get", "1001", "get", "2", "get", "1004", "size",
                  "pos", "1001", "pos", "2")
    return run, lines[:5], lines[5], lines[6:8]


def scenario_overrides():
    label = "overrides"
    run, _texts, base_size, base_places = main_layout({})
    drive("wait", MAIN, "press", "2")
    run.exit_code()
    settings = {"MainTitle": "Custom Setup", "MainCaption": "Pick where the files go.", "MainUnzipLabel": "Target:",
                "MainUnzipBtn": "Go", "MainCloseBtn": "Quit", "MainBrowseBtn": "Pick...", "MainWidth": "600",
                "MainHeight": "200"}
    run, texts, size, places = main_layout(settings, "Custom Setup")
    check(texts == ["Pick where the files go.", "Target:", "Go", "Quit", "Pick..."], "%s: texts %r" % (label, texts))
    check(size == "600 200", "%s: size %r" % (label, size))
    check(places == ["514 11 75 25", "514 41 75 25"], "%s: buttons at %r" % (label, places))
    shot("main_overrides")
    drive("wait", "Custom Setup", "press", "2")
    check(run.exit_code() == 0, "%s: exit code" % label)
    # Button texts need the label; a size needs both numbers.
    run, texts, size, places = main_layout({"MainUnzipBtn": "Go", "MainWidth": "400", "MainHeight": "0"})
    check(texts[2:] == ["Unzip", "Close", "Browse"], "%s: button texts without a label %r" % (label, texts))
    check(size == base_size and places == base_places, "%s: width alone resized to %r %r" % (label, size, places))
    drive("wait", MAIN, "press", "2")
    check(run.exit_code() == 0, "%s: exit code" % label)


def scenario_no_payload():
    label = "no payload"
    bare = os.path.join(WORK, "bare.exe")
    shutil.copy(STUB, bare)
    run = Stub(bare)
    check(drive("answer", "Error") == ["Failed to find marker."], "%s: first message" % label)
    drive("wait", MAIN, "set", "1003", win(os.path.join(WORK, "out bare")), "press", "1001")
    reason = drive("answer", "Error")
    check(reason != [] and reason != [""], "%s: the failed run showed no reason" % label)
    drive("wait", MAIN, "waittext", "1013", "Error!")
    check(drive("wait", MAIN, "progress", "1008") == ["100"], "%s: progress bar" % label)
    shot("main_error")
    drive("wait", MAIN, "press", "2")
    # The failed run decides the code, even after the person closed the dialog.
    check(run.exit_code() == 13, "%s: exit code" % label)


LICENSE = "License Agreement"


def license_file(lines):
    path = os.path.join(WORK, "license.txt")
    with open(path, "w", newline="\n") as f:
        f.write("".join("%d. The licensee agrees to term number %d.\n" % (i, i) for i in range(1, lines + 1)))
    return path


def scenario_license_agree():
    label = "license agree"
    target = os.path.join(WORK, "out license")
    exe = pack("license", {"ShowMain": "0", "ShowProgress": "1", "UnzipDir": win(target)},
               options=["--license", win(license_file(200)), "--icon", win(ICON)])
    run = Stub(exe)
    count, first = drive("wait", LICENSE, "lines", "1018")[0].split()
    check(int(count) >= 200 and first == "0", "%s: edit shows %s lines from %s" % (label, count, first))
    check(drive("wait", LICENSE, "get", "1", "get", "2") == ["I Agree", "Decline"], "%s: button texts" % label)
    check(not os.path.exists(target), "%s: extracted before the license was accepted" % label)
    shot("license_page")
    scrolled = drive("wait", LICENSE, "pagedown", "1018", "lines", "1018")[0].split()[1]
    check(int(scrolled) > 0, "%s: a page down left the first visible line at %s" % (label, scrolled))
    before = drive("wait", LICENSE, "pos", "1018")[0].split()
    after = drive("wait", LICENSE, "resize", "700", "450", "pos", "1018")[0].split()
    check(int(after[2]) > int(before[2]) and int(after[3]) > int(before[3]),
          "%s: the edit did not grow with the window: %r -> %r" % (label, before, after))
    shot("license_resized")
    drive("wait", LICENSE, "press", "1")
    check(run.exit_code() == 0, "%s: exit code" % label)
    check_tree(label, target)


def declined(label, run, log):
    """Wine hands the Unix side only the low byte of an exit code; the run log has all of it."""
    check(run.exit_code() == 1223 & 0xFF, "%s: exit code %d" % (label, run.exit_code()))
    with open(log, "rb") as f:
        check(b"exitCode = 1223\r\n" in f.read(), "%s: the run log has no exit code 1223" % label)


def scenario_license_decline():
    label = "license decline"
    target = os.path.join(WORK, "out declined")
    log = os.path.join(WORK, "declined.log")
    settings = {"ShowMain": "0", "ShowProgress": "1", "UnzipDir": win(target), "LicenseText": "Short terms.",
                "LicenseTitle": "Terms of Use", "LicenseAcceptBtn": "Accept", "LicenseDeclineBtn": "Refuse"}
    exe = pack("declined", settings)
    run = Stub(exe, ["-log", win(log)])
    texts = drive("wait", "Terms of Use", "get", "1018", "get", "1", "get", "2")
    check(texts == ["Short terms.", "Accept", "Refuse"], "%s: texts %r" % (label, texts))
    shot("license_overrides")
    drive("wait", "Terms of Use", "press", "2")
    declined(label + " by Decline", run, log)
    run = Stub(exe, ["-log", win(log)])
    drive("wait", "Terms of Use", "close")
    declined(label + " by the title-bar close", run, log)
    check(not os.path.exists(target), "%s: something was extracted" % label)
    # The main dialog comes only after the license, too.
    run = Stub(pack("declined main", dict(settings, ShowMain="1")), ["-log", win(log)])
    drive("wait", "Terms of Use", "press", "2")
    declined(label + " in main mode", run, log)
    check(not os.path.exists(target), "%s: something was extracted in main mode" % label)


def scenario_branded_main():
    label = "branded main"
    target = os.path.join(WORK, "out branded")
    exe = pack("branded", {}, options=["--icon", win(ICON), "--version-info", "ProductName=Branded",
                                       "--version-info", "FileVersion=2.5", "--execution-level", "highestAvailable"])
    run = Stub(exe)
    drive("wait", MAIN, "set", "1003", win(target), "press", "1001", "waittext", "1013", "Finished!")
    shot("branded_main")
    drive("wait", MAIN, "press", "2")
    check(run.exit_code() == 0, "%s: exit code" % label)
    check_tree(label, target)


LARGE_BYTES = 1024 * 1024 * 1024
large_exe = []
newer_exe = []


def large_payload():
    if not large_exe:
        large_exe.append(pack_large())
    return large_exe[0]


def check_watch(label, lines):
    """The driver's watch report: never a whole second without an answer, the bar moving (at
    most ten times a second, so two positions between the ends are what a moving bar shows)."""
    silent = int(lines[0].split()[1]) if lines and lines[0].startswith("unanswered ") else 10 ** 6
    positions = [int(p) for p in lines[1].split()[1:]] if len(lines) > 1 else []
    print("%s: longest without an answer %d ms; bar positions %s" % (label, silent, positions), flush=True)
    check(silent < 1000, "%s: the window did not answer for %d ms" % (label, silent))
    check(len([p for p in positions if 0 < p < 100]) >= 2, "%s: bar positions %r" % (label, positions))


def check_large_tree(label, target):
    big = os.path.join(target, "big.bin")
    check(os.path.isfile(big) and filecmp.cmp(big, os.path.join(WORK, "large", "big.bin"), shallow=False),
          "%s: big.bin missing or not the packed one" % label)
    with open(os.path.join(target, "small.txt"), "rb") as f:
        check(f.read() == b"small\r\n", "%s: small.txt" % label)
    shutil.rmtree(target, ignore_errors=True)


def scenario_large_progress():
    label = "large progress"
    target = os.path.join(WORK, "out large progress")
    run = Stub(large_payload(), ["-unzipDir", win(target)])
    check_watch(label, drive("wait", PROGRESS, "watch", "0", "-"))
    drive("wait", FINISHED, "press", "1015")
    check(run.exit_code() == 0, "%s: exit code" % label)
    check_large_tree(label, target)


def scenario_large_main():
    label = "large main"
    target = os.path.join(WORK, "out large main")
    run = Stub(large_payload())
    check_watch(label, drive("wait", MAIN, "set", "1003", win(target), "press", "1001", "watch", "1013", "Finished!"))
    check(drive("wait", MAIN, "progress", "1008") == ["100"], "%s: bar at the end" % label)
    drive("wait", FINISHED, "press", "1015")
    check(run.exit_code() == 0, "%s: exit code" % label)
    check_large_tree(label, target)


def prepared_target(name):
    """A folder that already holds a file of its own, and the run's target inside it."""
    parent = os.path.join(WORK, name)
    os.makedirs(parent)
    with open(os.path.join(parent, "mine.txt"), "wb") as f:
        f.write(b"was here before\r\n")
    return parent, os.path.join(parent, "new")


def check_cancelled(label, run, parent, gone_ms=None, log=None):
    # ERROR_CANCELLED; a Unix exit status keeps only its low byte.
    code = run.exit_code()
    check(code == 1223 & 0xFF, "%s: exit code %d" % (label, code))
    check(os.listdir(parent) == ["mine.txt"], "%s: left behind %r" % (label, os.listdir(parent)))
    if gone_ms is not None:
        print("%s: window gone %s ms after the answer" % (label, gone_ms[0] if gone_ms else "?"), flush=True)
        check(gone_ms and int(gone_ms[0]) <= 2000, "%s: window took %r ms to go" % (label, gone_ms))
    if log:
        with open(log, "rb") as f:
            text = f.read().decode("utf-8", errors="replace")
        check("\r\nExtraction cancelled.\r\n" in text and "running exe" not in text,
              "%s: run log ends %r" % (label, text[-200:]))


def scenario_large_cancel_progress():
    label = "large cancel progress"
    parent, target = prepared_target("cancel progress")
    log = os.path.join(WORK, "cancel_progress.log")
    run = Stub(large_payload(), ["-unzipDir", win(target), "-log", win(log)])
    drive("wait", PROGRESS, "waitbar", "5", "90")
    shot("progress_running")
    drive("wait", PROGRESS, "close", "wait", "Cancel")
    shot("cancel_question")
    question = drive("yes", "Cancel")
    check(question == ["Cancel the extraction?"], "%s: question %r" % (label, question))
    check_cancelled(label, run, parent, drive("gonewithin", "2000", PROGRESS), log)


def scenario_large_cancel_main():
    label = "large cancel main"
    parent, target = prepared_target("cancel main")
    run = Stub(large_payload())
    drive("wait", MAIN, "set", "1003", win(target), "press", "1001", "waitbar", "5", "90")
    shot("main_running")
    drive("wait", MAIN, "press", "2", "yes", "Cancel")
    check_cancelled(label, run, parent, drive("gonewithin", "2000", MAIN))


def scenario_large_cancel_no():
    label = "large cancel answered no"
    target = os.path.join(WORK, "out cancel no")
    run = Stub(large_payload(), ["-unzipDir", win(target)])
    drive("wait", PROGRESS, "waitbar", "5", "90", "close", "no", "Cancel", "watch", "0", "-")
    drive("wait", FINISHED, "press", "1015")
    check(run.exit_code() == 0, "%s: exit code" % label)
    check_large_tree(label, target)


def scenario_large_cancel_automatic():
    """Nobody sees the automatic mode's window to be asked: closing it cancels at once."""
    label = "large cancel automatic"
    source = os.path.dirname(large_payload())
    exe = pack("large_auto", {"ShowMain": "0", "ShowProgress": "0", "AutoTemp": "0"},
               source=os.path.join(source, "large"))
    parent, target = prepared_target("cancel automatic")
    log = os.path.join(WORK, "cancel_automatic.log")
    run = Stub(exe, ["-unzipDir", win(target), "-log", win(log)])
    drive("waitsize", win(os.path.join(target, "big.bin")), str(LARGE_BYTES // 10), "closeclass", "SELFEXTRACT")
    check_cancelled(label, run, parent, log=log)


EARLIER = {"a.txt": (b"earlier a\r\n", False), "b_ro.txt": (b"earlier b\r\n", True), "keep.txt": (b"mine\r\n", False)}


def newer_version_payload():
    """Replaces a.txt and the read-only b_ro.txt, adds a folder with a read-only file, and ends
    with a large file (text, sorted last) to be interrupted in."""
    if not newer_exe:
        source = os.path.join(WORK, "newer")
        os.makedirs(os.path.join(source, "added"))
        for rel, content, read_only in [("a.txt", b"newer a\r\n", False), ("b_ro.txt", b"newer b\r\n", True),
                                        (os.path.join("added", "ro_new.txt"), b"new\r\n", True)]:
            with open(os.path.join(source, rel), "wb") as f:
                f.write(content)
            if read_only:
                os.chmod(os.path.join(source, rel), 0o444)
        write_large_text(os.path.join(source, "z_big.bin"))
        newer_exe.append(pack("newer", {"ShowMain": "0", "ShowProgress": "1", "ShowFin": "0", "AutoTemp": "0"},
                              options=("--level", "1"), source=source))
    return newer_exe[0]


def earlier_folder(name):
    """A folder that holds an earlier version: its files with old times, one read-only."""
    folder = os.path.join(WORK, name)
    os.makedirs(folder)
    for rel, (content, read_only) in EARLIER.items():
        path = os.path.join(folder, rel)
        with open(path, "wb") as f:
            f.write(content)
        os.utime(path, (1500000000, 1500000000))
        if read_only:
            os.chmod(path, 0o444)
    return folder


def check_as_before(label, folder):
    names = sorted(os.listdir(folder))
    check(names == sorted(EARLIER), "%s: the folder holds %r" % (label, names))
    for rel, (content, read_only) in EARLIER.items():
        path = os.path.join(folder, rel)
        if not os.path.exists(path):
            continue
        with open(path, "rb") as f:
            check(f.read() == content, "%s: %s has other content" % (label, rel))
        check(int(os.stat(path).st_mtime) == 1500000000, "%s: %s has another time" % (label, rel))
        # Wine's read-only attribute is the owner's missing write bit (os.access ignores it for root).
        check(not (os.stat(path).st_mode & 0o200) == read_only, "%s: %s read-only bit changed" % (label, rel))


def scenario_large_cancel_existing():
    label = "large cancel over an existing folder"
    folder = earlier_folder("cancel existing")
    log = os.path.join(WORK, "cancel_existing.log")
    run = Stub(newer_version_payload(), ["-unzipDir", win(folder), "-log", win(log)])
    drive("waitsize", win(os.path.join(folder, "z_big.bin")), str(LARGE_BYTES // 3), "wait", PROGRESS, "close",
          "wait", "Cancel")
    drive("yes", "Cancel")
    code = run.exit_code()
    check(code == 1223 & 0xFF, "%s: exit code %d" % (label, code))
    check_as_before(label, folder)


def scenario_large_logoff():
    label = "large log-off during extraction"
    folder = earlier_folder("logoff existing")
    run = Stub(newer_version_payload(), ["-unzipDir", win(folder)])
    lines = drive("waitsize", win(os.path.join(folder, "z_big.bin")), str(LARGE_BYTES // 3), "endsession",
                  "SELFEXTRACT")
    print("%s: %s" % (label, lines), flush=True)
    check(lines[:1] == ["query 1"], "%s: the session question was answered %r" % (label, lines))
    # Windows may end the process as soon as WM_ENDSESSION returns: the folder must be whole now.
    check_as_before(label, folder)
    code = run.exit_code()
    check(code == 1223 & 0xFF, "%s: exit code %d" % (label, code))


LARGE_SCENARIOS = [scenario_large_progress, scenario_large_main, scenario_large_cancel_progress,
                   scenario_large_cancel_main, scenario_large_cancel_no, scenario_large_cancel_automatic,
                   scenario_large_cancel_existing, scenario_large_logoff]
def scenario_high_dpi():
    """The dialogs at 144 dots per inch (Wine's LogPixels): larger, with the same layout."""
    label = "144 dpi"
    exe = pack("dpi", {"DefaultDir": "C:\\x"})
    run = Stub(exe)
    normal = drive("wait", MAIN, "size", "press", "2")
    run.exit_code()
    wine_reg(r"HKCU\Control Panel\Desktop", "LogPixels", "REG_DWORD", "144")
    wine_server.up(ENV)
    try:
        run = Stub(exe)
        large = drive("wait", MAIN, "size")
        shot("main_144dpi")
        drive("wait", MAIN, "press", "2")
        run.exit_code()
        run = Stub(pack("dpi_password", {"ShowMain": "0", "ShowProgress": "0", "Encryption": "1",
                                         "UnzipDir": win(os.path.join(WORK, "out dpi"))}, password="x"))
        drive("wait", PASSWORD)
        shot("password_144dpi")
        drive("wait", PASSWORD, "press", "2")
        run.exit_code()
    finally:
        wine_reg(r"HKCU\Control Panel\Desktop", "LogPixels", "REG_DWORD", "96")
        wine_server.up(ENV)
    w0, h0 = (int(v) for v in normal[0].split())
    w1, h1 = (int(v) for v in large[0].split())
    # Frames and title bars grow less than the dialog units do.
    check(w1 * 10 >= w0 * 13 and h1 * 10 >= h0 * 13, "%s: main dialog %dx%d at 96 dpi, %dx%d at 144" % (label, w0, h0, w1, h1))


SCENARIOS = [scenario_main_unzip, scenario_empty_field, scenario_proposals, scenario_browse_cancel,
             scenario_password, scenario_progress_finished, scenario_overrides, scenario_no_payload,
             scenario_license_agree, scenario_license_decline, scenario_branded_main, scenario_high_dpi,
             scenario_close_stages, scenario_double_unzip]
SAMPLES = os.path.join(WORK, "samples")
ICON = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "fixtures", "icons", "app.ico")


def main():
    # Wine's virtual desktop draws title bars and frames, so the screenshots show whole windows.
    wine_reg(r"HKCU\Software\Wine\Explorer", "Desktop", "REG_SZ", "Default")
    wine_reg(r"HKCU\Software\Wine\Explorer\Desktops", "Default", "REG_SZ", "1024x768")
    wine_server.up(ENV)
    make_samples(SAMPLES)
    os.makedirs(SHOTS, exist_ok=True)
    failed = 0
    # SFX_UI_ONLY=name,name runs just those scenarios, for working on one dialog.
    only = [n for n in os.environ.get("SFX_UI_ONLY", "").split(",") if n]
    scenarios = [s for s in (LARGE_SCENARIOS if LARGE else SCENARIOS) if not only or s.__name__ in only]
    for s in scenarios:
        before = len(failures)
        try:
            s()
        except Exception as e:  # noqa: BLE001 - report and go on with the next scenario
            failures.append("%s: %s: %s" % (s.__name__, type(e).__name__, e))
        failed += len(failures) > before
        for process in started:
            if process.poll() is None:
                process.kill()
                process.wait()
        print("%s %s" % ("FAIL" if len(failures) > before else "ok  ", s.__name__), flush=True)
    for f in failures:
        print("FAIL:", f)
    print("%d passed, %d failed; screenshots in %s" % (len(scenarios) - failed, failed, SHOTS))
    if not failures:
        shutil.rmtree(WORK, ignore_errors=True)
    return 1 if failures else 0


if __name__ == "__main__":
    with wine_server.held(ENV):
        code = main()
    sys.exit(code)
