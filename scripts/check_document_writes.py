#!/usr/bin/env python3
"""Fails when product code outside the document library writes a document field.

Every change of the document's state from the windows goes through the
document's one edit operation (CRidgeforgeDoc::Edit), which records one undo
step and refreshes the views once; a window that assigns a field itself skips
both. The check reads the document's public data members from its header and
looks, in the folders above the document, for an expression that reaches one
of them through a document pointer or reference (`doc->`, `doc.`,
`document_->`, `GetDocument()->` ...) and then writes it: an assignment, a
compound assignment, ++ or --, a member call that changes a container, a
pointer or a record (push_back, erase, reset, Set..., Clear... ...), a swap,
its address taken, or a reference to it that is not const. Reads pass, and
so does a const reference; a pointer to a field is taken through
std::as_const(*doc), which the compiler holds to reading.

Tests and benchmarks set up documents directly and are not checked.
"""
import pathlib
import re
import sys

HEADER = "document/RidgeforgeDoc.h"
CHECKED = ["ui", "program", "tools"]
SOURCE_SUFFIXES = {".h", ".hpp", ".cpp", ".cc"}

# The names a document goes by in the windows' code: a pointer or reference
# variable, or a call that returns one (Doc(), GetActiveRidgeforgeDoc() ...).
DOCUMENT = r"(?:\b(?:doc|document|document_|doc_|m_doc|m_pDoc|pDoc)\b|\b[A-Za-z_]*(?:Doc|Document)\(\s*\))"
ACCESS = r"\s*(?:->|\.)\s*"
# Calls that change what they are called on.
MUTATING_CALLS = (
    "push_back|emplace_back|pop_back|insert|emplace|erase|clear|resize|assign|swap|reset|release|"
    "Set[A-Za-z]*|Clear[A-Za-z]*|Reset[A-Za-z]*|Load[A-Za-z]*|Apply[A-Za-z]*|Request[A-Za-z]*|"
    "Restart[A-Za-z]*|Wait[A-Za-z]*|Stop[A-Za-z]*"
)


def public_members(root):
    """The data members declared in the document's public member block."""
    text = (root / HEADER).read_text(encoding="utf-8")
    start = text.index("class CRidgeforgeDoc")
    body = text[start:]
    depth = 0
    section = None
    members = []
    statement = ""
    for line in body.splitlines()[1:]:
        stripped = line.strip()
        if depth == 0 and stripped in ("public:", "protected:", "private:"):
            section = stripped[:-1]
            continue
        if stripped.startswith("//") or not stripped:
            continue
        opened = line.count("{") - line.count("}")
        if depth == 0 and section == "public":
            statement += " " + stripped
            if statement.rstrip().endswith(";") and opened == 0:
                declaration = statement.strip()
                statement = ""
                # A data member: no parameter list before its name, no keyword
                # that makes it a type or a function.
                head = re.split(r"\s*(?:=|\{)", declaration, maxsplit=1)[0].rstrip(";").strip()
                if "(" in head or head.startswith(("using", "enum", "struct", "class", "friend", "static")):
                    continue
                name = re.search(r"([A-Za-z_][A-Za-z_0-9]*)\s*$", head)
                if name:
                    members.append(name.group(1))
            elif opened != 0:
                statement = ""
        elif depth == 0 and section != "public":
            statement = ""
        depth += opened
        if depth < 0:
            break
    return members


def strip_comments_and_strings(text):
    text = re.sub(r"/\*.*?\*/", lambda m: re.sub(r"[^\n]", " ", m.group(0)), text, flags=re.S)
    text = re.sub(r"//[^\n]*", "", text)
    text = re.sub(r'"(?:\\.|[^"\\\n])*"', '""', text)
    return text


def write_patterns(members):
    names = "|".join(sorted(members, key=len, reverse=True))
    field = DOCUMENT + ACCESS + r"(?:" + names + r")\b"
    # What may follow the field on the way to the written part: members,
    # subscripts and calls of const accessors are part of the path.
    path = r"(?:\s*(?:\.|->)\s*[A-Za-z_][A-Za-z_0-9]*|\s*\[[^\]\n]*\])*"
    assignment = r"\s*(?:[-+*/%&|^]|<<|>>)?=(?!=)"
    return [
        re.compile(r"(?:\+\+|--)\s*" + field + path),
        re.compile(field + path + r"\s*(?:\+\+|--)"),
        re.compile(field + path + assignment),
        re.compile(field + path + r"\s*(?:\.|->)\s*(?:" + MUTATING_CALLS + r")\s*\("),
        re.compile(r"\bstd::swap\s*\(\s*" + field),
        # A field handed out as a pointer: &doc->field.
        re.compile(r"(?<![&\w])&\s*" + field + path),
    ]


def reference_pattern(members):
    """A reference bound to a field: `T& x = doc->field` or `for (T& x : doc->field)`."""
    names = "|".join(sorted(members, key=len, reverse=True))
    return re.compile(r"&\s*[A-Za-z_][A-Za-z_0-9]*\s*(?:=|\{|:)\s*" + DOCUMENT + ACCESS + r"(?:" + names + r")\b")


def binds_mutable_reference(line, pattern):
    """The reference's declaration is the text since the last ( ; or { before it; const there makes it a read."""
    for match in pattern.finditer(line):
        declaration = re.split(r"[(;{]", line[: match.start()])[-1]
        if not re.search(r"\bconst\b", declaration):
            return match
    return None


def check(root, members):
    patterns = write_patterns(members)
    reference = reference_pattern(members)
    failures = []
    for folder in CHECKED:
        base = root / folder
        if not base.is_dir():
            continue
        for path in sorted(base.rglob("*")):
            if path.suffix not in SOURCE_SUFFIXES:
                continue
            text = strip_comments_and_strings(path.read_text(encoding="utf-8", errors="replace"))
            for number, line in enumerate(text.splitlines(), 1):
                match = next((m for m in (p.search(line) for p in patterns) if m), None)
                match = match or binds_mutable_reference(line, reference)
                if match:
                    failures.append(f"{path.relative_to(root)}:{number}: writes a document field: "
                                    f"{match.group(0).strip()}")
    return failures


def main():
    root = pathlib.Path(sys.argv[1]) if len(sys.argv) > 1 else pathlib.Path(__file__).resolve().parent.parent
    members = public_members(root)
    if len(members) < 10:
        print(f"check_document_writes: found only {len(members)} public data members in {HEADER}; "
              "the header's layout changed and the check must follow it")
        return 1
    failures = check(root, members)
    for failure in failures:
        print(failure)
    if failures:
        print(f"{len(failures)} write(s) of a document field outside the document; "
              "go through CRidgeforgeDoc::Edit instead")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
