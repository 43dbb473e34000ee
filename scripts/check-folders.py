#!/usr/bin/env python3
"""Lists which product folder includes which, and fails on an arrow that points up.

Every folder stands on the ones below it: the host's records at the bottom, the
portable core, the window layer, the dialog and the splash, the DLL at the top. An
include from a folder into one above it (or into a folder that includes it back,
directly or through others) is reported, and the exit code is 1.

Usage: scripts/check-folders.py [REPO]"""
import os
import re
import sys

# Lowest first. A folder may include only from folders on a lower floor.
FLOORS = [
    ["host"],
    ["library", "picking", "platform", "scan", "mpd"],
    ["splash", "winui", "resources"],
    ["dialog"],
    ["plugin"],
]
# Outside the house: they use the floors and nothing in the house includes them (cli/ is
# the command-line layer that tools/ and standin/ share; tests reach into all of them).
OUTSIDE = ["cli", "standin", "tools", "tui", "packaging", "tests", "bench", "fuzz"]
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"/]+)/', re.M)
SOURCES = (".h", ".hpp", ".cpp", ".cc", ".rc")


def folder_edges(repo, folder):
    edges = {}
    for root, _, files in os.walk(os.path.join(repo, folder)):
        for name in files:
            if not name.endswith(SOURCES):
                continue
            path = os.path.join(root, name)
            with open(path, errors="replace") as f:
                for target in INCLUDE.findall(f.read()):
                    if target != folder:
                        edges.setdefault(target, set()).add(os.path.relpath(path, repo))
    return edges


def main():
    repo = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..")
    level = {f: i for i, floor in enumerate(FLOORS) for f in floor}
    known = set(level) | set(OUTSIDE)
    present = sorted(d for d in os.listdir(repo)
                     if os.path.isdir(os.path.join(repo, d)) and os.path.exists(os.path.join(repo, d, "CMakeLists.txt")))
    problems = []
    for folder in present:
        if folder not in known:
            problems.append(f"{folder}/: a folder on no floor (add it to FLOORS or OUTSIDE in {sys.argv[0]})")
    for folder in present:
        if folder not in known:
            continue
        edges = folder_edges(repo, folder)
        print(f"{folder:10} -> {' '.join(sorted(edges)) or '-'}")
        for target, files in sorted(edges.items()):
            if target not in known:
                continue
            if target in OUTSIDE and folder not in OUTSIDE:
                problems.append(f"{folder} -> {target}: the house includes from outside it ({sorted(files)[0]})")
            elif folder in level and level[target] >= level[folder] and target != folder:
                if level[target] > level[folder] or folder_edges(repo, target).get(folder):
                    problems.append(f"{folder} -> {target}: an arrow that points up ({sorted(files)[0]})")
    for p in problems:
        print("UPWARD: " + p)
    print(f"{len(problems)} upward includes")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
