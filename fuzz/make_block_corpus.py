#!/usr/bin/env python3
"""Writes the seed corpus of block_decoder_fuzz: text and random bytes as a zstd frame (by the
`zstd` tool) and as xz streams (Python's lzma module, with and without the x86 filter), each
behind the codec byte and the 3-byte decoded size the harness reads.

usage: fuzz/make_block_corpus.py"""
import lzma
import os
import random
import subprocess

out = os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus", "block_decoder_fuzz")
os.makedirs(out, exist_ok=True)
samples = {"text": b"".join(b"line %d of the text\n" % (i % 97) for i in range(300)),
           "noise": random.Random(26).randbytes(900)}
for name, raw in samples.items():
    size = len(raw).to_bytes(3, "little")
    frame = subprocess.run(["zstd", "-19", "-q", "-c", "--check"], input=raw, capture_output=True, check=True).stdout
    streams = {"zstd": b"\x00" + size + frame,
               "xz": b"\x01" + size + lzma.compress(raw, lzma.FORMAT_XZ, check=lzma.CHECK_CRC32),
               "xz_x86": b"\x01" + size + lzma.compress(raw, lzma.FORMAT_XZ, check=lzma.CHECK_CRC32, filters=[
                   {"id": lzma.FILTER_X86}, {"id": lzma.FILTER_LZMA2, "preset": 6, "dict_size": 65536}])}
    for codec, data in streams.items():
        with open(os.path.join(out, "%s_%s.bin" % (name, codec)), "wb") as f:
            f.write(data)
