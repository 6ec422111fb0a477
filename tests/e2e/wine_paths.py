"""Where a path that a Windows program under Wine named lies on this machine's disk."""
import os


def disk_path(windows_path, prefix):
    """Drive Z is the root; drive C is the prefix's drive_c, whose names may differ in letter
    case from what the program wrote."""
    drive_letter, rest = windows_path[0].upper(), windows_path[2:].replace("\\", "/")
    if drive_letter == "Z":
        return rest
    here = os.path.join(prefix, "drive_c")
    for part in [p for p in rest.split("/") if p]:
        names = {n.lower(): n for n in os.listdir(here)} if os.path.isdir(here) else {}
        here = os.path.join(here, names.get(part.lower(), part))
    return here
