#!/usr/bin/env python3
"""Branded programs read back by independent parsers: wrestool lists and extracts the icons,
pefile reads the version strings, the fixed versions, the manifest and the checksum, objdump
reads the headers. A branded program then extracts under Wine (automatic mode, where a license
is not shown), passes `sfxpack test`, and can be signed afterwards. Every refusal ends with exit
code 2, its message and no output file.

usage: xvfb-run -a test_branding.py WINE_RUN SFXPACK_EXE STUB_EXE OBJDUMP
"""
import filecmp
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile

import pefile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import program_runs  # noqa: E402
import wine_server  # noqa: E402

if len(sys.argv) != 5:
    sys.exit(__doc__)
WINE_RUN, SFXPACK, STUB, OBJDUMP = (os.path.abspath(p) if os.sep in p else p for p in sys.argv[1:5])
FIXTURES = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "fixtures", "icons")
ENV = dict(os.environ, WINEDEBUG="-all", TZ="UTC")
# A prefix of its own, whose Wine server has this run's display: a server that another scenario
# started without one gives the stub no window, and its run fails.
ENV["SFX_WINEPREFIX"] = os.path.abspath(os.environ.get("SFX_WINEPREFIX", "wineprefix")) + "-branding"
WORK = tempfile.mkdtemp(prefix="sfx-brand-")
failures, check = program_runs.failures, program_runs.check

VERSION = {"ProductName": "Übersetzer Suite", "FileDescription": "Installs the Übersetzer", "CompanyName": "ACME Ltd",
           "LegalCopyright": "© 2026 ACME", "FileVersion": "3.2.1.7", "ProductVersion": "3.2",
           "OriginalFilename": "setup.exe", "InternalName": "setup", "Comments": "Made by sfxpack"}


def win(path):
    return "Z:" + path.replace("/", "\\")


def run(args, timeout=120):
    # Files, not pipes: Wine's background processes inherit the handles and hold pipes open.
    with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
        code = subprocess.run(args, env=ENV, cwd=WORK, stdout=out, stderr=err, timeout=timeout).returncode
        out.seek(0)
        err.seek(0)
        return code, out.read().decode("utf-8", "replace"), err.read().decode("utf-8", "replace")


def sfxpack(*args):
    return run([WINE_RUN, SFXPACK] + list(args))


def build(name, options, settings=()):
    out = os.path.join(WORK, name + ".exe")
    args = ["build", "-o", win(out), "--stub", win(STUB)] + list(options)
    for key, value in settings:
        args += ["--set", "%s=%s" % (key, value)]
    code, _out, err = sfxpack(*(args + [win(SOURCE)]))
    check(code == 0, "%s: sfxpack build failed: %s" % (name, err.strip()))
    return out


def version_options():
    options = []
    for key, value in VERSION.items():
        options += ["--version-info", "%s=%s" % (key, value)]
    return options


def manifest_of(pe):
    for entry in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        if entry.id == 24:
            data = entry.directory.entries[0].directory.entries[0].data.struct
            return pe.get_data(data.OffsetToData, data.Size).decode("utf-8")
    return ""


def check_headers(label, path):
    """pefile and objdump agree with each other and with the layout rules."""
    pe = pefile.PE(path)
    opt = pe.OPTIONAL_HEADER
    check(opt.CheckSum == pe.generate_checksum(), "%s: checksum %#x, pefile computes %#x" %
          (label, opt.CheckSum, pe.generate_checksum()))
    last = max(pe.sections, key=lambda s: s.VirtualAddress)
    end = last.VirtualAddress + max(last.Misc_VirtualSize, last.SizeOfRawData)
    aligned = (end + opt.SectionAlignment - 1) // opt.SectionAlignment * opt.SectionAlignment
    check(opt.SizeOfImage == aligned, "%s: SizeOfImage %#x, sections end at %#x" % (label, opt.SizeOfImage, aligned))
    for s in pe.sections:
        check(s.VirtualAddress % opt.SectionAlignment == 0 and s.PointerToRawData % opt.FileAlignment == 0,
              "%s: section %r is not aligned" % (label, s.Name))
    rsrc = pe.OPTIONAL_HEADER.DATA_DIRECTORY[2]
    check(rsrc.VirtualAddress == last.VirtualAddress, "%s: the resource directory is not the last section" % label)
    check(not pe.get_warnings(), "%s: pefile warns %r" % (label, pe.get_warnings()))
    code, dump, err = run([OBJDUMP, "-p", path])
    check(code == 0, "%s: objdump failed: %s" % (label, err))
    fields = dict(re.findall(r"^(SizeOfImage|CheckSum|SectionAlignment|FileAlignment)\s+([0-9a-fA-F]+)$", dump, re.M))
    check(int(fields.get("SizeOfImage", "0"), 16) == opt.SizeOfImage and
          int(fields.get("CheckSum", "0"), 16) == opt.CheckSum and
          int(fields.get("SectionAlignment", "0"), 16) == opt.SectionAlignment,
          "%s: objdump reads %r" % (label, fields))
    return pe


def check_icons(label, path, ico):
    code, listing, err = run(["wrestool", "-l", path])
    check(code == 0, "%s: wrestool -l failed: %s" % (label, err))
    images = struct.unpack_from("<H", open(ico, "rb").read(), 4)[0]
    check(len(re.findall(r"--type=3 .*\[type=icon", listing)) == images and
          len(re.findall(r"--type=14 .*\[type=group_icon", listing)) == 1,
          "%s: wrestool lists %r" % (label, listing))
    extracted = os.path.join(WORK, label + "-extracted.ico")
    code, _out, err = run(["wrestool", "-x", "-t", "14", "-o", extracted, path])
    with open(extracted, "rb") as f:
        got = f.read()
    with open(ico, "rb") as f:
        want = f.read()
    # wrestool pads what it writes with zeros after the last image.
    check(code == 0 and got[:len(want)] == want and not got[len(want):].strip(b"\0"),
          "%s: the icon wrestool extracts differs from %s %s" % (label, ico, err))


def scenario_branded():
    label = "branded"
    ico = os.path.join(FIXTURES, "app.ico")
    target = os.path.join(WORK, "out")
    exe = build(label, ["--icon", win(ico), "--execution-level", "highestAvailable"] + version_options(),
                [("ShowMain", "0"), ("ShowProgress", "0"), ("UnzipDir", win(target)), ("LicenseText", "Terms.")])
    pe = check_headers(label, exe)
    check_icons(label, exe, ico)
    strings = {}
    for info in pe.FileInfo[0]:
        for table in getattr(info, "StringTable", []):
            check(table.LangID.upper() == b"040904B0", "%s: string table %r" % (label, table.LangID))
            strings.update({k.decode(): v.decode("utf-8") for k, v in table.entries.items()})
    check(strings == VERSION, "%s: version strings %r" % (label, strings))
    fixed = pe.VS_FIXEDFILEINFO[0]
    check((fixed.FileVersionMS, fixed.FileVersionLS, fixed.ProductVersionMS, fixed.ProductVersionLS) ==
          (0x30002, 0x10007, 0x30002, 0), "%s: fixed versions %#x %#x %#x %#x" %
          (label, fixed.FileVersionMS, fixed.FileVersionLS, fixed.ProductVersionMS, fixed.ProductVersionLS))
    manifest = manifest_of(pe)
    check('level="highestAvailable"' in manifest and "Microsoft.Windows.Common-Controls" in manifest and
          "<dpiAware" in manifest, "%s: manifest %r" % (label, manifest))
    # The stub's code did not move: the first sections are the stub's bytes.
    stub = pefile.PE(STUB)
    for ours, theirs in zip(pe.sections, stub.sections):
        check(ours.get_data() == theirs.get_data(), "%s: section %r changed" % (label, ours.Name))
    code, out, err = sfxpack("test", win(exe))
    check(code == 0, "%s: sfxpack test: %s %s" % (label, out, err))
    # Automatic mode: no license page, the files are there.
    code, _out, err = run([WINE_RUN, exe])
    check(code == 0, "%s: the automatic run ended with %d %s" % (label, code, err))
    check(filecmp.cmp(os.path.join(target, "readme.txt"), os.path.join(SOURCE, "readme.txt"), shallow=False),
          "%s: not extracted" % label)
    sign_and_run(label, exe)


def sign_and_run(label, exe):
    """The finished program signs and verifies, and the signed one still extracts."""
    if not (shutil.which("osslsigncode") and shutil.which("openssl")):
        return check(False, "%s: osslsigncode or openssl missing" % label)
    key, cert = make_certificate()
    signed = os.path.join(WORK, label + "-signed.exe")
    code, _out, err = run(["osslsigncode", "sign", "-certs", cert, "-key", key, "-in", exe, "-out", signed])
    check(code == 0, "%s: signing failed: %s" % (label, err))
    code, out, err = run(["osslsigncode", "verify", "-CAfile", cert, "-in", signed])
    check(code == 0 and "Signature verification: ok" in out, "%s: signature does not verify: %s %s" % (label, out, err))
    code, out, err = sfxpack("test", win(signed))
    check(code == 0, "%s: the signed program does not test: %s %s" % (label, out, err))
    return signed


def make_certificate():
    key, cert = os.path.join(WORK, "key.pem"), os.path.join(WORK, "cert.pem")
    if not os.path.exists(cert):
        run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", key, "-out", cert, "-days", "2",
             "-subj", "/CN=sfx test publisher", "-addext", "extendedKeyUsage=codeSigning"])
    return key, cert


def scenario_config_file():
    label = "config"
    config = os.path.join(WORK, "build.xml")
    ico = os.path.join(FIXTURES, "one.ico")
    with open(config, "w", encoding="utf-8") as f:
        f.write('<?xml version="1.0" encoding="utf-8" ?>\n<SfxConfig>\n<ShowMain>1</ShowMain>\n'
                "<IconFile>%s</IconFile>\n<ExecutionLevel>requireAdministrator</ExecutionLevel>\n"
                "<ProductName>From the file</ProductName>\n<FileVersion>7</FileVersion>\n</SfxConfig>\n" % win(ico))
    exe = build(label, ["--config", win(config), "--version-info", "FileVersion=8.1"])
    pe = check_headers(label, exe)
    check_icons(label, exe, ico)
    check('level="requireAdministrator"' in manifest_of(pe), "%s: execution level from the file" % label)
    fixed = pe.VS_FIXEDFILEINFO[0]
    check(fixed.FileVersionMS == 0x80001, "%s: the option's FileVersion should win, got %#x" %
          (label, fixed.FileVersionMS))


def scenario_license_text():
    """A license file in UTF-16 or UTF-8 (with its mark) arrives in LicenseText as UTF-8, once."""
    label = "license text"
    source = os.path.join(WORK, "with license")
    os.makedirs(source)
    with open(os.path.join(source, "EULA.txt"), "wb") as f:
        f.write(b"\xff\xfe" + "Übereinkunft & <Terms>\r\nline 2".encode("utf-16-le"))
    with open(os.path.join(WORK, "utf8.txt"), "wb") as f:
        f.write("\ufeffÄ license".encode("utf-8"))
    for options, expected in [(["--set", "LicenseFile=eula.TXT"],
                               "Übereinkunft &amp; &lt;Terms&gt;"),
                              (["--license", win(os.path.join(WORK, "utf8.txt"))], "<LicenseText>Ä license<")]:
        out = os.path.join(WORK, "license.exe")
        code, _out, err = sfxpack(*(["build", "-o", win(out), "--stub", win(STUB)] + options + [win(source)]))
        check(code == 0, "%s: build %r: %s" % (label, options, err))
        code, listing, err = sfxpack("list", win(out))
        check(code == 0 and expected in listing and listing.count("<LicenseText>") == 1,
              "%s: %r gave %r" % (label, options, listing[:600]))


def refuse(label, options, message, stub=None):
    out = os.path.join(WORK, "refused.exe")
    code, _out, err = sfxpack(*(["build", "-o", win(out), "--stub", win(stub or STUB)] + options + [win(SOURCE)]))
    check(code == 2, "%s: exit code %d, expected 2" % (label, code))
    check(message in err, "%s: expected %r, got %r" % (label, message, err.strip()))
    check(not os.path.exists(out) and not os.path.exists(out + ".partial"), "%s: an output file was left" % label)


def scenario_refusals():
    broken = os.path.join(WORK, "broken.ico")
    with open(os.path.join(FIXTURES, "app.ico"), "rb") as f:
        data = f.read()
    with open(broken, "wb") as f:
        f.write(data[:-10])
    refuse("malformed ico", ["--icon", win(broken)], "is not a valid .ico file: image 3 lies outside the file")
    refuse("missing ico", ["--icon", win(os.path.join(WORK, "nope.ico"))], "cannot read the icon")
    for bad in ["1.2.3.4.5", "70000", "1.x", ""]:
        refuse("version %r" % bad, ["--version-info", "FileVersion=" + bad],
               "FileVersion must be 1 to 4 numbers from 0 to 65535 separated by dots")
    refuse("unknown key", ["--version-info", "Publisher=ACME"],
           "unknown version key Publisher; the known keys are ProductName, FileDescription")
    refuse("level", ["--execution-level", "admin"], "--execution-level takes asInvoker")
    refuse("license file", ["--set", "LicenseFile=missing.txt"], "missing.txt (LicenseFile) is not among the packed")
    # A finished program as the stub: its payload would be lost behind the new section.
    plain = build("plain", [])
    refuse("stub with payload", ["--icon", win(os.path.join(FIXTURES, "one.ico"))],
           "the stub has an unexpected section layout: data follows the last section", stub=plain)
    if shutil.which("osslsigncode") and shutil.which("openssl"):
        key, cert = make_certificate()
        signed = os.path.join(WORK, "signed-stub.exe")
        run(["osslsigncode", "sign", "-certs", cert, "-key", key, "-in", STUB, "-out", signed])
        refuse("signed stub", ["--execution-level", "asInvoker"],
               "the stub is signed; sign the finished program instead", stub=signed)
    else:
        check(False, "signed stub: osslsigncode or openssl missing")


def main():
    global SOURCE
    SOURCE = os.path.join(WORK, "source")
    os.makedirs(SOURCE)
    with open(os.path.join(SOURCE, "readme.txt"), "wb") as f:
        f.write(b"branded payload\r\n")
    for scenario in (scenario_branded, scenario_config_file, scenario_license_text, scenario_refusals):
        before = len(failures)
        try:
            scenario()
        except Exception as e:  # noqa: BLE001 - report and go on
            failures.append("%s: %s: %s" % (scenario.__name__, type(e).__name__, e))
        print("%s %s" % ("FAIL" if len(failures) > before else "ok  ", scenario.__name__), flush=True)
    for f in failures:
        print("FAIL:", f)
    if not failures:
        shutil.rmtree(WORK, ignore_errors=True)
    return 1 if failures else 0


if __name__ == "__main__":
    with wine_server.held(ENV):
        code = main()
    sys.exit(code)
