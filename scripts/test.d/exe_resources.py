#!/usr/bin/python3
"""Checks what a Windows build of the launcher tells Windows about itself, read from the .exe's
resource section: the application manifest (resource 1 of type 24) and the version resource.
Prints one line per problem and exits 1 when there is any. Used by 50-packages.sh.

Usage: exe_resources.py ABOUT_H EXE..."""
import re
import struct
import sys
import xml.etree.ElementTree as ET

SUPPORTED_OS = {"{e2011457-1546-43c5-a5fe-008deee3d3f0}", "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",
                "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}", "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",
                "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"}  # Vista, 7, 8, 8.1, 10 and 11


def resources(data):
    """{(type, name): bytes} of a PE file, first language of each (numeric ids only)."""
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    machine, nsections = struct.unpack_from("<HH", data, pe + 4)
    opt_size = struct.unpack_from("<H", data, pe + 20)[0]
    opt = pe + 24
    magic = struct.unpack_from("<H", data, opt)[0]
    res_rva = struct.unpack_from("<I", data, opt + (96 if magic == 0x10B else 112) + 16)[0]
    sections = [struct.unpack_from("<III", data, opt + opt_size + 40 * i + 8)
                for i in range(nsections)]  # virtual size, address, raw size; raw pointer next

    def offset(rva):
        for i, (vsize, vaddr, _) in enumerate(sections):
            if vaddr <= rva < vaddr + vsize:
                raw = struct.unpack_from("<I", data, opt + opt_size + 40 * i + 20)[0]
                return rva - vaddr + raw
        raise ValueError("RVA outside every section")

    base = offset(res_rva)

    def entries(at):
        named, ids = struct.unpack_from("<HH", data, base + at + 12)
        for i in range(named + ids):
            ident, target = struct.unpack_from("<II", data, base + at + 16 + 8 * i)
            yield ident, target

    found = {}
    for rtype, tdir in entries(0):
        for name, ndir in entries(tdir & 0x7FFFFFFF):
            _, leaf = next(entries(ndir & 0x7FFFFFFF))
            rva, size = struct.unpack_from("<II", data, base + leaf)
            found[(rtype, name)] = data[offset(rva):offset(rva) + size]
    return machine, found


def version_strings(block):
    """The string values of a VS_VERSIONINFO block, and its fixed file version."""
    strings = {}

    def node(at):
        length, value_len, kind = struct.unpack_from("<HHH", block, at)
        end = block.index(b"\0\0", at + 6)
        while (end - at) % 2:
            end = block.index(b"\0\0", end + 1)
        key = block[at + 6:end].decode("utf-16-le")
        value = (end + 2 + 3) & ~3
        if kind == 1 and value_len:
            strings[key] = block[value:value + 2 * value_len].decode("utf-16-le").rstrip("\0")
        child = (value + (2 * value_len if kind == 1 else value_len) + 3) & ~3
        while child < at + length:
            child = (child + node(child) + 3) & ~3
        return length

    node(0)
    ms, ls = struct.unpack_from("<II", block, 48)  # the fixed part's file version
    return strings, "%d.%d.%d.%d" % (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF)


def check(exe, about):
    problems = []
    with open(exe, "rb") as f:
        machine, found = resources(f.read())
    bits = {0x14C: "32-bit", 0x8664: "64-bit"}.get(machine, "machine %x" % machine)
    manifests = [name for (rtype, name) in found if rtype == 24]
    if manifests != [1]:
        return ["manifests: %s, want resource 1 alone" % manifests]
    text = found[(24, 1)].decode("utf-8")
    tree = ET.fromstring(text)
    tags = {}
    for e in tree.iter():
        tags.setdefault(e.tag.split("}")[-1], []).append(e)
    want_version = about["QV_ABOUT_VERSION"].split()[-1]
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
        ("its assembly version is not %s.0.0" % want_version,
         [e.get("version") for e in tags.get("assemblyIdentity", [])] == [want_version + ".0.0"]),
    ]
    problems += ["manifest: " + what for what, ok in checks if not ok]
    if (16, 1) not in found:
        return problems + ["no version resource"]
    strings, fixed = version_strings(found[(16, 1)])
    want = {"ProductName": about["QV_CAPTION"], "FileVersion": want_version,
            "ProductVersion": want_version, "LegalCopyright": about["QV_ABOUT_COPYRIGHT"]}
    problems += ["version: %s is %r, want %r" % (k, strings.get(k), v)
                 for k, v in want.items() if strings.get(k) != v]
    if fixed != want_version + ".0.0":
        problems.append("version: FILEVERSION %s" % fixed)
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
