#!/usr/bin/env python3
"""The stub resolves its imports from System32 only: its load configuration asks the loader for
LOAD_LIBRARY_SEARCH_SYSTEM32 (DependentLoadFlags), and every DLL it imports statically is one
of Windows' KnownDLLs, which are never looked for beside the program, or comctl32, which the
manifest binds to the side-by-side assembly. Read with pefile, not with our own PE code.

usage: check_load_config.py STUB_EXE
"""
import re
import sys

import pefile

LOAD_LIBRARY_SEARCH_SYSTEM32 = 0x800
# HKLM\SYSTEM\CurrentControlSet\Control\Session Manager\KnownDLLs of Windows 10 and 11 (the
# names every release since Windows 7 shares).
KNOWN_DLLS = {"advapi32.dll", "clbcatq.dll", "combase.dll", "comdlg32.dll", "coml2.dll", "difxapi.dll", "gdi32.dll",
              "gdiplus.dll", "imagehlp.dll", "imm32.dll", "kernel32.dll", "msctf.dll", "msvcrt.dll", "normaliz.dll",
              "nsi.dll", "ole32.dll", "oleaut32.dll", "psapi.dll", "rpcrt4.dll", "sechost.dll", "setupapi.dll",
              "shcore.dll", "shell32.dll", "shlwapi.dll", "user32.dll", "wldap32.dll", "ws2_32.dll"}
MANIFEST_BOUND = {"comctl32.dll"}


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    pe = pefile.PE(sys.argv[1])
    failures = []
    config = getattr(pe, "DIRECTORY_ENTRY_LOAD_CONFIG", None)
    if config is None:
        failures.append("no load configuration")
    else:
        struct = config.struct
        # Older pefile releases call the field Reserved1.
        flags = getattr(struct, "DependentLoadFlags", getattr(struct, "Reserved1", None))
        print("load configuration: Size 0x%x, DependentLoadFlags 0x%x" % (struct.Size, flags or 0))
        if flags != LOAD_LIBRARY_SEARCH_SYSTEM32:
            failures.append("DependentLoadFlags is %r, expected 0x800" % flags)
        if struct.Size < 0x50:
            failures.append("Size 0x%x does not reach DependentLoadFlags" % struct.Size)
    dlls = sorted(entry.dll.decode().lower() for entry in getattr(pe, "DIRECTORY_ENTRY_IMPORT", []))
    print("imports:", " ".join(dlls))
    others = [d for d in dlls if d not in KNOWN_DLLS | MANIFEST_BOUND]
    if not dlls or others:
        failures.append("imports outside KnownDLLs: %s" % (" ".join(others) or "(none found)"))
    if "comctl32.dll" in dlls:
        manifest = b""
        resources = pe.DIRECTORY_ENTRY_RESOURCE.entries if hasattr(pe, "DIRECTORY_ENTRY_RESOURCE") else []
        for kind in resources:
            if kind.id == pefile.RESOURCE_TYPE["RT_MANIFEST"]:
                for name in kind.directory.entries:
                    for lang in name.directory.entries:
                        data = lang.data.struct
                        manifest += pe.get_data(data.OffsetToData, data.Size)
        if not re.search(rb'name="Microsoft\.Windows\.Common-Controls"', manifest):
            failures.append("comctl32 is imported but the manifest names no Common-Controls assembly")
    for f in failures:
        print("FAIL:", f)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
