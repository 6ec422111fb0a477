#!/usr/bin/env python3
"""A stub built before the solid layout and the sealed scheme existed refuses such a payload
before it writes anything. The stub of EARLIER_REVISION (built from git, as the packing benchmark builds its
earlier builder, into BUILD_DIR, where later runs find it) gets a zstd and an xz payload of the
current sfxpack appended, and a deflate payload sealed under a password (given with -pwd); run in the automatic mode it must stop with "Failed to find marker."
and exit code 13, and leave the target folder empty. The same payloads of today's deflate
layout still extract with it.

usage: test_earlier_stub.py SFXPACK BUILD_DIR
"""
import os
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "bench"))
import earlier_build  # noqa: E402

# The last revision before payloads could ask for more than an earlier stub can read.
EARLIER_REVISION = "e578dcac2185b0683d2968e8a31476c4816ace8b"


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    sfxpack, build_dir = (os.path.abspath(p) for p in sys.argv[1:3])
    stub = earlier_build.build_at(EARLIER_REVISION, build_dir, "sfx", "sfx")
    failures = []
    with tempfile.TemporaryDirectory(prefix="sfx-earlier-") as work:
        source = os.path.join(work, "source")
        os.makedirs(os.path.join(source, "folder"))
        with open(os.path.join(source, "folder", "file.txt"), "w") as f:
            f.write("text that must not be written by a stub that cannot read it\n" * 500)
        kinds = {"zstd": ["--codec", "zstd"], "xz": ["--codec", "xz"], "sealed": ["--password", "pw"],
                 "deflate": []}
        for codec, options in kinds.items():
            exe = os.path.join(work, codec + ".exe")
            subprocess.run([sfxpack, "build", "-o", exe, "--stub", stub, "--quiet", *options, "--set",
                            "ShowMain=0", "--set", "ShowProgress=0", source], check=True)
            target = os.path.join(work, "out-" + codec)
            run = subprocess.run([exe, "-silent", "-pwd", "pw", "-unzipDir", target], capture_output=True,
                                 timeout=60, env=dict(os.environ, TZ="UTC"))
            written = os.listdir(target) if os.path.isdir(target) else []
            if codec == "deflate":
                if run.returncode != 0 or written != ["folder"]:
                    failures.append("deflate: exit %d, wrote %s" % (run.returncode, written))
                continue
            said = (run.stdout + run.stderr).decode(errors="replace")
            if run.returncode != 13 or "Failed to find marker." not in said:
                failures.append("%s: exit %d, said %r" % (codec, run.returncode, said))
            if written:
                failures.append("%s: the earlier stub wrote %s" % (codec, written))
    for f in failures:
        print("FAIL:", f)
    print("%d failures" % len(failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
