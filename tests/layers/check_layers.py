#!/usr/bin/python3
"""Checks that includes between the folders of src/ run one way: down the layers below.

    check_layers.py SOURCE_DIR

The layers, lowest first: base holds what every other folder uses (the number reader and
formatter, the atomic file writer, the version); study holds the science of a scan (one
collision and its classes, the refinement, the convergence) for every front end. A file may include its own folder's headers and those of any folder
below its own. The window's files (*_window.cpp, *_window.h) and the program entries (*_main.cpp)
form the top layer whatever folder they stand in: they may include anything.

Includes that still run upward are listed in KNOWN with the reason they remain; each is to go
as the code is moved, and the check fails both for a new upward include and for a listed one
that is no longer there (so that the list only shrinks). Exit status 0 when the includes agree,
1 otherwise, with a line for each disagreement.
"""
import os
import re
import sys

LAYERS = ["base", "soliton", "initial", "engine", "study", "views", "interaction", "records", "cli", "python", "app"]

# (file, included folder): upward includes not yet removed.
KNOWN = {
    # A run with the window's outputs drives the window's program through its run control.
    ("cli/run_command.cpp", "app"),
    ("interaction/xt_png.h", "app"),  # the pictures are drawn from the window's Program
    ("interaction/mouse_work.h", "app"),
    ("interaction/refresh.h", "app"),
    # The composer takes the grid and the level types of the engine.
    ("initial/composer.h", "engine"),
}

INCLUDE = re.compile(r'^\s*#\s*include\s+"([a-z_]+)/')


def is_window(name):
    return re.search(r"(_window\.(cpp|h)|_main\.cpp)$", name) is not None


def main():
    src = os.path.join(sys.argv[1], "src")
    found = set()
    bad = []
    for folder in sorted(os.listdir(src)):
        if folder not in LAYERS:
            bad.append(f"src/{folder}: a folder of no layer; add it to LAYERS")
            continue
        for name in sorted(os.listdir(os.path.join(src, folder))):
            if is_window(name) or not name.endswith((".h", ".cpp")):
                continue
            path = f"{folder}/{name}"
            with open(os.path.join(src, path), encoding="utf-8") as f:
                for number, line in enumerate(f, 1):
                    m = INCLUDE.match(line)
                    if not m or m.group(1) == folder or m.group(1) not in LAYERS:
                        continue
                    if LAYERS.index(m.group(1)) < LAYERS.index(folder):
                        continue
                    if (path, m.group(1)) in KNOWN:
                        found.add((path, m.group(1)))
                    else:
                        bad.append(f"src/{path}:{number}: includes {m.group(1)}/, a layer above {folder}/")
    for path, target in sorted(KNOWN - found):
        bad.append(f"src/{path}: no longer includes {target}/; remove it from KNOWN")
    for line in bad:
        print(line)
    return 1 if bad else 0


if __name__ == "__main__":
    sys.exit(main())
