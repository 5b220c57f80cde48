#!/usr/bin/env python3
"""Keeps the layers honest: every quoted include in src/ must run downward or sideways, and the
folder graph must hold no cycle of any length. Only *_test.cpp files are exempt; support
headers for tests are held to their folder's layer like any other file. Prints the folder graph
with --graph. Exit 1 names each include and each cycle that breaks the rule."""
import collections
import os
import re
import sys

# Lower numbers are lower layers. Folders of one rank may include each other in one direction.
RANKS = {
    "platform": 0, "codec": 0,
    "base": 1,
    "container": 2, "script": 2, "ui": 2, "archives": 2, "uninstall": 2, "diagnostics": 2,
    "engine": 3, "engine/commands": 4,
    "frontend/headless": 5, "frontend/win32": 5,
    "app": 6,
    # The authors' side stands on the formats alone: it never sees a running setup.
    "builder": 3, "tools": 4, "finaliser": 3,
}
AUTHOR_SIDE = {"builder", "tools", "finaliser"}
RUN_SIDE = {"engine", "engine/commands", "frontend/headless", "frontend/win32", "app"}


def is_test(name):
    # A test is linked into its own program only, so it may reach above its folder; a header
    # is not, since any file of the folder could include it.
    return name.endswith("_test.cpp")


def folder_edges(src):
    edges = collections.defaultdict(list)
    files = lines = includes = 0
    for folder, _, names in os.walk(src):
        for name in sorted(names):
            if not name.endswith((".cpp", ".h")):
                continue
            path = os.path.join(folder, name)
            rel = os.path.relpath(path, src).replace(os.sep, "/")
            with open(path, encoding="utf-8", errors="replace") as f:
                text = f.read()
            files += 1
            lines += text.count("\n")
            home = os.path.dirname(rel)
            for m in re.finditer(r'^#include "([^"]+)"', text, re.M):
                includes += 1
                target = os.path.dirname(m.group(1)) or home
                if target != home and not is_test(name):
                    edges[(home, target)].append(rel)
    return edges, (files, lines, includes)


def cycles(edges):
    """Each cycle a depth-first search closes, as its folders in include order, first folder
    repeated at the end; a cycle reached twice is named once."""
    graph = collections.defaultdict(set)
    for a, b in edges:
        graph[a].add(b)
    found, seen = [], set()
    state = {}  # absent: not visited; 1: on the current path; 2: done
    path = []

    def visit(node):
        state[node] = 1
        path.append(node)
        for nxt in sorted(graph[node]):
            if state.get(nxt) == 1:
                loop = path[path.index(nxt):]
                start = loop.index(min(loop))
                key = tuple(loop[start:] + loop[:start])
                if key not in seen:
                    seen.add(key)
                    found.append(loop + [nxt])
            elif nxt not in state:
                visit(nxt)
        path.pop()
        state[node] = 2

    for node in sorted(graph):
        if node not in state:
            visit(node)
    return found


def problems_of(edges):
    problems = []
    for (a, b), where in sorted(edges.items()):
        if a not in RANKS or b not in RANKS:
            problems.append(f"{where[0]}: folder {a if a not in RANKS else b} has no layer in {__file__}")
        elif a in AUTHOR_SIDE and b in RUN_SIDE:
            problems.append(f"{where[0]}: the authors' side includes the running engine ({b})")
        elif RANKS[b] > RANKS[a]:
            problems.append(f"{where[0]}: includes upward, {a} -> {b}")
    for loop in cycles(edges):
        steps = ", ".join(f"{a} -> {b} ({edges[(a, b)][0]})" for a, b in zip(loop, loop[1:]))
        problems.append(f"cycle {' -> '.join(loop)}: {steps}")
    return problems


def main():
    args = [a for a in sys.argv[1:] if not a.startswith("--")]
    src = args[0] if args else os.path.join(os.path.dirname(__file__), "..", "..", "src")
    edges, (files, lines, includes) = folder_edges(src)
    problems = problems_of(edges)
    if "--graph" in sys.argv:
        print(f"{files} files, {lines} lines, {includes} includes, {len(edges)} folder edges")
        for (a, b), where in sorted(edges.items()):
            print(f"  {a:18} -> {b:18} {len(where)}")
    for p in problems:
        print(p)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
