#!/usr/bin/env python3
"""The document-write check on a copy of the tree: clean as it is, failing on
each kind of planted write, and passing planted reads."""
import pathlib
import shutil
import subprocess
import sys
import tempfile
import unittest

ROOT = pathlib.Path(__file__).resolve().parent.parent
SCRIPT = ROOT / "scripts" / "check_document_writes.py"
PLANTED_IN = "ui/view/ViewHosts.cpp"


def run_on(lines):
    """The check's exit code on a copy of the document header and the view
    folder with `lines` appended to one view file."""
    with tempfile.TemporaryDirectory() as scratch:
        root = pathlib.Path(scratch)
        shutil.copytree(ROOT / "document", root / "document")
        shutil.copytree(ROOT / "ui" / "view", root / "ui" / "view")
        with open(root / PLANTED_IN, "a", encoding="utf-8") as file:
            file.write("\nvoid Planted(CRidgeforgeDoc* doc) {\n" + "\n".join(lines) + "\n}\n")
        return subprocess.run([sys.executable, str(SCRIPT), str(root)], capture_output=True).returncode


class DocumentWriteCheck(unittest.TestCase):
    def test_the_tree_passes(self):
        self.assertEqual(subprocess.run([sys.executable, str(SCRIPT), str(ROOT)]).returncode, 0)

    def test_each_kind_of_write_fails(self):
        writes = [
            "doc->activeMask = 3;",
            "doc->projection.box.blendSharpness *= 2;",
            "++doc->occupancyCells;",
            "doc->meshSerial--;",
            "doc->maskVolumes.push_back({});",
            "doc->maskVolumes[0].enabled = false;",
            "GetDocument()->texture.SetSettings({});",
            "Doc()->pipeline.RequestStop();",
            "document_->remeshEnabled = false;",
            "GetActiveRidgeforgeDoc()->printCheckShown = true;",
            "std::swap(doc->maskVolumes, other);",
            "mesh::Projection& p = doc->projection;",
            "for (auto& volume : doc->maskVolumes) volume.enabled = false;",
            "auto* texture = &doc->texture;",
        ]
        for write in writes:
            with self.subTest(write=write):
                self.assertEqual(run_on([write]), 1)

    def test_reads_pass(self):
        reads = [
            "const mesh::Projection& p = doc->projection;",
            "for (const auto& volume : doc->maskVolumes) Use(volume);",
            "if (doc->activeMask == 2 || doc->occupancyCells != 3) return;",
            "const std::size_t n = doc->maskVolumes.size();",
            "const mesh::HeightMap* map = &std::as_const(*doc).texture;",
            "dialog.remesh = doc->remeshSettings;",
            "doc->Edit([](DocumentEdit& edit) { edit.activeMask = 2; });",
        ]
        self.assertEqual(run_on(reads), 0)


if __name__ == "__main__":
    unittest.main()
