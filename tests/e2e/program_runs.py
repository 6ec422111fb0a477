"""What the integrity and signing scenarios share: failures gathered by check(), paths as the
program under test sees them, and runs of programs, natively or under Wine."""
import os
import shutil
import subprocess
import tempfile

failures = []


def tool_arguments(argv, usage):
    """(wine, wine_run, sfxpack, stub) from `native SFXPACK STUB` or `wine WINE_RUN SFXPACK_EXE
    STUB_EXE`; anything else ends the scenario with its usage text."""
    mode = argv[1] if len(argv) > 1 else ""
    if mode == "wine" and len(argv) == 5:
        wine_run, sfxpack, stub = (os.path.abspath(p) for p in argv[2:5])
        return True, wine_run, sfxpack, stub
    if mode == "native" and len(argv) == 4:
        sfxpack, stub = (os.path.abspath(p) for p in argv[2:4])
        return False, None, sfxpack, stub
    raise SystemExit(usage)


def check(condition, message):
    if not condition:
        failures.append(message)
    return condition


def finish(work):
    """Prints the failures and gives the exit code; the work folder stays when something failed."""
    for f in failures:
        print("FAIL:", f)
    print("%d failures" % len(failures))
    if not failures:
        shutil.rmtree(work, ignore_errors=True)
    return 1 if failures else 0


class Runs:
    def __init__(self, wine_run, env, work, timeout=60):
        self.wine_run, self.env, self.work, self.timeout = wine_run, env, work, timeout

    def win(self, path):
        """The path as the program under test sees it."""
        return "Z:" + path.replace("/", "\\") if self.wine_run else path

    def run(self, args, under_wine):
        """Exit code and output. The output goes through files, not pipes: Wine's own background
        processes inherit the handles and would hold a pipe open long after the program ended."""
        prefix = [self.wine_run] if under_wine else []
        with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
            code = subprocess.run(prefix + args, env=self.env, cwd=self.work, timeout=self.timeout, stdout=out,
                                  stderr=err).returncode
            out.seek(0)
            err.seek(0)
            return code, (out.read() + err.read()).decode(errors="replace")
