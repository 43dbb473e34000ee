#!/usr/bin/env python3
"""scripts/check-folders.py on small made-up trees: each case's includes (folder ->
folders it includes), whether the check must fail, and what it must name."""
import os
import subprocess
import sys
import tempfile

SCRIPT = sys.argv[1]
CASES = [
    ("down and sideways only", {"library": ["host"], "picking": ["library", "host"], "platform": ["library"]},
     0, []),
    ("a cycle through a third folder on one floor",
     {"library": ["picking"], "picking": ["platform"], "platform": ["library"]},
     1, ["a cycle: library -> picking (library/a.cpp), picking -> platform (picking/a.cpp), "
         "platform -> library (platform/a.cpp)"]),
    ("two folders including each other", {"library": ["picking"], "picking": ["library"]},
     1, ["a cycle: library -> picking"]),
    ("a cycle outside the house, between test folders and fuzz",
     {"fuzz": ["tests/support"], "tests/support": ["tests/scan"], "tests/scan": ["fuzz"]},
     1, ["a cycle: fuzz -> tests/support"]),
    ("an arrow up", {"host": ["library"]}, 1, ["host -> library: an arrow that points up"]),
]

failures = 0
for name, includes, code, expected in CASES:
    with tempfile.TemporaryDirectory() as repo:
        folders = {"host", "library", "picking", "platform"} | {f.split("/")[0] for f in includes}
        for folder in folders:
            os.makedirs(os.path.join(repo, folder))
            open(os.path.join(repo, folder, "CMakeLists.txt"), "w").close()
        for source, targets in includes.items():
            os.makedirs(os.path.join(repo, source), exist_ok=True)
            with open(os.path.join(repo, source, "a.cpp"), "w") as f:
                f.writelines(f'#include "{target}/b.h"\n' for target in targets)
        run = subprocess.run([sys.executable, SCRIPT, repo], capture_output=True, text=True, timeout=60)
    missing = [text for text in expected if text not in run.stdout]
    if run.returncode != code or missing:
        failures += 1
        print(f"FAIL {name}: exit code {run.returncode} (wanted {code}), missing {missing}\n{run.stdout}")
    else:
        print(f"ok   {name}")
sys.exit(1 if failures else 0)
