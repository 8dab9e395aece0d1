#!/usr/bin/env python3
"""Fails when the folders of cli/ include one another both ways.

Each folder of cli/ (single, batch, scan, reports, run, findings, base) is a
room of the command; a room may include the rooms below it, never one above
it, directly or through a chain. Reads every #include "cli/..." of the files
below cli/ and prints each cycle it finds with the includes that make it.
Usage: CliFoldersIncludeOneWay.py CLI_FOLDER
"""

import os
import re
import sys

INCLUDE = re.compile(r'^\s*#\s*include\s*"cli/([^"]+)"', re.MULTILINE)


def room_of(relative):
    """The room of a path below cli/: its first folder, None for cli/ itself."""
    parts = relative.replace(os.sep, "/").split("/")
    return parts[0] if len(parts) > 1 else None


def read_edges(cli):
    """{(from room, to room): first "file includes header" seen}."""
    edges = {}
    for root, _, files in os.walk(cli):
        for name in sorted(files):
            if not name.endswith((".cpp", ".h")):
                continue
            path = os.path.join(root, name)
            source = room_of(os.path.relpath(path, cli))
            if source is None:
                continue
            with open(path, encoding="utf-8", errors="replace") as file:
                text = file.read()
            for included in INCLUDE.findall(text):
                target = room_of(included)
                if target is not None and target != source:
                    where = "cli/%s includes cli/%s" % (os.path.relpath(path, cli).replace(os.sep, "/"), included)
                    edges.setdefault((source, target), where)
    return edges


def path_between(edges, start, goal):
    """The rooms from start to goal along includes (breadth first), or None."""
    previous = {start: None}
    queue = [start]
    while queue:
        room = queue.pop(0)
        if room == goal:
            rooms = []
            while room is not None:
                rooms.append(room)
                room = previous[room]
            return rooms[::-1]
        for source, target in sorted(edges):
            if source == room and target not in previous:
                previous[target] = room
                queue.append(target)
    return None


def main():
    if len(sys.argv) != 2 or not os.path.isdir(sys.argv[1]):
        print("usage: CliFoldersIncludeOneWay.py CLI_FOLDER", file=sys.stderr)
        return 2
    edges = read_edges(sys.argv[1])
    cycles = set()
    for source, target in sorted(edges):
        back = path_between(edges, target, source)
        if back is None:
            continue
        cycle = [source] + back
        # One report per cycle, whichever room it is entered from.
        low = cycle.index(min(cycle[:-1]))
        cycles.add(tuple(cycle[low:-1] + cycle[:low + 1]))
    # Shortest first; a cycle that only repeats an include already shown in
    # a shorter one adds nothing to mend.
    shown = set()
    for cycle in sorted(cycles, key=lambda cycle: (len(cycle), cycle)):
        links = set(zip(cycle, cycle[1:]))
        if links & shown:
            continue
        shown |= links
        print("cli/ folders include one another both ways: " + " -> ".join(cycle))
        for source, target in zip(cycle, cycle[1:]):
            print("  " + edges[(source, target)])
    if cycles:
        return 1
    rooms = sorted({room for edge in edges for room in edge})
    print("cli/ folders include one way only: %d links between %s" % (len(edges), ", ".join(rooms)))
    return 0


if __name__ == "__main__":
    sys.exit(main())
