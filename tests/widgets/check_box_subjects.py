#!/usr/bin/env python3
"""Every box of the program is asked about its subject (dialogs::ask, notify or confirm of
src/widgets/question.h): a box run with a plain exec() answers after its subject is gone, and
the walk of the whole window meets it only on the roads a seed happens to take. This fails on
every box run outside the toolkit (src/widgets) with exec(), or through the dialog seam without
a subject, naming its file and line.

exec() of what is no box stays allowed: a QSqlQuery's statement and a QEventLoop, each declared
in the same file, and the event loops listed in LOOPS."""
import pathlib
import re
import sys

# The event loops of the application and of threads: (file, the call as written).
LOOPS = {
    ("src/app/startup.cpp", "QApplication::exec"),
    ("src/camsdk/sdkhost.cpp", "app.exec"),
    ("src/modbus/modbusserver.cpp", "exec"),  # the server thread's own loop
}
NOT_BOXES = ("QSqlQuery", "QEventLoop")

CALL = re.compile(r"(?:\b(\w+)\s*(\.|->|::)\s*)?\bexec\s*\(\s*\)")
DECLARATION = re.compile(r"\bint\s+(?:\w+::)?exec\s*\(\s*\)")
SEAM = re.compile(r"\bdialogs::exec\s*\(")
CODE = re.compile(r'//[^\n]*|/\*.*?\*/|"(?:\\.|[^"\\\n])*"|\'(?:\\.|[^\'\\\n])*\'', re.S)


def without_comments_and_strings(text):
    # Keeps the line breaks, so that line numbers stay right.
    return CODE.sub(lambda m: "\n" * m.group(0).count("\n") if m.group(0)[0] == "/" else '""', text)


def arguments(text, start):
    """The top-level arguments of the call whose "(" is at start."""
    depth, args, current = 0, [], ""
    for ch in text[start:]:
        if ch in "([{":
            depth += 1
            if depth == 1:
                continue
        elif ch in ")]}":
            depth -= 1
            if depth == 0:
                return args + [current.strip()]
        elif ch == "," and depth == 1:
            args.append(current.strip())
            current = ""
            continue
        current += ch
    return args


def declared_as(text, name, types):
    return re.search(r"\b(?:%s)\b[\s&*]*(?:\w+\s*,\s*)*%s\b" % ("|".join(types), re.escape(name)), text)


def boxes_without_subject(root):
    found = []
    for path in sorted((root / "src").rglob("*")):
        if path.suffix not in (".cpp", ".h") or (root / "src" / "widgets") in path.parents:
            continue
        rel = path.relative_to(root).as_posix()
        code = without_comments_and_strings(path.read_text(encoding="utf-8"))
        for m in CALL.finditer(code):
            line_start = code.rfind("\n", 0, m.start()) + 1
            line_end = code.find("\n", m.end())
            if DECLARATION.search(code[line_start:line_end if line_end >= 0 else None]):
                continue
            receiver, op = m.group(1), m.group(2)
            call = (receiver + op if receiver else "") + "exec"
            if (rel, call) in LOOPS or (receiver and op == "." and declared_as(code, receiver, NOT_BOXES)):
                continue
            found.append((rel, code.count("\n", 0, m.start()) + 1, call + "()"))
        for m in SEAM.finditer(code):
            if len(arguments(code, m.end() - 1)) < 2:
                found.append((rel, code.count("\n", 0, m.start()) + 1, "dialogs::exec(box)"))
    return sorted(found)


def main():
    root = pathlib.Path(sys.argv[1]) if len(sys.argv) > 1 else pathlib.Path(__file__).resolve().parents[2]
    found = boxes_without_subject(root)
    for rel, line, call in found:
        print("%s:%d: %s runs a box without a subject: ask it with dialogs::ask, notify or confirm"
              % (rel, line, call))
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
