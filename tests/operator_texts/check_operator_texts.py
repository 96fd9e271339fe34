#!/usr/bin/env python3
"""Finds English in the texts that the programs and the runtime compose for the operator.

Scans the C++ sources of the runtime, the installer and the import library (tests, the stand-in,
the launcher's command-line usage and the scripted interaction for tests left out) for string
literals in the statements that build what an operator reads: message boxes, error texts
(Fail, FailTrans, error = ..., lastError = ..., fault = {...}, SQLErrText = ...), status
lines (SetText of a control) and window titles. A literal that holds two or more English words in
a row is reported, unless it is a name listed below (product and format names, texts the
product's own documents quote). Exit status 1 when anything is found, with file:line and the text.

Usage: check_operator_texts.py REPO_ROOT
"""
import os
import re
import sys

SCANNED = ["runtime", "installer", "libfoundation", "dataadmin"]
SKIPPED_PARTS = {"tests", "launcher"}
SKIPPED_FILES = {"scripted_interaction.cpp", "scripted_interaction.h"}

# Statements whose string literals reach the operator.
OPERATOR_CALLS = re.compile(
    r"\b(MessageBox|Fail|FailTrans|SetTitle|SetText|SetTag)\s*\("
    r"|\b(error|\*error|lastError|d\.lastError|ls_err|SQLErrText|message)\s*=(?!=)"
    r"|\bfault\s*=\s*\{"
    r"|\bk[A-Z]\w*Text\s*=")

# Names that are not English prose: product, driver and file-format names, and texts that the
# product's documents quote exactly (kept as they are).
ALLOWED = [
    "Microsoft SQL Server", "SQL Server", "MSS Microsoft SQL Server", "dBASE III", "FreeTDS ODBC",
    "ODBC", "TCP/IP", "XML", "Select Database File", "Key=Value", "SELECT INTO", "for all",
]

# Texts known and kept: the command-line usage errors of dbsetup and of the import application
# (written, like their --help, for whoever scripts an unattended run, in the options' own words)
# and an internal diagnostic of the template check that the installer replaces with its own box.
KNOWN_FILES = {"installer/command_line.cpp", "dataadmin/import_command.cpp"}
KNOWN = {
    ("installer/template_check.cpp", "RESTORE FILELISTONLY returned no LogicalName column"),
}

STRING = re.compile(r'(?:u8)?"((?:[^"\\]|\\.)*)"')
ENGLISH = re.compile(r"[A-Za-z]{2,}(?:[ \-][A-Za-z]{2,})+")


def statements(text):
    """Yields (line number, statement text) for each statement that starts an operator call."""
    lines = text.split("\n")
    i = 0
    while i < len(lines):
        line = lines[i]
        code = line.split("//", 1)[0] if '"' not in line else line
        if OPERATOR_CALLS.search(code) and not code.lstrip().startswith("//"):
            start = i
            statement = line
            # A statement ends with ';' (or '{' / '}' for an initialiser) outside a string.
            while not re.search(r"[;{}]\s*$", STRING.sub('""', statement)) and i + 1 < len(lines):
                i += 1
                statement += "\n" + lines[i]
            yield start + 1, statement
        i += 1


def english_in(literal):
    found = []
    rest = literal
    for name in sorted(ALLOWED, key=len, reverse=True):
        rest = rest.replace(name, " ")
    rest = re.sub(r"\\[nrt]", " ", rest)
    for match in ENGLISH.finditer(rest):
        found.append(match.group(0))
    return found


def scan(root):
    faults = []
    for top in SCANNED:
        for folder, dirs, files in os.walk(os.path.join(root, top)):
            dirs[:] = [d for d in dirs if d not in SKIPPED_PARTS]
            for name in sorted(files):
                if not name.endswith((".cpp", ".h")) or name in SKIPPED_FILES:
                    continue
                path = os.path.join(folder, name)
                with open(path, encoding="utf-8") as source:
                    text = source.read()
                for number, statement in statements(text):
                    for literal in STRING.findall(statement):
                        for words in english_in(literal):
                            where = os.path.relpath(path, root)
                            if where in KNOWN_FILES or (where, words) in KNOWN:
                                continue
                            faults.append(f"{os.path.relpath(path, root)}:{number}: \"{words}\" in \"{literal}\"")
    return faults


def self_check():
    """The scanner must see English where an operator would read it, and nowhere else."""
    sample = (
        'hostrt::MessageBox(title, "Cannot write file " + path);\n'
        '  d.lastError =\n      "文件 " + path + " cannot be read";\n'
        '  fault = {line, "a value is not GBK text"};\n'
        '  hostrt::MessageBox(title, "数据导入完成!");\n'
        '  std::string sql = "SELECT * FROM " + table;\n'
        '  error = "不是 dBASE III 文件";\n')
    found = [words for _, st in statements(sample) for lit in STRING.findall(st)
             for words in english_in(lit)]
    expected = ["Cannot write file", "cannot be read", "value is not GBK text"]
    if found != expected:
        print(f"scanner self-check failed: found {found}, expected {expected}")
        return False
    return True


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else "."
    if not self_check():
        return 1
    faults = scan(root)
    for fault in faults:
        print(fault)
    print(f"{len(faults)} English operator text(s)")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
