#!/usr/bin/env python3
"""The layer check on small made-up source trees: what it refuses and what it lets pass."""
import os
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import check_layers  # noqa: E402


def problems(files):
    """The check's problems for a tree of {path: [included paths]}."""
    with tempfile.TemporaryDirectory() as src:
        for path, includes in files.items():
            os.makedirs(os.path.join(src, os.path.dirname(path)), exist_ok=True)
            with open(os.path.join(src, path), "w", encoding="utf-8") as f:
                f.writelines(f'#include "{i}"\n' for i in includes)
        edges, _ = check_layers.folder_edges(src)
        return check_layers.problems_of(edges)


class CheckLayersTest(unittest.TestCase):
    def test_cases(self):
        cases = [
            # (what, tree, the problems expected, each as a piece of its line)
            ("downward and sideways pass",
             {"engine/a.cpp": ["ui/b.h", "base/c.h"], "ui/b.h": ["container/d.h"], "container/d.h": []}, []),
            ("three folders of one rank in a circle",
             {"container/a.h": ["script/b.h"], "script/b.h": ["ui/c.h"], "ui/c.h": ["container/a.h"]},
             ["cycle container -> script -> ui -> container: container -> script (container/a.h), "
              "script -> ui (script/b.h), ui -> container (ui/c.h)"]),
            ("two folders of one rank include each other",
             {"archives/a.h": ["uninstall/b.h"], "uninstall/b.h": ["archives/c.h"]},
             ["cycle archives -> uninstall -> archives"]),
            ("a test-support header is held to its folder's layer",
             {"ui/page_test_support.h": ["engine/setup_context.h"]},
             ["ui/page_test_support.h: includes upward, ui -> engine"]),
            ("a test may reach above its folder",
             {"ui/page_test.cpp": ["engine/setup_context.h", "app/startup.h"]}, []),
            ("the authors' side never sees the engine",
             {"tools/a.cpp": ["engine/b.h"]}, ["tools/a.cpp: the authors' side includes the running engine"]),
            ("a folder without a layer", {"misc/a.cpp": ["base/b.h"]}, ["misc/a.cpp: folder misc has no layer"]),
        ]
        for what, tree, expected in cases:
            with self.subTest(what):
                found = problems(tree)
                self.assertEqual(len(found), len(expected), found)
                for piece, line in zip(expected, found):
                    self.assertIn(piece, line)


if __name__ == "__main__":
    unittest.main()
