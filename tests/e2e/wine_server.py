"""One persistent Wine server for a scenario's prefix while its scenarios run. A server that
ends with each program races with the next one: a program that connects as it closes dies with
"Connection reset by peer"."""
import contextlib
import os
import subprocess

SCRIPT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "cmake", "wine-server")


def up(env):
    """Creates the prefix when it has none and starts its server. A server already running, one
    left by an earlier run on that run's display or this run's own, is ended first, so up also
    restarts: settings such as the resolution are read when the server starts."""
    subprocess.run([SCRIPT, "up"], env=env, timeout=300, check=True)


def down(env):
    subprocess.run([SCRIPT, "down"], env=env, timeout=60, check=True)


@contextlib.contextmanager
def held(env, under_wine=True):
    if not under_wine:
        yield
        return
    up(env)
    try:
        yield
    finally:
        down(env)
