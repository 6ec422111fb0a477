#!/usr/bin/env python3
"""What the sealed scheme adds to extracting the real-file corpus, beside a plain and a classic
(AES) payload of the same files, in the same run.

usage: sealed_extract_bench.py SFXPACK [WORKDIR] [--runs=N]
The corpus is extract_bench.py's (about 100 MB of this machine's real files, corpus_sampler.py).
It is packed at level 6 three times: plain, with --encryption classic, and sealed with the
cheapest derivation (--kdf-memory 1 --kdf-passes 1, so that the figure is the decryption's; the
derivation at the defaults is sealed_bench's). Each program extracts into a fresh folder on
tmpfs, in turns, best of N rounds (default 5), on all processors and held to one with taskset.
Prints the times and the ratios sealed/plain and sealed/classic. Use the native-release build.
"""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from corpus_sampler import corpus_size, sample_corpus  # noqa: E402
from extract_bench import fastest_runs  # noqa: E402
import subprocess  # noqa: E402

PASSWORD = "bench password"
KINDS = [("plain", []), ("classic", ["--password", PASSWORD, "--encryption", "classic"]),
         ("sealed", ["--password", PASSWORD, "--kdf-memory", "1", "--kdf-passes", "1"])]


def main():
    args = [a for a in sys.argv[1:] if not a.startswith("--")]
    runs = next((int(a.split("=", 1)[1]) for a in sys.argv[1:] if a.startswith("--runs=")), 5)
    sfxpack = os.path.abspath(args[0])
    work = os.path.abspath(args[1] if len(args) > 1 else "build/extract-bench")
    os.makedirs(work, exist_ok=True)
    corpus = os.path.join(work, "corpus-real")
    sample_corpus(corpus)
    programs = {}
    for kind, options in KINDS:
        exe = os.path.join(work, "real-" + kind + "-sfx")
        subprocess.run([sfxpack, "build", "-o", exe, "--level", "6", "--quiet", "--set", "ShowMain=0", "--set",
                        "ShowProgress=0"] + options + [corpus], check=True)
        programs[kind] = exe
    print("corpus real: %.1f MB" % (corpus_size(corpus) / 1e6))
    secret = ["-pwd", PASSWORD]
    tools = []
    for kind, options in KINDS:
        for pinned in (False, True):
            label = kind + ("-1cpu" if pinned else "")
            command = (["taskset", "-c", "0"] if pinned else []) + [programs[kind]] + (secret if options else [])
            tools.append((label, lambda out, command=command: command + ["-unzipDir", out]))
    best, _peak = fastest_runs(tools, "tmpfs", "/dev/shm", work, runs)
    print("  " + "  ".join("%s %.3f s" % (label, best[label]) for label, _ in tools))
    for suffix in ("", "-1cpu"):
        print("ratios%s sealed/plain=%.3f sealed/classic=%.3f classic/plain=%.3f" %
              (suffix or " (all cpus)", best["sealed" + suffix] / best["plain" + suffix],
               best["sealed" + suffix] / best["classic" + suffix], best["classic" + suffix] / best["plain" + suffix]))


if __name__ == "__main__":
    main()
