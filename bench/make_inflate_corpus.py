#!/usr/bin/env python3
"""Writes about 100 MB of mixed data for bench/inflate_bench into the folder given (default
build/inflate-corpus): text-like (headers and documents from /usr), binary-like (shared
libraries from /usr/lib), random bytes and long runs. Deterministic for a given machine."""
import os
import random
import sys

MB = 1 << 20


def collect(roots, suffixes, limit):
    out = bytearray()
    for root in roots:
        for folder, dirs, files in sorted(os.walk(root)):
            dirs.sort()
            for name in sorted(files):
                if suffixes and not name.endswith(suffixes):
                    continue
                path = os.path.join(folder, name)
                if os.path.islink(path) or not os.path.isfile(path):
                    continue
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


def main():
    target = sys.argv[1] if len(sys.argv) > 1 else 'build/inflate-corpus'
    os.makedirs(target, exist_ok=True)
    rng = random.Random(1950)
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


if __name__ == '__main__':
    main()
