#!/usr/bin/env python3
"""Payload size and build time of sfxpack at levels 1, 6, 9 and 12, with one job and with every
hardware thread, beside zip -6, zip -9 and the zlib builder sfxpack had before libdeflate.

usage: pack_bench.py SFXPACK [--baseline ZLIB_SFXPACK] [--work DIR] [--runs N]
SFXPACK is the native-release build. The zlib builder is the sfxpack of revision ZLIB_REVISION;
without --baseline it is built once from that revision (git archive) into the work folder. The
corpus is about 100 MB of real files (corpus_sampler.py). The levels are built with --no-check,
as the zlib builder had no check values, so that sizes and times compare the same payload
contents; one more row gives the default build (level 9, check values on) beside them.
Every build runs N times (default 3), one round of all builds after another, and its fastest run
counts, with that run's elapsed and CPU time: on a shared machine a neighbour's burst then hurts
no builder's figure, and a slow stretch of the machine falls on every builder alike. The last lines give the ratios against the zlib builder: level 12's payload over zlib 9's,
and zlib 6's build time over level 6's with 2 jobs.
"""
import argparse
import os
import resource
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
from corpus_sampler import sample_corpus  # noqa: E402
import earlier_build  # noqa: E402

# The last revision whose sfxpack deflated with zlib.
ZLIB_REVISION = "5f5202f"


def build_baseline(work):
    return earlier_build.build_at(ZLIB_REVISION, os.path.join(work, "baseline"), "sfxpack", "sfxpack")


def timed(command, cwd=None):
    """Elapsed and CPU seconds (user and system, all threads) of one run. On a shared machine
    the CPU time still tells what the elapsed time would be on idle cores."""
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    start = time.perf_counter()
    subprocess.run(command, cwd=cwd, check=True, stdout=subprocess.DEVNULL)
    elapsed = time.perf_counter() - start
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    return elapsed, (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("sfxpack")
    ap.add_argument("--baseline")
    ap.add_argument("--work", default="build/pack-bench")
    ap.add_argument("--runs", type=int, default=3)
    a = ap.parse_args()
    work = os.path.abspath(a.work)
    os.makedirs(work, exist_ok=True)
    baseline = os.path.abspath(a.baseline) if a.baseline else build_baseline(work)
    corpus = os.path.join(work, "corpus")
    size = sample_corpus(corpus)
    out = os.path.join(work, "out.bin")
    threads = os.cpu_count() or 1
    print("corpus %.1f MB in %s; %d hardware threads" % (size / 1e6, corpus, threads))

    # Every build reads the corpus from the page cache, the first one included.
    for folder, _dirs, files in os.walk(corpus):
        for name in files:
            with open(os.path.join(folder, name), "rb") as f:
                while f.read(1 << 20):
                    pass

    builds = []
    for level in (6, 9):
        builds.append(("zlib %d" % level, [baseline, "build", "-o", out, "--payload-only", "--level", str(level), corpus],
                       out, None))
    zipped = os.path.join(work, "out.zip")
    for level in (6, 9):
        builds.append(("zip -%d" % level, ["zip", "-q", "-r", "-%d" % level, zipped, "."], zipped, corpus))
    for level in (1, 6, 9, 12):
        for jobs in sorted({1, threads}):
            builds.append(("level %d, %d job%s" % (level, jobs, "s" if jobs > 1 else ""),
                           [a.sfxpack, "build", "-o", out, "--payload-only", "--quiet", "--no-check", "--level",
                            str(level), "--jobs", str(jobs), corpus], out, None))
    builds.append(("default, checked", [a.sfxpack, "build", "-o", out, "--payload-only", "--quiet", corpus], out, None))

    # Round after round of every build, so that a machine that slows down or speeds up over the
    # run weighs on every builder alike.
    fastest, sizes = {}, {}
    for _ in range(a.runs):
        for label, command, output, cwd in builds:
            if os.path.exists(output):
                os.remove(output)
            run = timed(command, cwd)
            sizes[label] = os.path.getsize(output)
            if label not in fastest or run[0] < fastest[label][0]:
                fastest[label] = run
    results = {}
    for label, _command, _output, _cwd in builds:
        seconds, cpu = fastest[label]
        results[label] = (sizes[label], seconds, cpu)
        print("%-16s %9.2f MB %7.2f s %7.2f s cpu %6.1f MB/s" %
              (label, sizes[label] / 1e6, seconds, cpu, size / 1e6 / seconds), flush=True)

    zlib9, zlib6 = results["zlib 9"], results["zlib 6"]
    print("payload / zlib 9:", ", ".join("%s %.4f" % (k, v[0] / zlib9[0]) for k, v in results.items()))
    best = results["level 12, %d job%s" % (threads, "s" if threads > 1 else "")]
    fast = results["level 6, %d job%s" % (threads, "s" if threads > 1 else "")]
    load = os.getloadavg()[0]
    print("ratios level12/zlib9 size=%.4f (target <= 0.975)  zlib6/level6-%djobs time=%.2f (target >= 4) "
          "cpu=%.2f  load average %.1f on %d threads" %
          (best[0] / zlib9[0], threads, zlib6[1] / fast[1], zlib6[2] / fast[2], load, threads))


if __name__ == "__main__":
    main()
