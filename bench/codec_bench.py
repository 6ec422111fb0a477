#!/usr/bin/env python3
"""Payload size, build time and extraction speed of each codec beside 7-Zip, in the same run.

usage: codec_bench.py SFXPACK [WORKDIR] [--runs=N] [--builds=SPEC,...]
The real-file corpus (corpus_sampler.py) is packed by SFXPACK (the native-release build; the
stub beside it) with every build SPEC, codec:level[:block size in MiB], by default deflate:9
(today's payload), zstd and xz at their default and their strongest level, and by
`7zz a -mx9` (LZMA2, what a 7-Zip self-extractor carries). Builds use every hardware thread.
Then each of our programs extracts in the automatic mode (-unzipDir) and `7zz x` extracts the
7z archive into a fresh folder on tmpfs, round after round (best of N, default 5), with the
peak resident memory (GNU time). Prints sizes, build times and extraction times, then the
ratios: payload (the program less the stub it starts with) over deflate-9 and over 7zz, 7zz's extraction time over ours, ours over
deflate-9's, build time over 7zz's, and peak RSS beside the bound 4 x block size + 32 MB.
"""
import os
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
from corpus_sampler import corpus_size, sample_corpus  # noqa: E402
from extract_bench import fastest_runs  # noqa: E402

DEFAULT_BUILDS = "deflate:9,zstd:19,zstd:22,xz:9"
DEFAULT_BLOCK_MIB = 32


def build(sfxpack, corpus, exe, spec):
    codec, level, *block = spec.split(":")
    command = [sfxpack, "build", "-o", exe, "--quiet", "--codec", codec, "--level", level,
               "--set", "ShowMain=0", "--set", "ShowProgress=0"]
    if block:
        command += ["--block-size", str(int(block[0]) << 20)]
    start = time.perf_counter()
    subprocess.run(command + [corpus], check=True)
    return time.perf_counter() - start


def build_7z(corpus, archive):
    if os.path.exists(archive):
        os.remove(archive)
    start = time.perf_counter()
    subprocess.run(["7zz", "a", "-mx9", "-bd", "-bso0", archive, "."], cwd=corpus, check=True)
    return time.perf_counter() - start


def main():
    args = [a for a in sys.argv[1:] if not a.startswith("--")]
    options = dict(a[2:].split("=", 1) for a in sys.argv[1:] if a.startswith("--") and "=" in a)
    runs, specs = int(options.get("runs", 5)), options.get("builds", DEFAULT_BUILDS).split(",")
    sfxpack = os.path.abspath(args[0])
    work = os.path.abspath(args[1] if len(args) > 1 else "build/codec-bench")
    os.makedirs(work, exist_ok=True)
    corpus = os.path.join(work, "corpus-real")
    size = sample_corpus(corpus)
    print("corpus: %.1f MB, %d files" % (size / 1e6, sum(len(f) for _, _, f in os.walk(corpus))))
    # Each program is the stub beside SFXPACK with the payload after it: the payload is what a
    # 7z archive is compared with, as a 7-Zip self-extractor carries a stub of its own too.
    stub = next(os.path.join(os.path.dirname(sfxpack), n) for n in ("sfx.exe", "sfx")
                if os.path.exists(os.path.join(os.path.dirname(sfxpack), n)))
    stub_size = os.path.getsize(stub)
    print("stub: %s, %d bytes (left out of the payload sizes)" % (os.path.basename(stub), stub_size))
    sizes, build_times, programs = {}, {}, []
    archive = os.path.join(work, "corpus.7z")
    build_times["7zz"] = build_7z(corpus, archive)
    sizes["7zz"] = os.path.getsize(archive)
    for spec in specs:
        exe = os.path.join(work, "sfx-" + spec.replace(":", "-"))
        build_times[spec] = build(sfxpack, corpus, exe, spec)
        sizes[spec] = os.path.getsize(exe) - stub_size
        programs.append((spec, exe))
    for label in ["7zz"] + specs:
        print("  %-12s %7.2f MB  built in %6.2f s" % (label, sizes[label] / 1e6, build_times[label]))
    sys.stdout.flush()
    tools = [(spec, lambda out, exe=exe: [exe, "-unzipDir", out]) for spec, exe in programs]
    tools.append(("7zz", lambda out: ["7zz", "x", "-y", "-bd", "-bso0", "-o" + out, archive]))
    best, peak = fastest_runs(tools, "tmpfs", "/dev/shm", work, runs)
    print("extraction into tmpfs, best of %d:" % runs)
    for label, _ in tools:
        print("  %-12s %6.3f s  peak RSS %6.1f MB" % (label, best[label], peak[label]))
    deflate = next((s for s in specs if s.startswith("deflate")), None)
    print("ratios:")
    for spec in specs:
        line = "  %-12s payload/7zz=%.4f 7zz_x/ours=%.2f build/7zz=%.2f" % (
            spec, sizes[spec] / sizes["7zz"], best["7zz"] / best[spec], build_times[spec] / build_times["7zz"])
        if deflate and spec != deflate:
            line += " payload/deflate=%.3f time/deflate=%.2f" % (sizes[spec] / sizes[deflate], best[spec] / best[deflate])
        if not spec.startswith("deflate"):
            block = int(spec.split(":")[2]) if spec.count(":") == 2 else DEFAULT_BLOCK_MIB
            line += " rss_bound_mb=%.0f" % (4 * block * 1.048576 + 32)
        print(line)


if __name__ == "__main__":
    main()
