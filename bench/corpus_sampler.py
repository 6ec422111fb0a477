"""The real-file corpus every benchmark measures: files of the kinds an installer carries
(documentation, headers, shared libraries and programs), sampled the same way on every run of
the same machine.

sample_corpus(dest, budget) copies about `budget` bytes into dest, an equal share from each
source folder (the later ones make up for a small one), and returns the total size
(corpus_size). build_once(dest, fill) is how every corpus is made: fill writes into a scratch folder that becomes
dest only when it is complete, and an existing dest is kept as it is.
"""
import hashlib
import os
import shutil

SOURCES = ("/usr/share/doc", "/usr/include", "/usr/lib/x86_64-linux-gnu", "/usr/bin")


def build_once(dest, fill):
    if os.path.isdir(dest):
        return
    tmp = dest + ".partial"
    shutil.rmtree(tmp, ignore_errors=True)
    os.makedirs(tmp)
    fill(tmp)
    os.rename(tmp, dest)


def corpus_size(root):
    return sum(os.path.getsize(os.path.join(d, f)) for d, _, fs in os.walk(root) for f in fs)


def sample_corpus(dest, budget=100 << 20):
    build_once(dest, lambda tmp: _copy_sample(tmp, budget))
    return corpus_size(dest)


def _copy_sample(tmp, budget):
    total, largest = 0, budget // 32
    for index, source in enumerate(SOURCES):
        # What a small folder could not give, the folders after it give instead.
        left = (budget - total) // (len(SOURCES) - index)
        for folder, dirs, files in sorted(os.walk(source)):
            dirs.sort()
            for name in sorted(files):
                path = os.path.join(folder, name)
                # One file in three, picked by its path so that every run takes the same ones,
                # spread over the whole folder rather than its first names.
                if left <= 0 or os.path.islink(path) or not os.path.isfile(path):
                    continue
                if hashlib.md5(path.encode()).digest()[0] % 3 or os.path.getsize(path) > largest:
                    continue
                target = os.path.join(tmp, source.strip("/").replace("/", "_"), os.path.relpath(path, source))
                os.makedirs(os.path.dirname(target), exist_ok=True)
                shutil.copyfile(path, target)
                left -= os.path.getsize(path)
                total += os.path.getsize(path)
