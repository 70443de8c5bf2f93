#!/usr/bin/env python3
"""Checks that the engine's folders include one another in one direction only.

A folder may include from itself and from the folders before it in LAYERS; an include that points
the other way (or into a folder not listed) is printed and fails the check.
"""
import pathlib
import re
import sys

LAYERS = ["core", "fs", "encoding", "words", "page", "undo", "run"]
INCLUDE = re.compile(r'^\s*#\s*include\s+"engine/([^/"]+)/', re.MULTILINE)


def main(engine_dir: pathlib.Path) -> int:
    faults = []
    for path in sorted(engine_dir.rglob("*")):
        if path.suffix not in (".h", ".cpp", ".in") or "tests" in path.relative_to(engine_dir).parts:
            continue
        folder = path.relative_to(engine_dir).parts[0]
        if folder not in LAYERS:
            faults.append(f"{path}: not in a stage folder")
            continue
        for target in INCLUDE.findall(path.read_text(encoding="utf-8")):
            if target not in LAYERS or LAYERS.index(target) > LAYERS.index(folder):
                faults.append(f"{path}: {folder} includes from {target}")
    for fault in faults:
        print(fault)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(pathlib.Path(sys.argv[1])))
