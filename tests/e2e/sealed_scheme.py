#!/usr/bin/env python3
"""The sealed encryption scheme of the payload on PyNaCl (Debian's python3-nacl), written from
the payload's format alone: an Argon2id key from the password and the payload's salt, and every
message sealed with XChaCha20-Poly1305 as nonce + ciphertext + tag, its place in the payload as
associated data. Used by read_payload.py to read sealed payloads and by the tests to write one
the stub must extract.
"""
import os
import struct
import zlib

from nacl import bindings, exceptions, pwhash

EXTENDED_MARKER = bytes.fromhex("07d26cbf2259abaa")
ENTRY_MARKER = 0x6D27E59B
STORED = 0x80000000
LAST_CHUNK = 0x40000000
NONCE, TAG = 24, 16
SEALED_EMPTY = NONCE + TAG
SALT = 16
SECTION_SIZE = 12 + 1 + SALT + 2 * (1 + SEALED_EMPTY)
AUTHENTICATOR_OFFSET = SECTION_SIZE - SEALED_EMPTY
KINDS = {"name": 1, "chunk": 2, "block": 3, "check_values": 4, "header": 5, "password_check": 6}


class Damaged(ValueError):
    """A sealed message that does not open: changed, moved or under another key."""


def place(kind, entry=0, index=0, last=False):
    return struct.pack("<BBxxIQ", KINDS[kind], 1 if last else 0, entry, index)


def derive(password, salt, memory_kib, passes):
    return pwhash.argon2id.kdf(32, password, salt, opslimit=passes, memlimit=memory_kib * 1024)


def seal(key, ad, plain):
    nonce = os.urandom(NONCE)
    return nonce + bindings.crypto_aead_xchacha20poly1305_ietf_encrypt(plain, ad, nonce, key)


def unseal(key, ad, sealed, what="message"):
    if len(sealed) < SEALED_EMPTY:
        raise Damaged("%s too short to be sealed" % what)
    try:
        return bindings.crypto_aead_xchacha20poly1305_ietf_decrypt(sealed[NONCE:], ad, sealed[:NONCE], key)
    except exceptions.CryptoError:
        raise Damaged("%s does not open" % what)


def parse_section(section):
    """(memory KiB, passes, entry count, salt, check, authenticator) of the section that follows
    the named values."""
    if len(section) != SECTION_SIZE:
        raise ValueError("sealed section truncated")
    memory, passes, count = struct.unpack("<III", section[:12])
    if section[12] != SALT or section[13 + SALT] != SEALED_EMPTY or section[AUTHENTICATOR_OFFSET - 1] != SEALED_EMPTY:
        raise ValueError("sealed section lengths are wrong")
    salt = section[13:13 + SALT]
    check = section[14 + SALT:14 + SALT + SEALED_EMPTY]
    return memory, passes, count, salt, check, section[AUTHENTICATOR_OFFSET:]


def open_section(password, covered, section):
    """The key, after the password check and the authenticator over `covered` (every payload byte
    from the marker to the section) have opened; and the entry count."""
    memory, passes, count, salt, check, authenticator = parse_section(section)
    key = derive(password, salt, memory, passes)
    try:
        unseal(key, place("password_check"), check)
    except Damaged:
        raise ValueError("wrong password")
    unseal(key, place("header") + covered + section[:AUTHENTICATOR_OFFSET], authenticator, "header")
    return key, count


def check_value_bytes(key, part, raw):
    return unseal(key, place("check_values", index=part), raw, "check values")


def write_payload(entries, values, password, memory_kib=1024, passes=1, chunk_size=65536, check_values=True):
    """A sealed payload for `entries` ((kind, name, local FILETIME, attributes, content) with kind
    1 for a folder and 2 for a file) and named values [(name, value)], with check values unless
    told otherwise."""
    salt = os.urandom(SALT)
    key = derive(password, salt, memory_kib, passes)
    files = [e for e in entries if e[0] == 2]
    crcs = b"".join(struct.pack(">I", zlib.crc32(e[4])) for e in files)
    if check_values:
        values = list(values) + [(b"fileCrc32", seal(key, place("check_values", index=1), crcs).hex().encode())]
    out = bytearray(EXTENDED_MARKER)
    out += struct.pack("<I", 1 << 8) + bytes([1, 2])
    for name, value in values:
        out += struct.pack("<H", len(name)) + name + struct.pack("<H", len(value)) + value
    out += struct.pack("<H", 0)
    section = struct.pack("<III", memory_kib, passes, len(entries)) + bytes([SALT]) + salt
    section += bytes([SEALED_EMPTY]) + seal(key, place("password_check"), b"") + bytes([SEALED_EMPTY])
    out += section + seal(key, place("header") + bytes(out) + section, b"")
    for index, (kind, name, time, attributes, content) in enumerate(entries):
        sealed_name = seal(key, place("name", index), name.encode("utf-8"))
        out += struct.pack("<IBH", ENTRY_MARKER, kind, len(sealed_name)) + sealed_name
        out += struct.pack("<QI", time, attributes)
        if kind != 2:
            continue
        pieces = [content[i:i + chunk_size] for i in range(0, len(content), chunk_size)]
        if not pieces or len(pieces[-1]) == chunk_size:
            pieces.append(b"")
        for number, piece in enumerate(pieces):
            last = number == len(pieces) - 1
            c = zlib.compressobj(9, zlib.DEFLATED, -15)
            deflated = c.compress(piece) + c.flush()
            stored = len(deflated) >= len(piece)
            body = seal(key, place("chunk", index, number, last), piece if stored else deflated)
            out += struct.pack("<I", len(body) | (STORED if stored else 0) | (LAST_CHUNK if last else 0)) + body
        out += struct.pack("<I", 0)
    out += struct.pack("<IB", ENTRY_MARKER, 0)
    return bytes(out)
