#!/usr/bin/python3
"""Measures how the Win32 list box orders names and writes the weight table the POSIX listing
sorts with (platform/posix/list_order_table.inc).

The sorted list box compares two names with CompareStringW, without regard to case, in the
user's locale. This asks that comparison (through qv_probe's "cmp" command, under Wine) about
every character of the Windows-1252 repertoire: the characters a name shown by the Win32 build
can hold. For each it finds

  - whether it is ignored altogether, or carries no weight of its own but is compared last,
    by its position (the hyphen and the apostrophe: "special" characters, ranked);
  - otherwise its primary weight: characters that differ only in accent or case share one;
    the classes are ranked in the comparison's order;
  - within a class, whether it differs from the class's first character at the accent level
    or only at a later one, and its rank there;
  - characters that compare equal to two letters (ae, oe, ss, th).

Usage (needs an X display for Wine):
  tests/frontend/measure_list_order.py <qv_probe.exe> > platform/posix/list_order_table.inc
Environment: WINEPREFIX (default build/wineprefix-frontend).
"""
import functools
import itertools
import os
import subprocess
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))

# Windows-1252 characters outside Latin-1.
CP1252_EXTRAS = [0x152, 0x153, 0x160, 0x161, 0x178, 0x17D, 0x17E, 0x192, 0x2C6, 0x2DC, 0x2013,
                 0x2014, 0x2018, 0x2019, 0x201A, 0x201C, 0x201D, 0x201E, 0x2020, 0x2021, 0x2022,
                 0x2026, 0x2030, 0x2039, 0x203A, 0x20AC, 0x2122]


class Probe:
    def __init__(self, exe):
        env = dict(os.environ)
        env.setdefault("WINEPREFIX", os.path.join(ROOT, "build", "wineprefix-frontend"))
        env["WINEDEBUG"] = "-all"
        self.proc = subprocess.Popen(["/usr/lib/wine/wine64", exe], stdin=subprocess.PIPE,
                                     stdout=subprocess.PIPE, env=env)
        self.cache = {}

    def cmp(self, a, b):
        if (a, b) not in self.cache:
            self.proc.stdin.write(("cmp %s %s\n" % (a.encode().hex() or "", b.encode().hex()))
                                  .encode())
            self.proc.stdin.flush()
            self.cache[(a, b)] = int(self.proc.stdout.readline().decode().split()[1])
        return self.cache[(a, b)]


def measure(probe):
    cmp = probe.cmp
    # NUL ends a name.
    chars = list(range(1, 0x100)) + CP1252_EXTRAS
    ignored, special, primary = [], [], []
    for c in chars:
        x = chr(c)
        if cmp(x + "a", "a") == 0:
            ignored.append(c)
        elif all(cmp(x + hi, lo) == 1 and cmp(x + lo, hi) == -1 for lo, hi in (("a", "b"),
                                                                                ("m", "n"))):
            special.append(c)  # no primary weight: "xb" > "a" and "xa" < "b"
        else:
            primary.append(c)
    for c in special:
        # Compared after the accents: "-a" sorts before "a-acute".
        assert cmp(chr(c) + "a", "\u00e1") == -1, hex(c)
    special.sort(key=functools.cmp_to_key(lambda a, b: cmp("a" + chr(a) + "b",
                                                           "a" + chr(b) + "b")))

    def same_primary(x, y):
        return cmp(x + "b", y + "a") == 1 and cmp(x + "a", y + "b") == -1

    # Classes of equal primary weight, each a list of groups of characters that compare equal.
    classes = []
    for c in sorted(primary, key=functools.cmp_to_key(lambda a, b: cmp(chr(a), chr(b)))):
        if classes and same_primary(chr(classes[-1][-1][0]), chr(c)):
            if cmp(chr(classes[-1][-1][0]), chr(c)) == 0:
                classes[-1][-1].append(c)
            else:
                classes[-1].append([c])
        else:
            classes.append([[c]])
    expansions = {}
    for cl in classes:
        if any(c < 0x80 for group in cl for c in group):
            continue
        x = chr(cl[0][0])
        for pair in itertools.product("abcdefghijklmnopqrstuvwxyz0123456789", repeat=2):
            s = "".join(pair)
            if same_primary(x, s):
                if cmp(x, s) == 0:
                    expansions[cl[0][0]] = s
                break
    later_level = set()
    for cl in classes:
        base = chr(cl[0][0])
        for group in cl[1:]:
            # An accent difference decides before an accent on the next letter does.
            if cmp(chr(group[0]) + "a", base + "\u00e1") != 1:
                later_level.update(group)
    return ignored, special, classes, expansions, later_level


def table(ignored, special, classes, expansions, later_level):
    """code point -> (primary, primary2, diacritic, later, special)"""
    rows = {c: (0, 0, 0, 0, 0) for c in ignored}
    for rank, c in enumerate(special, 1):
        rows[c] = (0, 0, 0, 0, rank)
    weight = 2
    for cl in classes:
        if cl[0][0] in expansions:
            continue
        dia = later = 0
        for i, group in enumerate(cl):
            if i > 0:
                if group[0] in later_level:
                    later += 1
                else:
                    dia += 1
            for c in group:
                is_later = i > 0 and c in later_level
                rows[c] = (weight, 0, 0 if is_later else dia, later if is_later else 0, 0)
        weight += 1
    for cl in classes:
        if cl[0][0] in expansions:
            first, second = expansions[cl[0][0]]
            for group in cl:
                for c in group:
                    rows[c] = (rows[ord(first)][0], rows[ord(second)][0], 0, 0, 0)
    assert weight < 0xF0
    return rows, weight


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    rows, top = table(*measure(Probe(sys.argv[1])))
    print("// Generated by tests/frontend/measure_list_order.py from the Win32 list box under Wine:")
    print("// code point, primary weight, second primary weight (a character that sorts as two")
    print("// letters), accent rank, later-level rank, special rank (compared last, by position).")
    print("// Code points absent here are ignored.")
    print("constexpr int kListOrderTopWeight = %d;" % top)
    print("constexpr ListOrderChar kListOrderChars[] = {")
    for c in sorted(rows):
        p, p2, d, later, s = rows[c]
        shown = chr(c) if 0x20 < c < 0x7F or (c >= 0xA1 and c != 0xAD) else ""
        comment = " // %s" % shown if shown and shown != "\\" else ""
        print("    {0x%04X, %d, %d, %d, %d, %d},%s" % (c, p, p2, d, later, s, comment))
    print("};")


if __name__ == "__main__":
    main()
