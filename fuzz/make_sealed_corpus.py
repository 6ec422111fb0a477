#!/usr/bin/env python3
"""Seeds for sealed_header_fuzz: what follows the harness's fixed prefix in sealed payloads that
tests/e2e/sealed_scheme.py writes under the harness's password, at the cheapest derivation.

usage: fuzz/make_sealed_corpus.py   (writes fuzz/corpus/sealed_header_fuzz/)
"""
import os
import sys

here = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(here, "..", "tests", "e2e"))
import sealed_scheme  # noqa: E402

# The harness's prefix: marker, header and the one named value, up to the section.
PREFIX = (sealed_scheme.EXTENDED_MARKER + bytes([0, 1, 0, 0, 1, 2]) + b"\x09\x00xmlConfig\x0c\x00<SfxConfig/>"
          + b"\x00\x00")
TIME = 132000000000000000


def main():
    out = os.path.join(here, "corpus", "sealed_header_fuzz")
    os.makedirs(out, exist_ok=True)
    cases = {
        "empty": [],
        "files": [(1, "d", TIME, 0x10, None), (2, "d\\a.txt", TIME, 0x20, b"sealed " * 50),
                  (2, "e.bin", TIME, 0x20, bytes(range(256)) * 3), (2, "z", TIME, 0x20, b"")],
        "chunks": [(2, "c.txt", TIME, 0x20, b"0123456789" * 100)],
    }
    for name, entries in cases.items():
        payload = sealed_scheme.write_payload(entries, [(b"xmlConfig", b"<SfxConfig/>")], b"fuzz", memory_kib=8,
                                              passes=1, chunk_size=300, check_values=False)
        assert payload.startswith(PREFIX)
        with open(os.path.join(out, name + ".bin"), "wb") as f:
            f.write(payload[len(PREFIX):])


if __name__ == "__main__":
    main()
