#!/usr/bin/env python3
"""Publishers sign the finished program; a signed program must keep working. A throw-away
certificate is made with openssl, a program built by sfxpack is signed with `osslsigncode sign`
and checked with `osslsigncode verify`, and then run: the certificate table that signing appends
after the payload must never be taken for payload. A byte changed in the payload afterwards
must break the signature, which shows that the signature covers the payload.

usage: test_signing.py native SFXPACK STUB
       test_signing.py wine WINE_RUN SFXPACK_EXE STUB_EXE
The Linux stub is no PE file and cannot carry an Authenticode signature; natively the same
PKCS#7 signature is appended in a certificate-table record, where Windows would keep it, and
the program must still extract.
Under Wine, run it inside `xvfb-run -a`.
"""
import os
import struct
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import program_runs  # noqa: E402
import wine_server  # noqa: E402

WINE, WINE_RUN, SFXPACK, STUB = program_runs.tool_arguments(sys.argv, __doc__)

TIMEOUT = 60
ENV = dict(os.environ, TZ="UTC", WINEDEBUG="-all")
if WINE:
    # The prefix the integrity scenarios use, whose Wine server has this run's display.
    ENV["SFX_WINEPREFIX"] = os.path.abspath(os.environ.get("SFX_WINEPREFIX", "wineprefix")) + "-signing"
WORK = tempfile.mkdtemp(prefix="sfx-signing-")
RUNS = program_runs.Runs(WINE_RUN, ENV, WORK, TIMEOUT)
failures, check, win, run = program_runs.failures, program_runs.check, RUNS.win, RUNS.run


def tool(args):
    code, text = run(args, False)
    if code != 0:
        raise RuntimeError("%s failed: %s" % (args[0], text))
    return text


def certificate_table(data):
    """File offset and size of the PE certificate table (data directory 4)."""
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    optional = pe + 24
    directories = optional + (112 if struct.unpack_from("<H", data, optional)[0] == 0x20B else 96)
    return struct.unpack_from("<II", data, directories + 4 * 8)


def sign_native(program, signed, cert, key):
    """The program, padded to 8 bytes, then a WIN_CERTIFICATE record holding a PKCS#7 signature
    of it, as Authenticode lays it out."""
    der = os.path.join(WORK, "signature.der")
    tool(["openssl", "cms", "-sign", "-binary", "-nodetach", "-in", program, "-signer", cert, "-inkey", key,
          "-outform", "DER", "-out", der])
    with open(program, "rb") as f:
        data = f.read()
    with open(der, "rb") as f:
        blob = f.read()
    data += bytes(-len(data) % 8)
    record = struct.pack("<IHH", 8 + len(blob), 0x0200, 0x0002) + blob
    with open(signed, "wb") as f:
        f.write(data + record + bytes(-len(record) % 8))


def main():
    samples = os.path.join(WORK, "samples")
    os.makedirs(os.path.join(samples, "docs"))
    files = {"readme.txt": b"signed and still whole\r\n", os.path.join("docs", "data.bin"): bytes(range(256)) * 900}
    for name, data in files.items():
        with open(os.path.join(samples, name), "wb") as f:
            f.write(data)
    ext = ".exe" if WINE else ""
    program, signed = os.path.join(WORK, "program" + ext), os.path.join(WORK, "signed" + ext)
    cert, key = os.path.join(WORK, "cert.pem"), os.path.join(WORK, "key.pem")
    tool(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", key, "-out", cert, "-days", "2",
          "-subj", "/CN=sfx signing test"])
    code, text = run([SFXPACK, "build", "-o", win(program), "--stub", win(STUB), "--set", "ShowMain=0",
                      "--set", "ShowProgress=0", win(samples)], WINE)
    if not check(code == 0, "sfxpack build failed: %s" % text):
        return program_runs.finish(WORK)
    with open(program, "rb") as f:
        unsigned = f.read()

    if WINE:
        tool(["osslsigncode", "sign", "-certs", cert, "-key", key, "-n", "sfx signing test", "-h", "sha256",
              "-in", program, "-out", signed])
        code, text = run(["osslsigncode", "verify", "-CAfile", cert, "-in", signed], False)
        check(code == 0, "osslsigncode verify failed on the signed program: %s" % text)
        with open(signed, "rb") as f:
            data = f.read()
        offset, size = certificate_table(data)
        check(size > 0 and offset >= len(unsigned), "certificate table at %d (+%d), payload ends at %d" %
              (offset, size, len(unsigned)))
        tampered = bytearray(data)
        tampered[len(unsigned) - 20] ^= 1
        with open(os.path.join(WORK, "tampered.exe"), "wb") as f:
            f.write(tampered)
        code, _ = run(["osslsigncode", "verify", "-CAfile", cert, "-in", os.path.join(WORK, "tampered.exe")],
                      False)
        check(code != 0, "a changed payload still verifies: the signature does not cover it")
    else:
        sign_native(program, signed, cert, key)
    os.chmod(signed, 0o755)

    target = os.path.join(WORK, "out")
    code, text = run([signed, "-unzipDir", win(target)], WINE)
    check(code == 0, "the signed program exited with %d: %s" % (code, text))
    for name, data in files.items():
        path = os.path.join(target, name)
        check(os.path.isfile(path) and open(path, "rb").read() == data, "%s differs after extraction" % name)
    code, text = run([SFXPACK, "test", win(signed)], WINE)
    check(code == 0 and "match their check values" in text, "sfxpack test on the signed program: %s" % text)
    return program_runs.finish(WORK)


if __name__ == "__main__":
    with wine_server.held(ENV, WINE):
        code = main()
    sys.exit(code)
