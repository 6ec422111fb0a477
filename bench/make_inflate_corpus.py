#!/usr/bin/env python3
"""Writes a benchmark corpus into the folder given (default build/inflate-corpus/KIND).
Deterministic for a given machine.

  synthetic  about 100 MB of mixed data in four files: text-like (headers and documents from
             /usr), binary-like (shared libraries), random bytes and long runs
  real       about 100 MB of this machine's own files, copied with their relative paths: the
             real-file corpus of every benchmark (corpus_sampler.py)
  text       about 40 MB of literal-heavy text: words drawn at random from a large vocabulary,
             so that a compressor finds few long matches and codes mostly literals
"""
import argparse
import os
import random
import re
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from corpus_sampler import sample_corpus  # noqa: E402

MB = 1 << 20


def regular_files(root, suffixes=None):
    for folder, dirs, files in sorted(os.walk(root)):
        dirs.sort()
        for name in sorted(files):
            path = os.path.join(folder, name)
            if suffixes and not name.endswith(suffixes):
                continue
            if os.path.islink(path) or not os.path.isfile(path):
                continue
            yield path


def collect(roots, suffixes, limit):
    out = bytearray()
    for root in roots:
        for path in regular_files(root, suffixes):
            try:
                with open(path, 'rb') as f:
                    out += f.read(limit - len(out))
            except OSError:
                continue
            if len(out) >= limit:
                return bytes(out)
    return bytes(out)


def runs(size, rng):
    out = bytearray()
    while len(out) < size:
        out += bytes([rng.randrange(4)]) * rng.randrange(1, 5000)
        out += bytes(rng.randrange(256) for _ in range(rng.randrange(0, 40)))
    return bytes(out[:size])


def synthetic(target, rng):
    os.makedirs(target, exist_ok=True)
    parts = {
        'text.bin': collect(['/usr/include', '/usr/share/doc'], ('.h', '.hpp', '.txt', '.html', '.md', 'copyright'),
                            40 * MB),
        'binary.bin': collect(['/usr/lib/x86_64-linux-gnu'], ('.so', '.a'), 35 * MB),
        'random.bin': rng.randbytes(8 * MB),
        'runs.bin': runs(17 * MB, rng),
    }
    for name, data in parts.items():
        with open(os.path.join(target, name), 'wb') as f:
            f.write(data)
        print(f'{name}: {len(data)} bytes')


def real(target, rng):
    print(f'{sample_corpus(target)} bytes')


def text(target, rng):
    vocabulary = set()
    for path in regular_files('/usr/include', ('.h',)):
        with open(path, 'rb') as f:
            vocabulary.update(re.findall(rb'[A-Za-z][a-z]{2,14}', f.read()))
        if len(vocabulary) > 60000:
            break
    words = sorted(vocabulary)
    out = bytearray()
    while len(out) < 40 * MB:
        line = b' '.join(rng.choice(words) for _ in range(rng.randrange(4, 16)))
        out += line + (b'.\n' if rng.randrange(3) else b',\n')
    os.makedirs(target, exist_ok=True)
    with open(os.path.join(target, 'words.txt'), 'wb') as f:
        f.write(out)
    print(f'words.txt: {len(out)} bytes from {len(words)} words')


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument('--kind', choices=['synthetic', 'real', 'text'], default='synthetic')
    parser.add_argument('target', nargs='?')
    args = parser.parse_args()
    target = args.target or os.path.join('build/inflate-corpus', args.kind)
    {'synthetic': synthetic, 'real': real, 'text': text}[args.kind](target, random.Random(1950))


if __name__ == '__main__':
    main()
