#!/usr/bin/env python3
"""Finds files of one directory that call each other, or include each other, in a circle.

    tools/call_circles.py ui/fltk build/native/ui/fltk

Calls: every object file under the build directory whose source is in the directory; a file
calls another when it uses a symbol the other defines (nm). Includes: a file includes
another when it names the other's header. Prints each circle and exits 1 if there is one."""
import os
import re
import subprocess
import sys


def circles(edges):
    """The strongly connected groups of more than one file (Tarjan)."""
    index, low, stack, on, found = {}, {}, [], set(), []

    def visit(v):
        index[v] = low[v] = len(index)
        stack.append(v)
        on.add(v)
        for w in edges.get(v, ()):
            if w not in index:
                visit(w)
                low[v] = min(low[v], low[w])
            elif w in on:
                low[v] = min(low[v], index[w])
        if low[v] == index[v]:
            group = []
            while True:
                w = stack.pop()
                on.discard(w)
                group.append(w)
                if w == v:
                    break
            if len(group) > 1:
                found.append(sorted(group))

    for v in sorted(edges):
        if v not in index:
            visit(v)
    return found


def call_edges(src_dir, build_dir):
    defined, used = {}, {}
    for root, _, files in os.walk(build_dir):
        for f in files:
            stem = f[: -len(".cpp.o")] if f.endswith(".cpp.o") else None
            if not stem or not os.path.exists(os.path.join(src_dir, stem + ".cpp")):
                continue
            out = subprocess.run(["nm", os.path.join(root, f)], capture_output=True, text=True)
            for line in out.stdout.splitlines():
                parts = line.split()
                if len(parts) == 2 and parts[0] == "U":
                    used.setdefault(stem, set()).add(parts[1])
                elif len(parts) == 3 and parts[1] in "TDBR":
                    defined.setdefault(parts[2], set()).add(stem)
    edges = {}
    for stem, symbols in used.items():
        for s in symbols:
            # Several owners: stand-ins chosen at link time (test_dump, no_test_dump).
            owners = defined.get(s, set()) - {stem}
            if owners:
                edges.setdefault(stem, set()).update(owners)
    return edges


def include_edges(src_dir):
    edges = {}
    here = os.path.basename(os.path.normpath(src_dir))
    for f in os.listdir(src_dir):
        if not f.endswith((".cpp", ".h")):
            continue
        stem = f.rsplit(".", 1)[0]
        text = open(os.path.join(src_dir, f), encoding="utf-8").read()
        for name in re.findall(r'#include "(?:[\w/]*/)?' + here + r'/(\w+)\.h"', text):
            if name != stem and os.path.exists(os.path.join(src_dir, name + ".h")):
                edges.setdefault(stem, set()).add(name)
    return edges


def main():
    src_dir, build_dir = sys.argv[1], sys.argv[2]
    bad = False
    for kind, edges in (("calls", call_edges(src_dir, build_dir)),
                        ("includes", include_edges(src_dir))):
        found = circles(edges)
        print(f"{kind}: {sum(len(v) for v in edges.values())} edges, {len(found)} circles")
        if not edges:  # nothing read (no object files, a wrong directory): nothing was checked
            print(f"  no {kind} found under the directories given")
            bad = True
        for group in found:
            bad = True
            print("  circle:", " ".join(group))
    sys.exit(1 if bad else 0)


if __name__ == "__main__":
    main()
