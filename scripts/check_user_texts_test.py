#!/usr/bin/env python3
"""Plants texts in a scratch tree and checks that the text check sees them."""
import pathlib
import sys
import tempfile

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
import check_user_texts  # noqa: E402

CASES = [
    # (file, code, caught)
    ("ui/a.cpp", 'auto t = L"Images go in Documents\\\\Ruvolta.";', True),
    ("ui/a.cpp", 'auto t = L"The page `help\\\\" + name;', True),
    ("document/b.cpp", 'Log("in a format Windows does not read");', True),
    ("ui/a.cpp", '// Windows keeps help\\\\ beside the program', False),
    ("ui/a.cpp", '/* Windows */ auto t = "a/b";', False),
    ("ui/a.cpp", 'auto t = "line\\n" "tab\\t";', False),
    ("mesh/c.cpp", 'const char* seps = "/\\\\";', False),
    ("ui/app/MainMenu.cpp", 'menu->Append(1, "Repair with &Windows");', False),
    ("ui/app/Other.cpp", 'menu->Append(1, "Repair with &Windows");', True),
    ("textures/d.cpp", "char c = '\\\"'; auto t = \"WindowsXP\";", False),
]


def main():
    failures = 0
    for file, code, caught in CASES:
        with tempfile.TemporaryDirectory() as folder:
            root = pathlib.Path(folder)
            path = root / file
            path.parent.mkdir(parents=True)
            path.write_text(code + "\n")
            found = bool(check_user_texts.problems(root))
            if found != caught:
                failures += 1
                print(f"{file}: {code!r}: {'caught' if found else 'passed'}, expected {'caught' if caught else 'passed'}")
    print("check_user_texts: " + ("ok" if failures == 0 else f"{failures} case(s) wrong"))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
