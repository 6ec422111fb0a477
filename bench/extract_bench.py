#!/usr/bin/env python3
"""Extraction speed and memory of `sfxpack extract` beside unzip and 7-Zip, in the same run.

usage: extract_bench.py SFXPACK [WORKDIR]
Packs a mixed corpus of about 100 MB (the inflate benchmark's four large files plus a tree of
small text files) at level 6, zips the same files at level 6, then extracts each archive into a
fresh folder on the same file system, best of three runs each, and prints the ratios of the
elapsed times and our peak resident memory. Use the native-release build of sfxpack.
"""
import os
import shutil
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
RUNS = 3


def make_corpus(root):
    if os.path.isdir(root):
        return
    tmp = root + ".partial"
    shutil.rmtree(tmp, ignore_errors=True)
    subprocess.run([sys.executable, os.path.join(HERE, "make_inflate_corpus.py"), os.path.join(tmp, "large")],
                   check=True, stdout=subprocess.DEVNULL)
    # Many small files as well: creating files and setting their times is part of extracting.
    small, budget = os.path.join(tmp, "small"), 12 << 20
    for folder, dirs, files in sorted(os.walk("/usr/include")):
        dirs.sort()
        for name in sorted(files):
            path = os.path.join(folder, name)
            if budget <= 0 or os.path.islink(path) or not os.path.isfile(path):
                continue
            dest = os.path.join(small, os.path.relpath(path, "/usr/include"))
            os.makedirs(os.path.dirname(dest), exist_ok=True)
            shutil.copyfile(path, dest)
            budget -= os.path.getsize(path)
    os.rename(tmp, root)


def timed(command, cwd, work):
    """Elapsed seconds and peak resident memory (MB) of one run. GNU time measures the memory: it
    forks the command itself, so the figure is the command's alone, not this script's."""
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


def best_of(make_command, work, label):
    best, peak = None, 0.0
    for i in range(RUNS):
        out = os.path.join(work, "%s-%d" % (label, i))
        shutil.rmtree(out, ignore_errors=True)
        os.makedirs(out)
        subprocess.run(["sync"])
        elapsed, rss = timed(make_command(out), out, work)
        best = elapsed if best is None else min(best, elapsed)
        peak = max(peak, rss)
        shutil.rmtree(out)
    print("%-6s best %.3f s of %d, peak %.1f MB" % (label, best, RUNS, peak))
    return best, peak


def main():
    sfxpack = os.path.abspath(sys.argv[1])
    work = os.path.abspath(sys.argv[2] if len(sys.argv) > 2 else "build/extract-bench")
    os.makedirs(work, exist_ok=True)
    corpus = os.path.join(work, "corpus")
    make_corpus(corpus)
    packed, zipped = os.path.join(work, "corpus.bin"), os.path.join(work, "corpus.zip")
    for path in (packed, zipped):
        if os.path.exists(path):
            os.remove(path)
    subprocess.run([sfxpack, "build", "-o", packed, "--payload-only", "--level", "6", corpus], check=True,
                   stdout=subprocess.DEVNULL)
    subprocess.run(["zip", "-q", "-r", "-6", zipped, "."], cwd=corpus, check=True)
    size = sum(os.path.getsize(os.path.join(d, f)) for d, _, fs in os.walk(corpus) for f in fs)
    print("corpus %.1f MB; payload %.1f MB; zip %.1f MB" %
          (size / 1e6, os.path.getsize(packed) / 1e6, os.path.getsize(zipped) / 1e6))

    ours, peak = best_of(lambda out: [sfxpack, "extract", packed, "-d", out], work, "ours")
    unzip, _ = best_of(lambda out: ["unzip", "-q", zipped, "-d", out], work, "unzip")
    sevenzip, _ = best_of(lambda out: ["7zz", "x", "-y", "-o" + out, zipped], work, "7zz")
    print("extract ratio unzip/ours=%.2f 7zz/ours=%.2f peak_rss_mb=%.1f" % (unzip / ours, sevenzip / ours, peak))


if __name__ == "__main__":
    main()
