#!/usr/bin/env python3
"""An independent reader of the payload format, built on Python's zlib, `cryptography` (the
classic AES scheme) and PyNaCl (the sealed scheme, in sealed_scheme.py).

It checks that sfxpack writes what the format says, without using any of the project's own
reading code: find the container marker, read the header, the named values, the verifier (or
the sealed scheme's section) and every entry, decrypt and inflate the chunks, and write the tree
out (or just list it). A solid payload's blocks are decoded by Python's lzma module and the
`zstd` command-line tool.

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

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import sealed_scheme  # noqa: E402

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


def check_values(values, password=None, key_bits=256, sealed_key=None):
    """The CRC-32 of each file as the named values fileCrc32, fileCrc32_2, ... carry them, or None
    when the payload has none. An encrypted payload's list needs its password and key size, or
    for a sealed payload the key read_payload gave in `info`."""
    key = derive_key(password, key_bits) if password is not None and sealed_key is None else None
    crcs, part = [], 1
    while True:
        name = b"fileCrc32" + (b"_%d" % part if part > 1 else b"")
        if name not in values:
            break
        raw = bytes.fromhex(values[name].decode("ascii"))
        if key:
            raw = decrypt(key, raw)
        elif sealed_key:
            raw = sealed_scheme.check_value_bytes(sealed_key, part, raw)
        crcs += [struct.unpack(">I", raw[i:i + 4])[0] for i in range(0, len(raw), 4)]
        part += 1
    return crcs if part > 1 else None


def crc_list(values, first):
    """The CRCs a clear list (recordCrc32, ...) carries in its parts, or None without one."""
    crcs, part = [], 1
    while True:
        name = first + (b"_%d" % part if part > 1 else b"")
        if name not in values:
            return crcs if part > 1 else None
        raw = bytes.fromhex(values[name].decode("ascii"))
        crcs += [struct.unpack(">I", raw[i:i + 4])[0] for i in range(0, len(raw), 4)]
        part += 1


def check_header_and_records(data, start, check_start, values, records):
    """Raises ValueError when the header check value or a record's does not match."""
    if check_start is not None and zlib.crc32(data[start:check_start]) != int(values[b"headerCrc32"], 16):
        raise ValueError("the header check value does not match")
    expected = crc_list(values, b"recordCrc32")
    if expected is None:
        return
    if len(expected) != len(records):
        raise ValueError("%d record check values for %d entries" % (len(expected), len(records)))
    for i, (begin, end) in enumerate(records):
        if zlib.crc32(data[begin:end]) != expected[i]:
            raise ValueError("the record of entry %d does not match its check value" % i)


def restamp_check_values(data: bytes) -> bytes:
    """A plain payload edited in place with its record and header check values made right again,
    as a hostile builder would write them."""
    spans = {}
    read_payload(data, None, value_spans=spans, check=False)
    out = bytearray(data)
    records = spans.pop(None)
    crcs = b"".join(struct.pack(">I", zlib.crc32(data[b:e])) for b, e in records)
    part = 1
    while crcs:
        name = b"recordCrc32" + (b"_%d" % part if part > 1 else b"")
        at, size = spans[name]
        out[at:at + size] = crcs[:size // 2].hex().encode("ascii")
        crcs, part = crcs[size // 2:], part + 1
    if b"headerCrc32" in spans:
        at, _ = spans[b"headerCrc32"]
        start = find_marker(data)[0]
        check_start = at - 4 - len(b"headerCrc32")
        out[at:at + 8] = b"%08x" % zlib.crc32(bytes(out[start:check_start]))
    return bytes(out)


def decode_block(layout: int, block: bytes) -> bytes:
    if layout == SOLID_XZ:
        return lzma.decompress(block, format=lzma.FORMAT_XZ)
    done = subprocess.run(["zstd", "-d", "-q", "-c"], input=block, capture_output=True)
    if done.returncode != 0:
        raise ValueError("zstd: " + done.stderr.decode(errors="replace"))
    return done.stdout


def read_blocks(r, layout, key, sealed_key, blocks=None):
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
        if key:
            body = decrypt(key, body)
        elif sealed_key:
            body = sealed_scheme.unseal(sealed_key, sealed_scheme.place("block", 0, len(parts)), body, "block")
        plain = decode_block(layout, body)
        if len(plain) != raw:
            raise ValueError("block decodes to %d bytes, not %d" % (len(plain), raw))
        parts.append(plain)


def find_marker(data: bytes):
    """(offset, extended) of the first container marker of either kind."""
    found = [(at, ext) for at, ext in ((data.find(MARKER), False), (data.find(EXTENDED_MARKER), True))
             if at >= 0]
    if not found:
        raise ValueError("no container marker")
    return min(found)


def read_payload(data: bytes, password, spans=None, info=None, blocks=None, value_spans=None, check=True):
    """(encrypted, key bits, named values, entries); `spans`, when given, receives
    (name, offset, stored size, is stored) for every chunk; `info`, a dict, receives the scheme
    ("classic" or "sealed") and for a sealed payload its key; `blocks` what read_blocks gives;
    `value_spans`, a dict, each named value's (offset, size) and under None every entry record's
    (begin, end). Unless `check` is false, the header and record check values must match."""
    start, extended = find_marker(data)
    r = Reader(data, start + 8)
    header = r.take(6)
    sealed, layout = False, 0
    if extended:
        word = struct.unpack("<I", header[:4])[0]
        layout = word & 0xFF
        if layout not in (0, SOLID_ZSTD, SOLID_XZ) or word >> 16 != 0 or (word >> 8 & 0xFF) not in (0, 1):
            raise ValueError("unknown feature word 0x%x" % word)
        sealed = word >> 8 & 0xFF == 1
    encrypted = header[4] != 0 or sealed
    key_bits = {0: 128, 1: 192}.get(header[5], 256)
    values = {}
    check_start = None
    while True:
        at = r.pos
        n = r.u16()
        if n == 0:
            break
        name = r.take(n)
        if name == b"headerCrc32":
            check_start = at
        size = r.u16()
        if value_spans is not None:
            value_spans[name] = (r.pos, size)
        values[name] = r.take(size)
    key = sealed_key = None
    expected_entries = None
    if sealed:
        if password is None:
            raise ValueError("payload is encrypted: give --password")
        covered = data[start:r.pos]
        sealed_key, expected_entries = sealed_scheme.open_section(password, covered,
                                                                  r.take(sealed_scheme.SECTION_SIZE))
    elif encrypted:
        if password is None:
            raise ValueError("payload is encrypted: give --password")
        key = derive_key(password, key_bits)
        verifier = r.take(r.u8())
        if decrypt(key, verifier) != b"qzvk":
            raise ValueError("wrong password")
    entries, records = [], []
    while True:
        if r.u32() != ENTRY_MARKER:
            raise ValueError("bad entry marker at offset %d" % (r.pos - 4))
        record_start = r.pos
        kind = r.u8()
        if kind == 0:
            if expected_entries is not None and expected_entries != len(entries):
                raise ValueError("the archive ends before its last entry")
            break
        name = r.take(r.u16())
        index = len(entries)
        if key:
            name = decrypt(key, name)
        elif sealed_key:
            name = sealed_scheme.unseal(sealed_key, sealed_scheme.place("name", index), name, "name")
        time, attributes = r.u64(), r.u32()
        content = None
        if kind == 2 and layout:
            content = r.u64()
        records.append((record_start, r.pos))
        if kind == 2 and not layout:
            parts = []
            ended = False
            while True:
                word = r.u32()
                if word == 0:
                    if sealed_key and not ended:
                        raise ValueError("the data of %r is cut short" % name)
                    break
                if ended:
                    raise ValueError("data follows the last chunk of %r" % name)
                size = word & (0x3FFFFFFF if sealed_key else 0x7FFFFFFF)
                ended = bool(sealed_key) and bool(word & sealed_scheme.LAST_CHUNK)
                if size >= CHUNK_LIMIT:
                    raise ValueError("chunk too large")
                if spans is not None:
                    spans.append((name, r.pos, size, bool(word & 0x80000000)))
                chunk = r.take(size)
                if key:
                    chunk = decrypt(key, chunk)
                elif sealed_key:
                    chunk = sealed_scheme.unseal(sealed_key, sealed_scheme.place("chunk", index, len(parts), ended),
                                                 chunk, "a chunk of %r" % name)
                if word & 0x80000000:
                    parts.append(chunk)
                else:
                    d = zlib.decompressobj(-15)
                    parts.append(d.decompress(chunk) + d.flush())
                    if not d.eof:
                        raise ValueError("deflate stream of %r ends early" % name)
            content = b"".join(parts)
        entries.append((kind, name.decode("utf-8"), time, attributes, content))
    if value_spans is not None:
        value_spans[None] = records
    if check:
        check_header_and_records(data, start, check_start, values, records)
    if info is not None:
        info["scheme"] = "sealed" if sealed else "classic"
        info["key"] = sealed_key
    if layout:
        stream, at = read_blocks(r, layout, key, sealed_key, blocks), 0
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
