#!/usr/bin/env python3
"""Keeps the layers honest: every quoted include in src/ (tests excepted) must run downward or
sideways between folders that do not include each other. Prints the folder graph with
--graph. Exit 1 names each include that breaks the rule."""
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
    return name.endswith("_test.cpp") or "test_support" in name or name == "test_tables.h"


def main():
    args = [a for a in sys.argv[1:] if not a.startswith("--")]
    src = args[0] if args else os.path.join(os.path.dirname(__file__), "..", "..", "src")
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
    problems = []
    for (a, b), where in sorted(edges.items()):
        if a not in RANKS or b not in RANKS:
            problems.append(f"{where[0]}: folder {a if a not in RANKS else b} has no layer in {__file__}")
        elif a in AUTHOR_SIDE and b in RUN_SIDE:
            problems.append(f"{where[0]}: the authors' side includes the running engine ({b})")
        elif RANKS[b] > RANKS[a]:
            problems.append(f"{where[0]}: includes upward, {a} -> {b}")
        elif (b, a) in edges:
            problems.append(f"{where[0]}: {a} and {b} include each other")
    if "--graph" in sys.argv:
        print(f"{files} files, {lines} lines, {includes} includes, {len(edges)} folder edges")
        for (a, b), where in sorted(edges.items()):
            print(f"  {a:18} -> {b:18} {len(where)}")
    for p in problems:
        print(p)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
