#!/usr/bin/python3
"""Checks what a Windows build of the launcher tells Windows about itself: the application
manifest (resource 1 of type 24) and the version resource, as windres reads them back from the
.exe. Prints one line per problem and exits 1 when there is any. Used by 50-packages.sh.

Usage: exe_resources.py ABOUT_H EXE..."""
import codecs
import re
import struct
import subprocess
import sys
import xml.etree.ElementTree as ET

SUPPORTED_OS = {"{e2011457-1546-43c5-a5fe-008deee3d3f0}", "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",
                "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}", "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",
                "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"}  # Vista, 7, 8, 8.1, 10 and 11


def check(exe, about):
    with open(exe, "rb") as f:
        data = f.read()
    machine = struct.unpack_from("<H", data, struct.unpack_from("<I", data, 0x3C)[0] + 4)[0]
    bits = {0x14C: "32-bit", 0x8664: "64-bit"}.get(machine, "machine %x" % machine)
    run = subprocess.run(["x86_64-w64-mingw32-windres", "-i", exe, "-O", "rc"],
                         stdout=subprocess.PIPE, text=True, errors="replace")
    if run.returncode != 0:
        return ["windres cannot read its resources"]
    rc = run.stdout
    manifests = re.findall(r"^(\S+) 24 ", rc, re.M)
    if manifests != ["1"]:
        return ["manifests: %s, want resource 1 alone" % manifests]
    block = rc[rc.index("\n1 24 "):]
    block = block[:block.index("\nEND")]
    text = "".join(codecs.decode(s.replace('""', '"'), "unicode_escape")
                   for s in re.findall(r'^\s*"((?:[^"]|"")*)"\s*$', block, re.M))
    tags = {}
    for e in ET.fromstring(text).iter():
        tags.setdefault(e.tag.split("}")[-1], []).append(e)
    version = about["QV_ABOUT_VERSION"].split()[-1]
    checks = [  # what is wrong, and whether all is well
        ("dpiAware is not true alone",
         [e.text.strip().lower() for e in tags.get("dpiAware", [])] == ["true"]),
        ("it asks for per-monitor awareness", "dpiAwareness" not in tags and "PerMonitor" not in text),
        ("supportedOS is not Vista to 10/11",
         {e.get("Id").lower() for e in tags.get("supportedOS", [])} == SUPPORTED_OS),
        ("requestedExecutionLevel is not asInvoker",
         [e.get("level") for e in tags.get("requestedExecutionLevel", [])] == ["asInvoker"]),
        ("it depends on another assembly (Common Controls 6?)",
         "dependency" not in tags and "Common-Controls" not in text),
        ("it sets an active code page", "activeCodePage" not in tags),
        ("it asks for long paths", "longPathAware" not in tags),
        ("its assembly version is not %s.0.0" % version,
         [e.get("version") for e in tags.get("assemblyIdentity", [])] == [version + ".0.0"]),
    ]
    problems = ["manifest: " + what for what, ok in checks if not ok]
    strings = dict(re.findall(r'^\s*VALUE "(\w+)", "((?:[^"]|"")*)"\s*$', rc, re.M))
    want = {"ProductName": about["QV_CAPTION"], "FileVersion": version,
            "ProductVersion": version, "LegalCopyright": about["QV_ABOUT_COPYRIGHT"]}
    problems += ["version: %s is %r, want %r" % (k, strings.get(k), v)
                 for k, v in want.items() if strings.get(k) != v]
    fixed = re.search(r"^\s*FILEVERSION (.*)$", rc, re.M)
    if not fixed or fixed.group(1).replace(" ", "") != version.replace(".", ",") + ",0,0":
        problems.append("version: FILEVERSION %s" % (fixed and fixed.group(1)))
    if not strings.get("FileDescription", "").endswith("(%s)" % bits):
        problems.append("version: FileDescription %r does not name the %s build"
                        % (strings.get("FileDescription"), bits))
    return problems


def main():
    with open(sys.argv[1], encoding="utf-8") as f:
        about = dict(re.findall(r'#define (\w+) "([^"]*)"\s*$', f.read(), re.M))
    failed = False
    for exe in sys.argv[2:]:
        for p in check(exe, about):
            print("%s: %s" % (exe, p))
            failed = True
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
