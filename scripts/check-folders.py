#!/usr/bin/env python3
"""Lists which product folder includes which, and fails on an arrow that points up.

Every folder stands on the ones below it: the host's records at the bottom, the
portable core, the window layer, the dialog and the splash, the DLL at the top. An
include from a folder into one above it, and every cycle of folders that include each
other (directly or through others, on one floor or outside the house), is reported,
and the exit code is 1.

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
# tests/ is a folder of folders (one per subsystem, and support/ that bench/ and fuzz/
# use too): each is a folder of the graph of its own.
SPLIT = ["tests"]
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"/]+)/(?:([^"/]+)/)?', re.M)
SOURCES = (".h", ".hpp", ".cpp", ".cc", ".rc")


def top(node):
    return node.split("/")[0]


def nodes_of(repo, folder):
    if folder not in SPLIT:
        return [folder]
    return sorted(f"{folder}/{d}" for d in os.listdir(os.path.join(repo, folder))
                  if os.path.isdir(os.path.join(repo, folder, d)))


def folder_edges(repo, node):
    edges = {}
    for root, _, files in os.walk(os.path.join(repo, node)):
        for name in files:
            if not name.endswith(SOURCES):
                continue
            path = os.path.join(root, name)
            with open(path, errors="replace") as f:
                for first, second in INCLUDE.findall(f.read()):
                    target = f"{first}/{second}" if first in SPLIT and second else first
                    if target != node:
                        edges.setdefault(target, set()).add(os.path.relpath(path, repo))
    return edges


def cycles(graph):
    """The folders that include each other, directly or through others: one shortest
    cycle for each group of folders that all reach one another (Tarjan's components)."""
    index, low, stack, on_stack, groups = {}, {}, [], set(), []

    def visit(node):
        index[node] = low[node] = len(index)
        stack.append(node)
        on_stack.add(node)
        for target in sorted(graph.get(node, ())):
            if target not in index:
                visit(target)
                low[node] = min(low[node], low[target])
            elif target in on_stack:
                low[node] = min(low[node], index[target])
        if low[node] == index[node]:
            group = set()
            while True:
                member = stack.pop()
                on_stack.discard(member)
                group.add(member)
                if member == node:
                    break
            if len(group) > 1:
                groups.append(group)

    for node in sorted(graph):
        if node not in index:
            visit(node)
    found = []
    for group in groups:
        start = min(group)
        # Breadth first from the group's first folder back to it, inside the group.
        paths, seen = [[start]], {start}
        while paths:
            path = paths.pop(0)
            targets = sorted(t for t in graph.get(path[-1], ()) if t in group)
            if start in targets:
                found.append(path + [start])
                break
            for target in targets:
                if target not in seen:
                    seen.add(target)
                    paths.append(path + [target])
    return sorted(found)


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
    graph, first_file = {}, {}
    for node in (n for folder in present if folder in known for n in nodes_of(repo, folder)):
        edges = folder_edges(repo, node)
        print(f"{node:18} -> {' '.join(sorted(edges)) or '-'}")
        graph[node] = {target for target in edges if top(target) in known}
        for target, files in sorted(edges.items()):
            if top(target) not in known:
                continue
            first_file[node, target] = sorted(files)[0]
            if top(target) in OUTSIDE and top(node) not in OUTSIDE:
                problems.append(f"{node} -> {target}: the house includes from outside it ({first_file[node, target]})")
            elif top(node) in level and level[top(target)] > level[top(node)]:
                problems.append(f"{node} -> {target}: an arrow that points up ({first_file[node, target]})")
    # Folders on one floor may include each other one way only; so may those outside.
    for cycle in cycles(graph):
        steps = [f"{a} -> {b} ({first_file[a, b]})" for a, b in zip(cycle, cycle[1:])]
        problems.append("a cycle: " + ", ".join(steps))
    for p in problems:
        print("UPWARD: " + p)
    print(f"{len(problems)} upward includes or cycles")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
