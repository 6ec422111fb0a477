#!/usr/bin/env python3
"""Points the image's load-configuration directory at `_load_config_used`.

GNU ld (2.40 here) writes no load-configuration directory of its own, whatever the image
defines; the linker map says where the structure landed. The structure's first word is its
size, which is what the directory gets too. Fails (and the build with it) when the symbol is
not in the map or the bytes there are not the structure.

usage: set-load-config.py IMAGE.exe LINKER.map
"""
import re
import struct
import sys

DIRECTORY = 10  # IMAGE_DIRECTORY_ENTRY_LOAD_CONFIG


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    image_path, map_path = sys.argv[1:]
    with open(map_path, encoding="utf-8", errors="replace") as f:
        found = re.findall(r"^\s+0x([0-9a-f]+)\s+_load_config_used\s*$", f.read(), re.M)
    if len(found) != 1:
        sys.exit("set-load-config: _load_config_used is %s in %s" % ("ambiguous" if found else "missing", map_path))
    address = int(found[0], 16)
    with open(image_path, "rb") as f:
        image = bytearray(f.read())
    pe = struct.unpack_from("<I", image, 0x3C)[0]
    if image[pe:pe + 4] != b"PE\0\0":
        sys.exit("set-load-config: %s is no PE image" % image_path)
    sections, optional_size = struct.unpack_from("<H12xH", image, pe + 6)
    optional = pe + 24
    if struct.unpack_from("<H", image, optional)[0] != 0x20B:
        sys.exit("set-load-config: only PE32+ images are handled")
    image_base = struct.unpack_from("<Q", image, optional + 24)[0]
    rva = address - image_base
    offset = None
    for i in range(sections):
        header = optional + optional_size + 40 * i
        virtual_size, virtual_address, raw_size, raw_offset = struct.unpack_from("<IIII", image, header + 8)
        if virtual_address <= rva < virtual_address + min(virtual_size, raw_size):
            offset = raw_offset + rva - virtual_address
    if offset is None:
        sys.exit("set-load-config: RVA 0x%x lies in no section's file data" % rva)
    size = struct.unpack_from("<I", image, offset)[0]
    if size < 0x50 or offset + size > len(image):
        sys.exit("set-load-config: the bytes at RVA 0x%x are no load configuration (size 0x%x)" % (rva, size))
    struct.pack_into("<II", image, optional + 112 + 8 * DIRECTORY, rva, size)
    with open(image_path, "wb") as f:
        f.write(image)
    return 0


if __name__ == "__main__":
    sys.exit(main())
