#!/usr/bin/env python3
"""Every box of the program is asked about its subject (dialogs::ask, notify or confirm of
src/widgets/question.h, or dialogs::askWithoutBlocking for a box shown without blocking): a box
whose answer acts on its own answers after its subject is gone, and the walk of the whole window
meets it only on the roads a seed happens to take. This fails, naming file and line, on every
box run or answered outside that mechanism anywhere in the source folder given:
  - a plain exec() of a box, or the dialog seam's exec without a subject;
  - the toolkit's static boxes (QMessageBox::warning, QInputDialog::getText, ...);
  - open() of a box, declared in the same file or in a header it includes (the shared boxes
    are global pointers declared in one);
  - a deed connected to a box's answer (its accepted, rejected or finished signal, or a signal
    its accept(), reject() or done() emits), as a box shown with show() or open() would have it;
  - a QEventLoop made to wait on a box's signal.

exec() of what is no box stays allowed: a QSqlQuery's statement and a QEventLoop, each declared
in the same file, and the event loops listed in LOOPS. The mechanism's own parts are listed in
TOOLKIT, each with the reason it answers for itself.

Usage: check_box_subjects.py [ROOT]   (ROOT holds src/; the project's by default)
"""
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

# The parts of the mechanism itself: (file, form) -> why it is no box without a subject.
TOOLKIT = {
    ("src/widgets/dialogseam.cpp", "QDialog::exec()"): "the seam runs the box it was handed",
    ("src/widgets/question.cpp", "a deed on QDialog::finished"): "askWithoutBlocking itself",
    ("src/widgets/warnbox.cpp", "a QEventLoop waiting on WarnBox::sigDown"):
        "the shared box's turn, ended by the caller's watch",
    ("src/app/writefailurenotice.cpp", "a deed on QDialog::finished"):
        "the notice marks read only the words that were on the box when it was confirmed",
    ("src/app/deraRazovi_commands.cpp", "a deed on PasswordBox::sigLoginLevel"):
        "notes the level of the box the same road asks with dialogs::ask",
    ("src/settings/wizardparawidget.cpp", "a deed on NetworkSettingDialog::saved"):
        "follows a save of the box the same road asks about its visit",
}

# Boxes of the toolkit; the classes the source derives from them are added.
DIALOGS = {"QDialog", "QMessageBox", "QInputDialog", "QFileDialog", "QColorDialog", "QFontDialog",
           "QProgressDialog", "QWizard", "QErrorMessage"}
ANSWERS = ("accepted", "rejected", "finished")
STATIC_BOX = re.compile(
    r"\b(QMessageBox|QInputDialog|QFileDialog|QColorDialog|QFontDialog)\s*::\s*"
    r"(information|warning|critical|question|about|aboutQt|get\w+)\s*\(")
CONNECT = re.compile(r"\bconnect\s*\(")
MEMBER_SIGNAL = re.compile(r"&\s*(?:\w+\s*::\s*)*?(\w+)\s*::\s*(\w+)\s*$")
STRING_SIGNAL = re.compile(r"SIGNAL\s*\(\s*(accepted|rejected)\s*\(\s*\)|SIGNAL\s*\(\s*finished\s*\(\s*int\s*\)")
OPEN = re.compile(r"\b(\w+)\s*(\.|->)\s*open\s*\(\s*\)")
ANSWER_EMITS = re.compile(r"\b(\w+)\s*::\s*(?:accept|reject|done)\s*\([^)]*\)\s*(?:override\s*)?\{")
EMIT = re.compile(r"\bemit\s+(\w+)\s*\(")
INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"', re.M)
CLASS = re.compile(r"\bclass\s+(\w+)\s*(?:final\s*)?:([^{;]*)\{")

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


def sources(root):
    for path in sorted((root / "src").rglob("*")):
        if path.suffix in (".cpp", ".h"):
            yield path.relative_to(root).as_posix(), without_comments_and_strings(
                path.read_text(encoding="utf-8"))


def includes(root):
    """rel -> the names of the project headers the file includes (as written, quoted)."""
    found = {}
    for path in sorted((root / "src").rglob("*")):
        if path.suffix in (".cpp", ".h"):
            text = path.read_text(encoding="utf-8")
            found[path.relative_to(root).as_posix()] = [
                pathlib.PurePosixPath(name).name for name in INCLUDE.findall(text)]
    return found


def headers_seen(rel, included, by_name):
    """The headers of the source folder that file rel includes, however deep."""
    seen, todo = [], list(included.get(rel, []))
    while todo:
        for header in by_name.get(todo.pop(), []):
            if header not in seen:
                seen.append(header)
                todo.extend(included.get(header, []))
    return seen


def class_bases(files):
    bases = {}
    for _, code in files:
        for m in CLASS.finditer(code):
            bases[m.group(1)] = re.findall(r"\b(\w+)\s*(?:,|$)", m.group(2).strip())
    return bases


def derived(classes, bases):
    """The classes and every class the source derives from one of them, however deep."""
    found = set(classes)
    while True:
        more = {name for name, of in bases.items() if name not in found and found & set(of)}
        if not more:
            return found
        found |= more


def body(text, brace):
    """The text of the block whose "{" is at brace."""
    depth = 0
    for i in range(brace, len(text)):
        depth += {"{": 1, "}": -1}.get(text[i], 0)
        if depth == 0:
            return text[brace:i + 1]
    return text[brace:]


def answer_signals(files, boxes, bases):
    """(class, signal) of what a box's accept() or done() emits: its answer, as a signal of
    that box and of every box derived from it."""
    found = set()
    for _, code in files:
        for m in ANSWER_EMITS.finditer(code):
            if m.group(1) in boxes:
                for signal in EMIT.findall(body(code, m.end() - 1)):
                    found |= {(cls, signal) for cls in derived({m.group(1)}, bases)}
    return found


def boxes_without_subject(root):
    files = list(sources(root))
    bases = class_bases(files)
    boxes = derived(DIALOGS, bases)
    answers = answer_signals(files, boxes, bases)
    code_of = dict(files)
    included = includes(root)
    by_name = {}
    for rel, _ in files:
        if rel.endswith(".h"):
            by_name.setdefault(pathlib.PurePosixPath(rel).name, []).append(rel)
    found = []
    for rel, code in files:
        def report(pos, form):
            if (rel, form) not in TOOLKIT:
                found.append((rel, code.count("\n", 0, pos) + 1, form))

        for m in CALL.finditer(code):
            line_start = code.rfind("\n", 0, m.start()) + 1
            line_end = code.find("\n", m.end())
            if DECLARATION.search(code[line_start:line_end if line_end >= 0 else None]):
                continue
            receiver, op = m.group(1), m.group(2)
            call = (receiver + op if receiver else "") + "exec"
            if (rel, call) in LOOPS or (receiver and op == "." and declared_as(code, receiver, NOT_BOXES)):
                continue
            report(m.start(), call + "()")
        for m in SEAM.finditer(code):
            if len(arguments(code, m.end() - 1)) < 2:
                report(m.start(), "dialogs::exec(box)")
        for m in STATIC_BOX.finditer(code):
            report(m.start(), "%s::%s()" % (m.group(1), m.group(2)))
        for m in OPEN.finditer(code):
            if any(declared_as(text, m.group(1), sorted(boxes))
                   for text in [code] + [code_of[h] for h in headers_seen(rel, included, by_name)]):
                report(m.start(), "open() of a box")
        for m in CONNECT.finditer(code):
            args = arguments(code, m.end() - 1)
            if len(args) < 3:
                continue
            if STRING_SIGNAL.search(args[1]):
                report(m.start(), "a deed on %s" % re.sub(r"\s+", "", args[1]))
                continue
            signal = MEMBER_SIGNAL.search(args[1])
            if not signal or signal.group(1) not in boxes:
                continue
            name = "%s::%s" % signal.groups()
            target = args[2].lstrip("&").strip()
            if re.fullmatch(r"\w+", target) and declared_as(code, target, ["QEventLoop"]):
                report(m.start(), "a QEventLoop waiting on " + name)
            elif signal.group(2) in ANSWERS or signal.groups() in answers:
                report(m.start(), "a deed on " + name)
    return sorted(found)


def main():
    if any(a in ("-h", "--help") for a in sys.argv[1:]):
        print(__doc__.strip())
        return 0
    if len(sys.argv) > 2 or (len(sys.argv) == 2 and sys.argv[1].startswith("-")):
        print("usage: check_box_subjects.py [ROOT]", file=sys.stderr)
        return 2
    root = pathlib.Path(sys.argv[1]) if len(sys.argv) > 1 else pathlib.Path(__file__).resolve().parents[2]
    found = boxes_without_subject(root)
    for rel, line, call in found:
        print("%s:%d: %s runs a box without a subject: ask it with dialogs::ask, notify, confirm"
              " or askWithoutBlocking" % (rel, line, call))
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
