#!/usr/bin/env python3
"""Fails when a text of the program tells a Linux user about Windows.

The program's own texts (menu items, messages, log lines, help fallbacks) are
string literals in the product folders. A literal fails when it names
Windows, Documents\\ or a path written with backslashes ("help\\page.md"):
here the folders are the program's folder and the XDG documents folder, and
paths are written with "/". The one Windows facility the program names is
the repair service, whose menu item stays as it is and is reported
unavailable; its texts are listed below. Library category keys that are
joined into paths by the library's own path code are not shown to a person
and are listed too.
"""
import pathlib
import re
import sys

CHECKED = ["text", "platform", "mesh", "textures", "relief", "document", "gl", "ui", "program"]
SOURCE_SUFFIXES = {".h", ".cpp"}

# (file, a fragment of the literal): texts allowed to name what they name.
ALLOWED = [
    ("ui/app/MainMenu.cpp", "Repair with &Windows"),
    ("document/InputMeshTools.cpp", "Windows repair"),
    ("document/InputMeshTools.cpp", "Repair with Windows"),
    ("relief/repair/WindowsRepair.cpp", "The Windows repair service"),
    ("relief/repair/WindowsRepair.h", "3D printing repair service"),
    ("mesh/Json.cpp", "\\\\?\\"),
    ("textures/Presets.cpp", "procedural\\\\"),
    ("textures/TextureLibrary.cpp", "textures\\\\"),
]

LITERAL = re.compile(r'L?"((?:[^"\\\n]|\\.)*)"')
WINDOWS = re.compile(r"\bWindows\b")
# A path segment and a backslash: "help\\page.md", "textures\\" + name.
BACKSLASH_PATH = re.compile(r"[A-Za-z0-9_]\\\\(?:[A-Za-z0-9_]|$)")


def strip_comments(text):
    """Blanks comments, keeping line numbers and string literals."""
    out, i, n = [], 0, len(text)
    while i < n:
        if text.startswith("//", i):
            j = text.find("\n", i)
            i = n if j < 0 else j
        elif text.startswith("/*", i):
            j = text.find("*/", i + 2)
            j = n if j < 0 else j + 2
            out.append("\n" * text.count("\n", i, j))
            i = j
        elif text[i] == '"':
            m = LITERAL.match(text, i)
            j = m.end() if m else i + 1
            out.append(text[i:j])
            i = j
        elif text[i] == "'":
            j = i + 1
            while j < n and text[j] != "'":
                j += 2 if text[j] == "\\" else 1
            out.append(text[i:j + 1])
            i = j + 1
        else:
            out.append(text[i])
            i += 1
    return "".join(out)


def problems(root):
    found = []
    for folder in CHECKED:
        for path in sorted((root / folder).rglob("*")):
            if path.suffix not in SOURCE_SUFFIXES:
                continue
            relative = path.relative_to(root).as_posix()
            code = strip_comments(path.read_text(encoding="utf-8", errors="replace"))
            for number, line in enumerate(code.split("\n"), 1):
                for literal in LITERAL.findall(line):
                    if not (WINDOWS.search(literal) or "Documents\\\\" in literal or BACKSLASH_PATH.search(literal)):
                        continue
                    if any(relative == file and fragment in literal for file, fragment in ALLOWED):
                        continue
                    found.append(f"{relative}:{number}: \"{literal}\"")
    return found


def main():
    root = pathlib.Path(sys.argv[1]) if len(sys.argv) > 1 else pathlib.Path(__file__).resolve().parent.parent
    found = problems(root)
    for line in found:
        print(line)
    if found:
        print(f"{len(found)} text(s) tell a Linux user about Windows or write a path with backslashes.")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
