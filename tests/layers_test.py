#!/usr/bin/env python3
"""The rooms stand in layers: a source file includes headers of its own room and of the
rooms below it, never above, so no two rooms include each other. A folder of sources that
is in no layer fails the test until it is placed, and the layers themselves may hold no
cycle: every room may include only rooms it could be built after. The tests follow the
rooms: tests/ROOM/ includes that room and the rooms below it."""
import pathlib
import re
import sys

# Each room and the rooms it may include, besides itself.
BELOW = {
    "os": set(),
    "lineio": {"os"},
    "terminal": {"os", "lineio"},
    "kit": {"os", "lineio"},
    "sheet": {"os", "lineio"},
    "tool": {"os", "lineio", "terminal", "kit", "sheet"},
    "plot": {"os"},
    "front": {"os", "lineio", "terminal", "kit", "sheet", "tool", "plot"},
    "programs": {"os", "lineio", "terminal", "kit", "sheet", "tool", "plot", "front"},
}
NOT_ROOMS = {"tests", "fuzz", "bench", "cmake", "doc", "examples", "build"}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"/]+)/[^"]+"', re.M)


def cycle_faults() -> list:
    """The rooms that stand on a cycle of BELOW (a room that may include itself, through
    others), or that may include a room no layer places."""
    faults = [f"{room}/ may include {used}/, which is in no layer"
              for room, used_rooms in BELOW.items() for used in sorted(used_rooms)
              if used not in BELOW]
    placed = set()
    while len(placed) < len(BELOW):
        ready = [room for room in BELOW
                 if room not in placed and BELOW[room] & BELOW.keys() <= placed]
        if not ready:
            left = sorted(set(BELOW) - placed)
            faults.append(f"the layers hold a cycle among {', '.join(left)}")
            break
        placed.update(ready)
    return faults


def test_faults(root: pathlib.Path) -> list:
    """A room's tests stand with it: tests/ROOM/ holds only the folders of the rooms, and
    its files include that room and the rooms below, besides the tests' own support and
    the fuzz targets they replay."""
    faults = []
    for folder in sorted(p for p in (root / "tests").iterdir() if p.is_dir()):
        room = folder.name
        if room in {"support", "data"}:
            continue
        if room not in BELOW:
            faults.append(f"tests/{room}/: the folder is no room's")
            continue
        for path in sorted(folder.glob("*")):
            if path.suffix not in {".cc", ".h"}:
                continue
            text = path.read_text(encoding="utf-8", errors="replace")
            for used in INCLUDE.findall(text):
                if used not in BELOW[room] | {room, "support", "fuzz"}:
                    faults.append(f"{path.relative_to(root)}: tests of {room}/ include {used}/")
    return faults


def main(root: pathlib.Path) -> int:
    faults = cycle_faults()
    for path in sorted(root.glob("*/*")):
        if path.suffix not in {".cc", ".h", ".c"}:
            continue
        room = path.parent.name
        if room in NOT_ROOMS or room.startswith("build"):
            continue
        if room not in BELOW:
            faults.append(f"{path.relative_to(root)}: the folder {room}/ is in no layer")
            continue
        text = path.read_text(encoding="utf-8", errors="replace")
        for used in INCLUDE.findall(text):
            if used != room and used not in BELOW[room]:
                faults.append(f"{path.relative_to(root)}: {room}/ includes {used}/")
    faults += test_faults(root)
    for fault in faults:
        print(fault)
    print(f"{0 if faults else 1} passed, {1 if faults else 0} failed")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else ".")))
