#!/usr/bin/env python3
"""Reads the includes under src/ and fails when one points the wrong way.

The folders stand in layers, from the top down. A file may include files of
its own folder and of any lower layer. The windows may include each other
(the setup window starts a conversation in the chat window, which reads the
name back from the setup window), so they share one layer; features and the
layers below them may not include a folder of their own layer. Whatever the
layers say, a circle of includes between files fails too.

Usage: scripts/check-layers.py [SRC_DIR]; exits 1 naming each bad include.
"""
import os
import re
import sys

# Top first. Folders on one line share a layer.
LAYERS = [
    ["app"],                         # where the program starts
    ["setup", "chat", "info"],      # the four windows
    ["access"],                      # what assistive technology is told
    ["transcript", "connection"],   # the features the chat window is made of
    ["controls"],                    # the controls the windows are written against
    ["program"],                     # one running copy: windows, boxes, errors, End
    ["system"],                      # the operating system and the window system
]
# Layers whose folders may include one another.
OPEN_LAYERS = {1}

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)


def layer_of(folder):
    for index, folders in enumerate(LAYERS):
        if folder in folders:
            return index
    return None


def main():
    src = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else
                          os.path.join(os.path.dirname(__file__), "..", "src"))
    problems = []
    graph = {}
    for root, _, names in os.walk(src):
        for name in sorted(names):
            if not name.endswith((".h", ".cpp")):
                continue
            path = os.path.relpath(os.path.join(root, name), src)
            folder = path.split(os.sep)[0] if os.sep in path else ""
            if folder == "resources":
                continue
            with open(os.path.join(src, path), encoding="utf-8") as f:
                text = f.read()
            graph[path] = []
            for target in INCLUDE.findall(text):
                if "/" not in target:
                    continue  # generated headers (version.h) and Qt's own
                graph[path].append(target)
                to = target.split("/")[0]
                if folder == "":
                    continue  # main.cpp stands above everything
                here, there = layer_of(folder), layer_of(to)
                if here is None:
                    problems.append(f"{path}: folder '{folder}' has no layer in scripts/check-layers.py")
                    break
                if there is None:
                    problems.append(f"{path}: includes \"{target}\", folder '{to}' has no layer")
                elif to != folder and (there < here or (there == here and here not in OPEN_LAYERS)):
                    problems.append(f"{path}: includes \"{target}\", which points "
                                    f"{'up' if there < here else 'sideways'} "
                                    f"({folder} -> {to})")

    # Circles between files, whatever their folders.
    state = {}

    def visit(node, trail):
        state[node] = "open"
        for nxt in graph.get(node, []):
            if nxt not in graph:
                continue
            if state.get(nxt) == "open":
                circle = trail[trail.index(nxt):] + [nxt]
                problems.append("circle of includes: " + " -> ".join(circle))
            elif nxt not in state:
                visit(nxt, trail + [nxt])
        state[node] = "done"

    for node in sorted(graph):
        if node not in state:
            visit(node, [node])

    for problem in problems:
        print("layers: " + problem)
    if problems:
        return 1
    print(f"layers: {len(graph)} files, every include points down")
    return 0


if __name__ == "__main__":
    sys.exit(main())
