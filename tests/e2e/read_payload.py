#!/usr/bin/env python3
"""An independent reader of the payload format, built on Python's zlib and `cryptography`.

It checks that sfxpack writes what the format says, without using any of the project's own
reading code: find the container marker, read the header, the named values, the verifier and
every entry, decrypt and inflate the chunks, and write the tree out (or just list it). A solid
payload's blocks are decoded by Python's lzma module and the `zstd` command-line tool.

usage: read_payload.py FILE [--password PW] [--out DIR] [--list]
"""
import argparse
import hashlib
import os
import lzma
import struct
import subprocess
import sys
import zlib

MARKER = bytes.fromhex("07d26cbf2159abaa")
EXTENDED_MARKER = bytes.fromhex("07d26cbf2259abaa")
SOLID_ZSTD, SOLID_XZ = 1, 2
ENTRY_MARKER = 0x6D27E59B
CHUNK_LIMIT = 2048576
KEY_SUFFIX = b"1"


def derive_key(password: bytes, key_bits: int) -> bytes:
    first = hashlib.md5(password).digest()
    if key_bits == 128:
        return first
    second = hashlib.md5(password + KEY_SUFFIX).digest()
    return first + (second[:8] if key_bits == 192 else second)


def decrypt(key: bytes, data: bytes) -> bytes:
    from cryptography.hazmat.primitives.ciphers import Cipher, algorithms, modes
    whole = data[: len(data) // 16 * 16]
    if not whole:
        return b""
    d = Cipher(algorithms.AES(key), modes.CBC(bytes(16))).decryptor()
    plain = d.update(whole) + d.finalize()
    pad = plain[-1]
    return plain[: max(0, len(plain) - pad)]


class Reader:
    def __init__(self, data: bytes, pos: int):
        self.data, self.pos = data, pos

    def take(self, n: int) -> bytes:
        if self.pos + n > len(self.data):
            raise ValueError("truncated payload at offset %d" % self.pos)
        chunk = self.data[self.pos:self.pos + n]
        self.pos += n
        return chunk

    def u8(self): return self.take(1)[0]
    def u16(self): return struct.unpack("<H", self.take(2))[0]
    def u32(self): return struct.unpack("<I", self.take(4))[0]
    def u64(self): return struct.unpack("<Q", self.take(8))[0]


def check_values(values, password=None, key_bits=256):
    """The CRC-32 of each file as the named values fileCrc32, fileCrc32_2, ... carry them, or None
    when the payload has none. An encrypted payload's list needs its password and key size."""
    key = derive_key(password, key_bits) if password is not None else None
    crcs, part = [], 1
    while True:
        name = b"fileCrc32" + (b"_%d" % part if part > 1 else b"")
        if name not in values:
            break
        raw = bytes.fromhex(values[name].decode("ascii"))
        if key:
            raw = decrypt(key, raw)
        crcs += [struct.unpack(">I", raw[i:i + 4])[0] for i in range(0, len(raw), 4)]
        part += 1
    return crcs if part > 1 else None


def decode_block(layout: int, block: bytes) -> bytes:
    if layout == SOLID_XZ:
        return lzma.decompress(block, format=lzma.FORMAT_XZ)
    done = subprocess.run(["zstd", "-d", "-q", "-c"], input=block, capture_output=True)
    if done.returncode != 0:
        raise ValueError("zstd: " + done.stderr.decode(errors="replace"))
    return done.stdout


def read_blocks(r, layout, key, blocks=None):
    """The solid layout's block section decoded and joined; `blocks`, when given, receives
    (offset of the block's size words, stored size, decoded size) for every block."""
    largest, parts = r.u32(), []
    while True:
        at = r.pos
        stored = r.u32()
        if stored == 0:
            return b"".join(parts)
        raw = r.u32()
        if raw > largest:
            raise ValueError("block larger than the declared largest")
        if blocks is not None:
            blocks.append((at, stored, raw))
        body = r.take(stored)
        plain = decode_block(layout, decrypt(key, body) if key else body)
        if len(plain) != raw:
            raise ValueError("block decodes to %d bytes, not %d" % (len(plain), raw))
        parts.append(plain)


def find_marker(data: bytes):
    """Offset just past the marker and the layout (0 for a payload of today's layout)."""
    classic, extended = data.find(MARKER), data.find(EXTENDED_MARKER)
    if extended >= 0 and (classic < 0 or extended < classic):
        return extended + 8, None
    if classic < 0:
        raise ValueError("no container marker")
    return classic + 8, 0


def read_payload(data: bytes, password, spans=None, blocks=None):
    """(encrypted, key bits, named values, entries); `spans`, when given, receives
    (name, offset, stored size, is stored) for every chunk, `blocks` what read_blocks gives."""
    start, layout = find_marker(data)
    r = Reader(data, start)
    header = r.take(6)
    if layout is None:
        layout = header[0]
        if header[1:4] != bytes(3) or layout not in (SOLID_ZSTD, SOLID_XZ):
            raise ValueError("unknown feature word %s" % header[:4].hex())
    encrypted = header[4] != 0
    key_bits = {0: 128, 1: 192}.get(header[5], 256)
    values = {}
    while True:
        n = r.u16()
        if n == 0:
            break
        name = r.take(n)
        values[name] = r.take(r.u16())
    key = None
    if encrypted:
        if password is None:
            raise ValueError("payload is encrypted: give --password")
        key = derive_key(password, key_bits)
        verifier = r.take(r.u8())
        if decrypt(key, verifier) != b"qzvk":
            raise ValueError("wrong password")
    entries = []
    while True:
        if r.u32() != ENTRY_MARKER:
            raise ValueError("bad entry marker at offset %d" % (r.pos - 4))
        kind = r.u8()
        if kind == 0:
            break
        name = r.take(r.u16())
        if key:
            name = decrypt(key, name)
        time, attributes = r.u64(), r.u32()
        content = None
        if kind == 2 and layout:
            content = r.u64()
        elif kind == 2:
            parts = []
            while True:
                word = r.u32()
                if word == 0:
                    break
                size = word & 0x7FFFFFFF
                if size >= CHUNK_LIMIT:
                    raise ValueError("chunk too large")
                if spans is not None:
                    spans.append((name, r.pos, size, bool(word & 0x80000000)))
                chunk = r.take(size)
                if key:
                    chunk = decrypt(key, chunk)
                if word & 0x80000000:
                    parts.append(chunk)
                else:
                    d = zlib.decompressobj(-15)
                    parts.append(d.decompress(chunk) + d.flush())
                    if not d.eof:
                        raise ValueError("deflate stream of %r ends early" % name)
            content = b"".join(parts)
        entries.append((kind, name.decode("utf-8"), time, attributes, content))
    if layout:
        stream, at = read_blocks(r, layout, key, blocks), 0
        for i, (kind, name, time, attributes, size) in enumerate(entries):
            if kind == 2:
                if at + size > len(stream):
                    raise ValueError("%s runs past the last block" % name)
                entries[i] = (kind, name, time, attributes, stream[at:at + size])
                at += size
        if at != len(stream):
            raise ValueError("the blocks hold more than the files")
    if spans is not None:
        spans[:] = [(n.decode("utf-8"), offset, size, stored) for n, offset, size, stored in spans]
    return encrypted, key_bits, values, entries


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("file")
    ap.add_argument("--password")
    ap.add_argument("--out")
    ap.add_argument("--list", action="store_true")
    a = ap.parse_args()
    with open(a.file, "rb") as f:
        data = f.read()
    pw = a.password.encode("cp1252") if a.password is not None else None
    encrypted, key_bits, values, entries = read_payload(data, pw)
    if a.list:
        print("encrypted=%d keybits=%d" % (encrypted, key_bits))
        for name, value in values.items():
            print("value %s %d" % (name.decode("utf-8", "replace"), len(value)))
        for kind, name, time, attributes, content in entries:
            size = len(content) if content is not None else 0
            print("%s %s %d 0x%x %d" % ("D" if kind == 1 else "F" if kind == 2 else kind, name, time, attributes, size))
    if a.out:
        for kind, name, time, attributes, content in entries:
            path = os.path.join(a.out, *name.replace("\\", "/").split("/"))
            if kind == 1:
                os.makedirs(path, exist_ok=True)
            elif kind == 2:
                os.makedirs(os.path.dirname(path), exist_ok=True)
                with open(path, "wb") as f:
                    f.write(content)
    return 0


if __name__ == "__main__":
    try:
        sys.exit(main())
    except ValueError as e:
        print("read_payload: %s" % e, file=sys.stderr)
        sys.exit(1)
