#!/usr/bin/env python3
"""The wide-path check on a copy of the tree: clean as it is, failing on each
road from a wide string to a path other than PathFromWide, and passing that
road and paths made from narrow strings."""
import pathlib
import shutil
import subprocess
import sys
import tempfile
import unittest

ROOT = pathlib.Path(__file__).resolve().parent.parent
SCRIPT = ROOT / "scripts" / "check_wide_paths.py"
PLANTED_IN = "ui/framework/FileDrop.cpp"


def run_on(lines):
    """The check's exit code on a copy of the window framework's folder with
    `lines` in a function appended to one file."""
    with tempfile.TemporaryDirectory() as scratch:
        root = pathlib.Path(scratch)
        shutil.copytree(ROOT / "ui" / "framework", root / "ui" / "framework")
        with open(root / PLANTED_IN, "a", encoding="utf-8") as file:
            file.write("\nvoid Planted(const CString& chosen, const wxString& picked, std::wstring_view view,\n"
                       "             const std::string& utf8) {\n" + "\n".join(lines) + "\n}\n")
        return subprocess.run([sys.executable, str(SCRIPT), str(root)], capture_output=True).returncode


class WidePathCheck(unittest.TestCase):
    def test_the_tree_passes(self):
        self.assertEqual(subprocess.run([sys.executable, str(SCRIPT), str(ROOT)]).returncode, 0)

    def test_each_road_through_the_locale_fails(self):
        roads = [
            "std::filesystem::path p(chosen);",
            "std::filesystem::path p{chosen};",
            "const std::filesystem::path p = chosen;",
            "Use(std::filesystem::path(chosen));",
            "Use(fs::path(L\"caf\\u00e9.stl\"));",
            "Use(std::filesystem::path(picked.ToStdWstring()));",
            "Use(std::filesystem::path(picked.utf8_string()));",
            "Use(std::filesystem::path(view));",
            "std::filesystem::path folder = Home(); folder /= chosen;",
            "std::filesystem::path folder = Home(); Use(folder / chosen);",
            "std::filesystem::path folder; folder = picked.ToStdWstring();",
            "std::vector<std::filesystem::path> paths; paths.emplace_back(picked.ToStdString());",
            "CString shown = Home().wstring();",
            "CString shown = Home().filename().generic_wstring();",
        ]
        for road in roads:
            with self.subTest(road=road):
                self.assertEqual(run_on([road]), 1)

    def test_the_one_conversion_and_narrow_paths_pass(self):
        roads = [
            "std::filesystem::path p = PathFromWide(chosen);",
            "Use(PathFromWide(picked.ToStdWstring()));",
            "std::filesystem::path folder = Home(); folder /= PathFromWide(chosen);",
            "std::vector<std::filesystem::path> paths; paths.push_back(PathFromWide(view));",
            "CString shown = WideFromPath(Home());",
            "std::filesystem::path p(utf8);",
            "std::filesystem::path q = std::filesystem::path(utf8) / \"resources\";",
            "if (chosen.empty()) Use(std::filesystem::path(\"x\"));",
            "std::filesystem::path Declared(const std::wstring& name, int count);",
        ]
        self.assertEqual(run_on(roads), 0)


if __name__ == "__main__":
    unittest.main()
