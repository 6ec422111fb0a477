#!/usr/bin/env python3
"""Extraction speed and memory of our stub beside 7-Zip, unzip and tar, in the same run.

usage: extract_bench.py SFXPACK [WORKDIR] [--runs=N] [--fs=tmpfs|disk] [--corpus=real|small]
Two corpora: about 100 MB of this machine's real files (documentation, headers, shared libraries
and programs, sampled by corpus_sampler.py) and 20,000 small files of 1-4 KiB. Each is packed by SFXPACK
into a program for the automatic mode (the stub beside SFXPACK, run with -unzipDir), zipped at
level 6 for `7zz x` and `unzip`, and put in an uncompressed tar for `tar -x`, the file-system
floor. Every tool extracts into a fresh folder on tmpfs (/dev/shm) and on the disk-backed
temporary folder (or only the one --fs names), best of N rounds of every tool (default 5). On the disk, when run
as root, each run gets a new ext4 file system in an image file there (see fresh_folder). "ours-1cpu" is our stub held to one processor with
taskset, where it decodes every chunk on its own thread: the parallel gain is ours-1cpu/ours.
"ours-nocheck" is the same corpus packed with --no-check: ours/ours-nocheck is what verifying
the check values costs. On the small files, "ours-over" extracts over a folder that already holds
every file (each then goes under a temporary name and replaces its earlier copy at the end) and
"before-over" does the same with the stub of the last revision that overwrote files in place
(built from git): ours-over/before-over and the microseconds per file are what keeping the
earlier copies costs.
Prints the times, the ratios 7zz/ours, unzip/ours and ours/tar, our files per second and our
peak resident memory (GNU time). Use the native-release build.
"""
import contextlib
import os
import random
import shutil
import subprocess
import sys
import tarfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from corpus_sampler import build_once, corpus_size, sample_corpus  # noqa: E402
import earlier_build  # noqa: E402

# The parent of the commit that made a run keep the earlier copy of every file it replaces.
IN_PLACE_REVISION = "c04e0a5~1"

SMALL_COUNT = 20000
FILESYSTEMS = [("tmpfs", "/dev/shm"), ("disk", "/var/tmp")]


def make_small_corpus(root):
    """SMALL_COUNT files of 1-4 KiB of word-like text, 200 to a folder."""
    rng = random.Random(13)
    words = ["".join(rng.choice("abcdefghijklmnopqrstuvwxyz") for _ in range(rng.randint(2, 9)))
             for _ in range(2000)]
    for i in range(SMALL_COUNT):
        folder = os.path.join(root, "d%03d" % (i // 200))
        os.makedirs(folder, exist_ok=True)
        size = rng.randint(1024, 4096)
        text = []
        length = 0
        while length < size:
            w = rng.choice(words)
            text.append(w)
            length += len(w) + 1
        with open(os.path.join(folder, "f%05d.txt" % i), "w") as f:
            f.write(" ".join(text)[:size])


def pack(sfxpack, corpus, work, name):
    """Our program for the automatic mode (with check values, and once more without them), a
    level-6 zip and an uncompressed tar of `corpus`."""
    exe, unchecked, zipped, tarred = (os.path.join(work, name + ext)
                                      for ext in ("-sfx", "-sfx-nocheck", ".zip", ".tar"))
    for path in (exe, unchecked, zipped, tarred):
        if os.path.exists(path):
            os.remove(path)
    for program, options in ((exe, []), (unchecked, ["--no-check"])):
        subprocess.run([sfxpack, "build", "-o", program, "--level", "6", "--set", "ShowMain=0", "--set",
                        "ShowProgress=0"] + options + [corpus], check=True, stdout=subprocess.DEVNULL)
        os.chmod(program, 0o755)
    subprocess.run(["zip", "-q", "-r", "-6", zipped, "."], cwd=corpus, check=True)
    with tarfile.open(tarred, "w") as t:
        t.add(corpus, arcname=".")
    return exe, unchecked, zipped, tarred


def payload_of(program):
    """The payload SFXPACK appended to `program`: everything from the container marker on."""
    with open(program, "rb") as f:
        data = f.read()
    return data[data.index(bytes.fromhex("07d26cbf2159abaa")):]


def timed(command, cwd, work):
    """Elapsed seconds and peak resident memory (MB) of one run. GNU time forks the command
    itself, so the memory figure is the command's alone."""
    report = os.path.join(work, "rss.txt")
    start = time.perf_counter()
    proc = subprocess.run(["/usr/bin/time", "-f", "%M", "-o", report] + command, cwd=cwd,
                          stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    elapsed = time.perf_counter() - start
    if proc.returncode != 0:
        sys.exit("failed: %s\n%s" % (" ".join(command), proc.stderr.decode(errors="replace")))
    with open(report) as f:
        peak_kb = int(f.read().split()[-1])
    return elapsed, peak_kb / 1024.0


def can_mount_images():
    return os.geteuid() == 0 and shutil.which("mkfs.ext4") is not None and shutil.which("mount") is not None


@contextlib.contextmanager
def fresh_folder(fs, base, work):
    """An empty folder for one run. On the disk, when this process may mount, a new ext4 file
    system in an image file on `base`, made for this run alone: ext4 skips the inodes of files
    deleted a short while ago when it allocates new ones, and a run that followed the removal
    of the last run's 4,000 or 20,000 files spent seconds in that search (perf: recently_deleted,
    find_inode_bit), whichever tool it was."""
    if fs == "disk" and can_mount_images():
        image = os.path.join(base, "extract-bench.img")
        mount_point = os.path.join(work, "mnt")
        os.makedirs(mount_point, exist_ok=True)
        with open(image, "wb") as f:
            f.truncate(1 << 30)
        # Tables written now, so that no background initialisation runs beside the tool.
        subprocess.run(["mkfs.ext4", "-q", "-F", "-E", "lazy_itable_init=0,lazy_journal_init=0", image], check=True)
        subprocess.run(["mount", "-o", "loop", image, mount_point], check=True)
        try:
            out = os.path.join(mount_point, "out")
            os.makedirs(out)
            yield out
        finally:
            subprocess.run(["umount", mount_point], check=True)
            os.remove(image)
    else:
        out = os.path.join(base, "extract-bench-out")
        shutil.rmtree(out, ignore_errors=True)
        os.makedirs(out)
        try:
            yield out
        finally:
            shutil.rmtree(out)


def fastest_runs(tools, fs, base, work, runs):
    """Each tool's fastest of `runs` runs and its peak RSS. Round after round of every tool, so
    that a disk that slows down for a while (write-back of other work, a virtual disk's limits)
    weighs on every tool alike instead of on the one whose turn it was."""
    best, peak = {}, {}
    for _ in range(runs):
        for label, make_command, *prepare in tools:
            with fresh_folder(fs, base, work) as out:
                for step in prepare:
                    step(out)
                subprocess.run(["sync"])
                elapsed, rss = timed(make_command(out), out, work)
            best[label] = min(best.get(label, elapsed), elapsed)
            peak[label] = max(peak.get(label, 0.0), rss)
    return best, peak


def count_files(root):
    return sum(len(files) for _, _, files in os.walk(root))


def main():
    args = [a for a in sys.argv[1:] if not a.startswith("--")]
    runs = 5
    filesystems = FILESYSTEMS
    wanted = None
    for a in sys.argv[1:]:
        if a.startswith("--runs="):
            runs = int(a.split("=", 1)[1])
        elif a.startswith("--fs="):
            filesystems = [f for f in FILESYSTEMS if f[0] == a.split("=", 1)[1]]
        elif a.startswith("--corpus="):
            wanted = a.split("=", 1)[1]
    sfxpack = os.path.abspath(args[0])
    work = os.path.abspath(args[1] if len(args) > 1 else "build/extract-bench")
    os.makedirs(work, exist_ok=True)
    corpora = [("real", sample_corpus), ("small", lambda dest: build_once(dest, make_small_corpus))]
    for name, make in corpora:
        if wanted is not None and name != wanted:
            continue
        corpus = os.path.join(work, "corpus-" + name)
        make(corpus)
        exe, unchecked, zipped, tarred = pack(sfxpack, corpus, work, name)
        files = count_files(corpus)
        size = corpus_size(corpus)
        print("corpus %s: %d files, %.1f MB; ours %.1f MB, zip %.1f MB" %
              (name, files, size / 1e6, os.path.getsize(exe) / 1e6, os.path.getsize(zipped) / 1e6))
        tools = [
            ("ours", lambda out: [exe, "-unzipDir", out]),
            ("ours-1cpu", lambda out: ["taskset", "-c", "0", exe, "-unzipDir", out]),
            ("ours-nocheck", lambda out: [unchecked, "-unzipDir", out]),
            ("7zz", lambda out: ["7zz", "x", "-y", "-bd", "-o" + out, zipped]),
            ("unzip", lambda out: ["unzip", "-q", zipped, "-d", out]),
            ("tar", lambda out: ["tar", "-xf", tarred, "-C", out]),
        ]
        if name == "small":
            before = earlier_build.build_at(IN_PLACE_REVISION, os.path.join(work, "in-place"), "sfx", "sfx")
            earlier = os.path.join(work, "small-sfx-in-place")
            with open(earlier, "wb") as f:
                f.write(open(before, "rb").read() + payload_of(exe))
            os.chmod(earlier, 0o755)
            # The files already there, untimed: tar puts them in place as the earlier run would have.
            existing = lambda out: subprocess.run(["tar", "-xf", tarred, "-C", out], check=True)
            tools += [("ours-over", lambda out: [exe, "-unzipDir", out], existing),
                      ("before-over", lambda out: [earlier, "-unzipDir", out], existing)]
        for fs, base in filesystems:
            t, rss = fastest_runs(tools, fs, base, work, runs)
            print("  %-5s %s" % (fs, "  ".join("%s %.3f s" % (tool[0], t[tool[0]]) for tool in tools)))
            print("  %-5s ratios 7zz/ours=%.2f unzip/ours=%.2f ours/tar=%.2f ours-1cpu/ours=%.2f "
                  "ours/ours-nocheck=%.3f files_per_s=%.0f peak_rss_mb=%.1f (1cpu %.1f)" %
                  (fs, t["7zz"] / t["ours"], t["unzip"] / t["ours"], t["ours"] / t["tar"],
                   t["ours-1cpu"] / t["ours"], t["ours"] / t["ours-nocheck"], files / t["ours"], rss["ours"], rss["ours-1cpu"]))
            if "ours-over" in t:
                print("  %-5s replacing: ours-over/before-over=%.3f ours-over/ours=%.3f, %.1f us more per file "
                      "than in place" % (fs, t["ours-over"] / t["before-over"], t["ours-over"] / t["ours"],
                                         1e6 * (t["ours-over"] - t["before-over"]) / files))
            sys.stdout.flush()


if __name__ == "__main__":
    main()
