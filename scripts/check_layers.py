#!/usr/bin/env python3
"""Fails when a project #include goes up the layer order.

Each folder belongs to a layer; a file may include files of its own layer and
of the layers below it. Headers under an `internal/` folder belong to the
algorithm in the folder above it: only that folder (and its tests and
benchmarks) may include them. tests/ and bench/ include each other's files
not at all. A folder the table does not know fails too, so that a new folder
is given its place before it is used.
"""
import pathlib
import re
import sys

# Lowest first. The longest matching folder prefix decides a file's layer.
LAYERS = [
    ("text", ["text"]),
    ("platform", ["platform"]),
    ("mesh", ["mesh"]),
    ("textures", ["textures"]),
    ("relief", ["relief"]),
    ("document", ["document"]),
    ("gl", ["gl"]),
    ("ui", ["ui"]),
    ("program", ["program"]),
    # Headless generators of files that ship with the program.
    ("tools", ["tools"]),
    # Test code sits above every library, so that no library can include it.
    ("test shapes", ["testing"]),
    ("tests", ["tests"]),
    ("bench", ["bench"]),
]
# Test and benchmark folders are peers, not one above the other.
PEERS = {"tests": "bench", "bench": "tests"}

LEVEL = {folder: (level, name) for level, (name, folders) in enumerate(LAYERS) for folder in folders}
INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"')
SOURCE_SUFFIXES = {".h", ".hpp", ".cpp", ".cc"}
SCANNED = ["text", "platform", "mesh", "textures", "relief", "document", "gl", "ui", "program",
           "tools", "testing", "tests", "bench"]


def layer_of(path):
    parts = pathlib.PurePosixPath(path).parts[:-1]
    for n in range(len(parts), 0, -1):
        folder = "/".join(parts[:n])
        if folder in LEVEL:
            return folder, LEVEL[folder]
    return None, None


def internal_owner(path):
    parts = pathlib.PurePosixPath(path).parts
    if "internal" in parts:
        return "/".join(parts[: parts.index("internal")])
    return None


def check(root):
    failures = []
    for top in SCANNED:
        base = root / top
        if not base.is_dir():
            continue
        for file in sorted(base.rglob("*")):
            if file.suffix not in SOURCE_SUFFIXES or not file.is_file():
                continue
            rel = file.relative_to(root).as_posix()
            folder, own = layer_of(rel)
            if own is None:
                failures.append(f"{rel}: its folder has no place in the layer order")
                continue
            for number, line in enumerate(file.read_text(errors="replace").splitlines(), 1):
                match = INCLUDE.match(line)
                if not match:
                    continue
                target = match.group(1)
                if not (root / target).exists():
                    continue  # a header of a library outside the project
                where = f"{rel}:{number}: includes {target}"
                _, theirs = layer_of(target)
                if theirs is None:
                    failures.append(f"{where}, whose folder has no place in the layer order")
                elif PEERS.get(own[1]) == theirs[1]:
                    failures.append(f"{where}: {own[1]} and {theirs[1]} share files only through testing/")
                elif theirs[0] > own[0]:
                    failures.append(f"{where} ({theirs[1]}) from the lower layer {own[1]}")
                owner = internal_owner(target)
                if owner and own[1] not in ("tests", "bench") and not rel.startswith(owner + "/"):
                    failures.append(f"{where}, which only {owner}/ may use")
    return failures


def main():
    root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else pathlib.Path(__file__).resolve().parent.parent)
    failures = check(root)
    for failure in failures:
        print(failure, file=sys.stderr)
    if failures:
        print(f"{len(failures)} include(s) against the layer order", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
