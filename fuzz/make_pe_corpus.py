#!/usr/bin/env python3
"""Seeds for resource_tree_fuzz and stub_resources_fuzz from a built stub: its resource section
(after the four bytes of its RVA), and a small image of the stub's own layout (code, the stub's
resources, relocations last) that fits the fuzzers' input limit; also the .ico fixtures for
icon_file_fuzz.

usage: fuzz/make_pe_corpus.py STUB_EXE
"""
import os
import shutil
import struct
import sys

import pefile

HERE = os.path.dirname(os.path.abspath(__file__))


def align(n, a):
    return (n + a - 1) // a * a


def small_image(rsrc_rva, rsrc):
    """PE32+ with .text at 0x1000, the resources at their own RVA and .reloc after them."""
    optional = 0x58
    table = optional + 240
    raw_rsrc = align(len(rsrc), 0x200)
    reloc_rva = align(rsrc_rva + len(rsrc), 0x1000)
    image = bytearray(0x600 + raw_rsrc + 0x200)
    image[0:2] = b"MZ"
    struct.pack_into("<I", image, 0x3C, 0x40)
    struct.pack_into("<IHH", image, 0x40, 0x4550, 0x8664, 3)
    struct.pack_into("<H", image, 0x54, 240)
    struct.pack_into("<H", image, optional, 0x20B)
    struct.pack_into("<II", image, optional + 32, 0x1000, 0x200)
    struct.pack_into("<II", image, optional + 56, reloc_rva + 0x1000, 0x400)
    struct.pack_into("<I", image, optional + 108, 16)
    struct.pack_into("<II", image, optional + 112 + 16, rsrc_rva, len(rsrc))
    struct.pack_into("<II", image, optional + 112 + 40, reloc_rva, 8)
    for i, (name, rva, size, raw) in enumerate([(b".text", 0x1000, 0x200, 0x400),
                                                (b".rsrc", rsrc_rva, len(rsrc), 0x600),
                                                (b".reloc", reloc_rva, 8, 0x600 + raw_rsrc)]):
        struct.pack_into("<8sIIII", image, table + 40 * i, name, size, rva, align(size, 0x200), raw)
    image[0x600:0x600 + len(rsrc)] = rsrc
    return bytes(image)


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    pe = pefile.PE(sys.argv[1])
    directory = pe.OPTIONAL_HEADER.DATA_DIRECTORY[2]
    rsrc = pe.get_data(directory.VirtualAddress, directory.Size)
    for name, data in [("resource_tree_fuzz", struct.pack("<I", directory.VirtualAddress) + rsrc),
                       ("stub_resources_fuzz", small_image(directory.VirtualAddress, rsrc))]:
        os.makedirs(os.path.join(HERE, "corpus", name), exist_ok=True)
        with open(os.path.join(HERE, "corpus", name, "stub"), "wb") as f:
            f.write(data)
    icons = os.path.join(HERE, "corpus", "icon_file_fuzz")
    os.makedirs(icons, exist_ok=True)
    for ico in ("app.ico", "one.ico"):
        shutil.copy(os.path.join(HERE, "..", "tests", "fixtures", "icons", ico), icons)


if __name__ == "__main__":
    main()
