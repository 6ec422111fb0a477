"""Builds a program of an earlier revision of this repository from git (git archive of the
revision, configured and built in a folder of its own), for comparisons with the current one:
the builder the packing benchmark measures against, the stub that must refuse new payloads.
A build folder that already holds the program is reused."""
import os
import shutil
import subprocess

REPO = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def build_at(revision, work, target, name, options=()):
    """The path of `target` (its file `name` under tools/sfxpack) built at `revision` in `work`."""
    build = os.path.join(work, "build")
    binary = os.path.join(build, "tools", "sfxpack", name)
    if os.path.exists(binary):
        return binary
    source = os.path.join(work, "src")
    shutil.rmtree(source, ignore_errors=True)
    os.makedirs(source)
    archive = subprocess.run(["git", "-C", REPO, "archive", revision], check=True, capture_output=True).stdout
    subprocess.run(["tar", "-x", "-C", source], input=archive, check=True)
    launcher = ["-DCMAKE_C_COMPILER_LAUNCHER=ccache", "-DCMAKE_CXX_COMPILER_LAUNCHER=ccache"] if shutil.which(
        "ccache") else []
    subprocess.run(["cmake", "-S", source, "-B", build, "-G", "Ninja", "-DCMAKE_BUILD_TYPE=Release", "-DSFX_TESTS=OFF"]
                   + launcher + list(options), check=True, stdout=subprocess.DEVNULL)
    subprocess.run(["cmake", "--build", build, "-j2", "--target", target], check=True, stdout=subprocess.DEVNULL)
    return binary
