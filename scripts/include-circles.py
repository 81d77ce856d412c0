#!/usr/bin/env python3
"""Circles among the tree's own includes, and each room's size.

Reads every `#include "..."` of the .cpp and .h files under the repository
(build directories and hidden ones left out), resolved against the including
file's directory first and then the repository root; includes that resolve to
no file of the tree (generated ui_*.h, *.moc, system headers) are skipped.
A .h and the .cpp beside it of the same name are one unit. Prints every
strongly connected component of the unit graph with more than one unit,
the circles through clockapp/ in particular, the circles between rooms (top
folders), and each room's line count split into code, tests and benchmarks.

Usage: scripts/include-circles.py [REPO_ROOT]   (default: this script's repo)
Always exits 0: it is a report to read, not a gate.
"""

import collections
import os
import re
import sys

SOURCE_EXTS = (".cpp", ".h")
INCLUDE_RE = re.compile(r'^\s*#\s*include\s*"([^"]+)"')
TOP_ROOM = "clockapp"


def skipped_dir(name):
    return name.startswith(".") or name.startswith("build")


def source_files(root):
    files = []
    for dirpath, dirnames, filenames in os.walk(root):
        dirnames[:] = sorted(d for d in dirnames if not skipped_dir(d))
        for f in sorted(filenames):
            if f.endswith(SOURCE_EXTS):
                files.append(os.path.relpath(os.path.join(dirpath, f), root))
    return files


def read_lines(root, rel):
    with open(os.path.join(root, rel), encoding="utf-8", errors="replace") as f:
        return f.read().splitlines()


def resolve(root, including, name, known):
    for base in (os.path.dirname(including), ""):
        cand = os.path.normpath(os.path.join(base, name))
        if cand in known:
            return cand
    return None


def unit_of(rel):
    return os.path.splitext(rel)[0]


def room_of(rel):
    parts = rel.split(os.sep)
    return parts[0] if len(parts) > 1 else "."


def kind_of(rel):
    parts = rel.split(os.sep)
    name = parts[-1]
    if "tests" in parts[:-1] or name.startswith("test_"):
        return "tests"
    if "bench" in parts[:-1] or name.startswith("bench_"):
        return "bench"
    return "code"


def strongly_connected(nodes, edges):
    """Tarjan's algorithm without recursion; components in no set order."""
    index, low, on_stack = {}, {}, set()
    stack, comps, counter = [], [], [0]
    for start in nodes:
        if start in index:
            continue
        work = [(start, iter(sorted(edges[start])))]
        index[start] = low[start] = counter[0]
        counter[0] += 1
        stack.append(start)
        on_stack.add(start)
        while work:
            node, it = work[-1]
            advanced = False
            for nxt in it:
                if nxt not in index:
                    index[nxt] = low[nxt] = counter[0]
                    counter[0] += 1
                    stack.append(nxt)
                    on_stack.add(nxt)
                    work.append((nxt, iter(sorted(edges[nxt]))))
                    advanced = True
                    break
                if nxt in on_stack:
                    low[node] = min(low[node], index[nxt])
            if advanced:
                continue
            work.pop()
            if work:
                parent = work[-1][0]
                low[parent] = min(low[parent], low[node])
            if low[node] == index[node]:
                comp = []
                while True:
                    w = stack.pop()
                    on_stack.discard(w)
                    comp.append(w)
                    if w == node:
                        break
                comps.append(sorted(comp))
    return comps


def shortest_path(edges, start, goals, within):
    """Shortest path from start to any goal, staying inside `within`."""
    prev = {start: None}
    queue = collections.deque([start])
    while queue:
        node = queue.popleft()
        for nxt in sorted(edges[node]):
            if nxt not in within or nxt in prev:
                continue
            prev[nxt] = node
            if nxt in goals:
                path = [nxt]
                while prev[path[-1]] is not None:
                    path.append(prev[path[-1]])
                return path[::-1]
            queue.append(nxt)
    return None


def shortest_circle(edges, node, within):
    """The shortest circle from node back to itself inside `within`."""
    best = None
    for nxt in sorted(edges[node]):
        if nxt not in within:
            continue
        if nxt == node:
            return [node, node]
        back = shortest_path(edges, nxt, {node}, within)
        if back and (best is None or len(back) + 1 < len(best)):
            best = [node] + back
    return best


def room_circles(file_edges, rooms, counted, what):
    room_edges = {r: set() for r in rooms}
    room_why = collections.defaultdict(list)
    for src, targets in file_edges.items():
        if not counted(src):
            continue
        for dst in targets:
            a, b = room_of(src), room_of(dst)
            if a != b:
                room_edges[a].add(b)
                room_why[(a, b)].append(f"{src} -> {dst}")
    room_comps = [c for c in strongly_connected(rooms, room_edges) if len(c) > 1]
    print(f"Circles between rooms ({what}): {len(room_comps)}")
    for comp in room_comps:
        inside = set(comp)
        print("  " + ", ".join(comp))
        for a in comp:
            for b in sorted(room_edges[a]):
                if b in inside:
                    w = sorted(room_why[(a, b)])
                    more = f" (+{len(w) - 3} more)" if len(w) > 3 else ""
                    print(f"    {a} -> {b}: {len(w)} includes, e.g. {'; '.join(w[:3])}{more}")


def main():
    root = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else
                           os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
    files = source_files(root)
    known = set(files)
    lines_of = {}
    file_edges = collections.defaultdict(set)
    unresolved = 0
    for rel in files:
        lines = read_lines(root, rel)
        lines_of[rel] = len(lines)
        for line in lines:
            m = INCLUDE_RE.match(line)
            if not m:
                continue
            target = resolve(root, rel, m.group(1), known)
            if target is None:
                unresolved += 1
            elif target != rel:
                file_edges[rel].add(target)

    units = sorted({unit_of(f) for f in files})
    files_of = collections.defaultdict(list)
    for f in files:
        files_of[unit_of(f)].append(f)
    edges = {u: set() for u in units}
    # Which file-level includes make each unit edge, to name them.
    why = collections.defaultdict(list)
    for src, targets in file_edges.items():
        for dst in targets:
            a, b = unit_of(src), unit_of(dst)
            if a != b:
                edges[a].add(b)
                why[(a, b)].append(f"{src} -> {dst}")
    n_edges = sum(len(v) for v in edges.values())

    print(f"{len(files)} files, {len(units)} units (a .h with its .cpp), "
          f"{n_edges} unit includes; {unresolved} includes outside the tree skipped")
    print()

    comps = [c for c in strongly_connected(units, edges) if len(c) > 1]
    comps.sort(key=lambda c: (-len(c), c))
    print(f"Circles (strongly connected groups of more than one unit): {len(comps)}")
    for i, comp in enumerate(comps, 1):
        inside = set(comp)
        rooms = collections.Counter(room_of(u) for u in comp)
        room_text = ", ".join(f"{r} {n}" for r, n in sorted(rooms.items()))
        print(f"\n[{i}] {len(comp)} units ({room_text})")
        for u in comp:
            print(f"    {u}  [{', '.join(os.path.splitext(f)[1] for f in sorted(files_of[u]))}]")
        crossing = [(a, b) for a in comp for b in sorted(edges[a])
                    if b in inside and room_of(a) != room_of(b)]
        if crossing:
            print("  includes between rooms inside it:")
            for a, b in crossing:
                for w in sorted(why[(a, b)]):
                    print(f"    {w}")
        # The shortest circle through each unit not yet on a printed one.
        covered = set()
        for u in comp:
            if u in covered:
                continue
            circle = shortest_circle(edges, u, inside)
            if not circle:
                continue
            covered.update(circle)
            print("  circle: " + " -> ".join(circle))
            for a, b in zip(circle, circle[1:]):
                print(f"      {'; '.join(sorted(why[(a, b)]))}")

    print()
    top = [(i, c) for i, c in enumerate(comps, 1)
           if any(room_of(u) == TOP_ROOM for u in c)]
    print(f"Circles through {TOP_ROOM}/: {len(top)}")
    for i, comp in top:
        inside = set(comp)
        tops = {u for u in comp if room_of(u) == TOP_ROOM}
        others = [u for u in comp if u not in tops]
        print(f"  [{i}] {len(tops)} units of {TOP_ROOM}/, {len(others)} of other rooms")
        # For each unit of another room in the circle: the shortest way
        # from it into clockapp/ and back.
        for u in others:
            there = shortest_path(edges, u, tops, inside)
            back = shortest_path(edges, there[-1], {u}, inside) if there else None
            if there and back:
                print("    " + " -> ".join(there + back[1:]))

    print()
    rooms = sorted({room_of(f) for f in files})
    room_circles(file_edges, rooms, lambda f: kind_of(f) == "code",
                 "code files only, tests and benchmarks aside")
    print()
    # main.cpp puts every window together, so it alone may reach every room.
    room_circles(file_edges, rooms,
                 lambda f: kind_of(f) == "code" and os.path.basename(f) != "main.cpp",
                 "code files only, main.cpp aside too")
    print()
    print("Lines per room (.cpp and .h):")
    counts = collections.defaultdict(collections.Counter)
    for f in files:
        counts[room_of(f)][kind_of(f)] += lines_of[f]
    print(f"  {'room':<12}{'code':>9}{'tests':>9}{'bench':>9}{'tests %':>9}")
    total = collections.Counter()
    for r in rooms:
        c = counts[r]
        total.update(c)
        all_lines = c["code"] + c["tests"] + c["bench"]
        share = 100.0 * c["tests"] / all_lines if all_lines else 0.0
        print(f"  {r:<12}{c['code']:>9}{c['tests']:>9}{c['bench']:>9}{share:>8.1f}%")
    all_lines = total["code"] + total["tests"] + total["bench"]
    share = 100.0 * total["tests"] / all_lines if all_lines else 0.0
    print(f"  {'all':<12}{total['code']:>9}{total['tests']:>9}{total['bench']:>9}{share:>8.1f}%")
    return 0


if __name__ == "__main__":
    try:
        main()
    except Exception as e:  # a report tool: say what went wrong, never fail
        print(f"include-circles: {e}", file=sys.stderr)
    sys.exit(0)
