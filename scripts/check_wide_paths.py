#!/usr/bin/env python3
"""Fails when product code builds a file-system path from a wide string, or a
wide string from a path, other than through text/PathText.h.

std::filesystem converts between wide strings and a path's bytes through the
global C++ locale: under the C locale every letter outside ASCII throws, and
under a UTF-8 locale so does every name that is not UTF-8, which ends the
program. PathFromWide and WideFromPath go through UTF-8 whatever the locale
and keep every byte, so they are the only road (text/PathText.cpp, the one
place that builds such a path, is not checked).

The check reads each source file without its comments and the contents of
its string literals, learns which names the file (and its own header)
declares as wide strings (CString, std::wstring, std::wstring_view,
wxString, wchar_t pointers) or as paths, and fails on:
- a path's wide form taken through the locale: .wstring(), .generic_wstring();
- a path constructed (std::filesystem::path(x), fs::path{x}, path p(x),
  path p = x) from an expression that is wide: a wide literal L"...", a call
  that returns one (ToStdWstring, wc_str, t_str, GetPath, GetHistoryFile,
  wstring), or a name declared wide (also through a narrow conversion of
  the window library, such as utf8_string or ToStdString, which loses what
  PathFromWide keeps);
- a name declared as a path given a wide expression by =, += or /=, or a
  path joined with / to one;
- emplace_back or push_back of a wide expression into a vector of paths.
A name declared with another type too (in another function) is left alone,
and a conversion the text cannot show (a wide string passed straight to a
function that takes a path) compiles unseen: the check catches the common
forms, the review the rest.
"""
import pathlib
import re
import sys

CHECKED = ["text", "platform", "mesh", "textures", "relief", "document", "gl", "ui", "program", "tools"]
ALLOWED = {"text/PathText.cpp"}
SOURCE_SUFFIXES = {".h", ".hpp", ".cpp", ".cc"}

IDENT = r"[A-Za-z_][A-Za-z_0-9]*"
PATH_TYPE = r"(?:(?:std::)?(?:filesystem|fs)::)?path\b"
WIDE_TYPES = (r"(?:CString|(?:std::)?wstring(?:_view)?|wxString|(?:const\s+)?wchar_t\s*\*|wxChar\s*\*|"
              r"(?:std::)?(?:optional|vector)\s*<\s*(?:CString|(?:std::)?wstring|wxString)\s*>)")
WIDE_CALLS = r"(?:ToStdWstring|wc_str|t_str|GetPath|GetHistoryFile|GetFilename|GetFullPath|wstring)\s*\("
WIDE_LITERAL = r"\bL(?:\"|')"


def strip_comments_and_strings(text):
    text = re.sub(r"/\*.*?\*/", lambda m: re.sub(r"[^\n]", " ", m.group(0)), text, flags=re.S)
    text = re.sub(r"//[^\n]*", "", text)
    # A literal keeps its prefix (L"" is still wide) but loses its contents.
    text = re.sub(r'"(?:\\.|[^"\\\n])*"', '""', text)
    text = re.sub(r"'(?:\\.|[^'\\\n])*'", "''", text)
    return text


def declared_names(text, type_pattern):
    """Names the file declares with the type: variables, parameters, members."""
    pattern = re.compile(r"\b" + type_pattern + r"\s*(?:const\s*)?[&*]*\s*(" + IDENT + r")\s*(?=[;,=(){\[]|:(?!:)|$)",
                         re.M)
    return {m.group(1) for m in pattern.finditer(text)}


KEYWORDS = {"return", "else", "case", "new", "delete", "throw", "co_return", "co_yield", "goto", "using", "typedef",
            "sizeof", "do", "and", "or", "not", "operator", "const", "static", "auto"}


def names_of_other_types(text):
    """Names the file also declares with a type that is neither wide nor a path."""
    pattern = re.compile(r"\b([\w:]+(?:\s*<[^;(){}]*>)?)\s*(?:const\s*)?[&*]*\s+(" + IDENT + r")\s*(?=[;,=(){\[])")
    names = set()
    for match in pattern.finditer(text):
        kind = match.group(1)
        if kind in KEYWORDS or re.fullmatch(WIDE_TYPES, kind) or re.fullmatch(PATH_TYPE, kind):
            continue
        names.add(match.group(2))
    return names


def balanced(text, start):
    """The text from `start` (just after an opening bracket) to its closing one."""
    depth = 1
    for index in range(start, len(text)):
        if text[index] in "({[":
            depth += 1
        elif text[index] in ")}]":
            depth -= 1
            if depth == 0:
                return text[start:index]
    return text[start:]


def expression_after(text, start):
    """The expression from `start` to the end of its statement or argument."""
    depth = 0
    for index in range(start, len(text)):
        c = text[index]
        if c in "({[":
            depth += 1
        elif c in ")}]":
            if depth == 0:
                return text[start:index]
            depth -= 1
        elif c in ";," and depth == 0:
            return text[start:index]
    return text[start:]


# Calls that take a wide string and give something else: what they are
# given is not the expression's type.
CONVERSIONS = re.compile(r"\b(?:PathFromWide|PathFromUtf8|Utf8FromWide|CStringToUtf8|BytesFromWideKeepingInvalid|"
                         r"WideFromPath|Utf8FromPath)\s*\(")
# Questions asked of a wide string answer with something else.
QUESTIONS = re.compile(r"\b" + r"[A-Za-z_][A-Za-z_0-9]*" + r"\s*(?:\.|->)\s*(?:empty|size|length|IsEmpty|Len)\s*\(\s*\)")
# A parameter list (`path Name(const T& a, U b)`) declares a function.
PARAMETERS = re.compile(r"^\s*(?:const\s+)?[\w:<>]+(?:\s*<[^()]*>)?\s*[&*]*\s+" + IDENT + r"\s*(?:=[^,]*)?(?:,|$)")


def without_conversions(expression):
    expression = QUESTIONS.sub("answer", expression)
    while True:
        match = CONVERSIONS.search(expression)
        if not match:
            return expression
        inner = balanced(expression, match.end())
        expression = expression[: match.start()] + "converted" + expression[match.end() + len(inner) + 1:]


def is_wide(expression, wide_names):
    expression = without_conversions(expression)
    if re.search(WIDE_LITERAL, expression) or re.search(r"\b" + WIDE_CALLS, expression):
        return True
    # The expression's names, minus what a member access or a call makes of them.
    for match in re.finditer(r"(?<![.>:\w])(" + IDENT + r")\b(?!\s*(?:\(|::))", expression):
        if match.group(1) in wide_names:
            return True
    return False


def line_of(text, offset):
    return text.count("\n", 0, offset) + 1


def findings(text, header=""):
    """What the file's text does wrong; `header` is its own header's, whose members it uses."""
    declarations = text + "\n" + header
    path_names = declared_names(declarations, PATH_TYPE)
    # A name declared with another type too (in another function) is left alone.
    wide_names = declared_names(declarations, WIDE_TYPES) - path_names - names_of_other_types(declarations)
    found = []
    for match in re.finditer(r"\.\s*(?:generic_)?wstring\s*\(\s*\)", text):
        found.append((match.start(), "a path's wide form through the locale: " + match.group(0).strip()))
    # Constructions: path(x), path{x}, path name(x), path name{x}.
    for match in re.finditer(r"\b" + PATH_TYPE + r"(?:\s+" + IDENT + r")?\s*([({])", text):
        argument = balanced(text, match.end())
        if PARAMETERS.match(argument):
            continue
        if is_wide(argument, wide_names):
            found.append((match.start(), "a path built from a wide string: " + match.group(0) + argument.strip()))
    # Copy-initialisation: path name = x.
    for match in re.finditer(r"\b" + PATH_TYPE + r"\s+(" + IDENT + r")\s*=(?!=)", text):
        expression = expression_after(text, match.end())
        if is_wide(expression, wide_names):
            found.append((match.start(), "a path built from a wide string: " + match.group(0) + expression.strip()))
    # A path variable given or joined with a wide string.
    if path_names:
        names = "|".join(sorted(path_names, key=len, reverse=True))
        for match in re.finditer(r"(?<![.>:\w])(?:" + names + r")\s*(?:=(?!=)|\+=|/=|/(?![/*=]))", text):
            expression = expression_after(text, match.end())
            # The right operand alone, up to the next operator of a join.
            operand = re.split(r"\s/\s|\+", expression)[0]
            if is_wide(operand, wide_names):
                found.append((match.start(), "a path given a wide string: " + match.group(0) + operand.strip()))
    # Into a container of paths.
    for match in re.finditer(r"std::vector\s*<\s*" + PATH_TYPE + r"\s*>\s*(" + IDENT + r")", text):
        for call in re.finditer(r"\b" + re.escape(match.group(1)) + r"\s*\.\s*(?:emplace_back|push_back)\s*\(", text):
            argument = balanced(text, call.end())
            if is_wide(argument, wide_names):
                found.append((call.start(), "a path built from a wide string: " + call.group(0) + argument.strip()))
    return sorted((line_of(text, offset), message) for offset, message in found)


def check(root):
    failures = []
    for folder in CHECKED:
        base = root / folder
        if not base.is_dir():
            continue
        for path in sorted(base.rglob("*")):
            relative = path.relative_to(root).as_posix()
            if path.suffix not in SOURCE_SUFFIXES or relative in ALLOWED:
                continue
            text = strip_comments_and_strings(path.read_text(encoding="utf-8", errors="replace"))
            own_header = path.with_suffix(".h")
            header = ""
            if path.suffix != ".h" and own_header.is_file():
                header = strip_comments_and_strings(own_header.read_text(encoding="utf-8", errors="replace"))
            for number, message in findings(text, header):
                failures.append(f"{relative}:{number}: {message}")
    return failures


def main():
    root = pathlib.Path(sys.argv[1]) if len(sys.argv) > 1 else pathlib.Path(__file__).resolve().parent.parent
    failures = check(root)
    for failure in failures:
        print(failure)
    if failures:
        print(f"{len(failures)} conversion(s) between a wide string and a path through the locale; "
              "use PathFromWide and WideFromPath (text/PathText.h)")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
