#!/usr/bin/env python3
"""The stub runs from a download folder, where anything may lie beside it: it must import only
DLLs that Windows itself provides (and loads from its system folder).

usage: check_imports.py OBJDUMP STUB_EXE
"""
import re
import subprocess
import sys

SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "gdi32.dll", "shell32.dll", "advapi32.dll", "comctl32.dll",
               "ole32.dll", "msvcrt.dll"}


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    dump = subprocess.run([sys.argv[1], "-p", sys.argv[2]], check=True, stdout=subprocess.PIPE).stdout.decode()
    dlls = sorted({name.lower() for name in re.findall(r"DLL Name: (\S+)", dump)})
    print("imports:", " ".join(dlls))
    others = [d for d in dlls if d not in SYSTEM_DLLS]
    if not dlls or others:
        print("FAIL: not a system DLL:", " ".join(others) if others else "(no imports found)")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
