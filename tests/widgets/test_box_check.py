#!/usr/bin/env python3
"""The box check finds every form of a box run or answered outside the question mechanism in a
planted sample (boxcheck/src, never built), names each with its line, finds nothing else there,
and fails on it."""
import pathlib
import re
import subprocess
import sys

HERE = pathlib.Path(__file__).resolve().parent
sys.path.insert(0, str(HERE))
import check_box_subjects  # noqa: E402

SAMPLE = HERE / "boxcheck"
MARK = re.compile(r"//\s*finds:\s*(.+?)\s*$")


def planted():
    marks = []
    for path in sorted((SAMPLE / "src").rglob("*")):
        if path.suffix not in (".cpp", ".h"):
            continue
        rel = path.relative_to(SAMPLE).as_posix()
        for number, line in enumerate(path.read_text(encoding="utf-8").splitlines(), 1):
            m = MARK.search(line)
            if m:
                marks.append((rel, number, m.group(1)))
    return sorted(marks)


def main():
    expected = planted()
    found = check_box_subjects.boxes_without_subject(SAMPLE)
    failures = []
    if len(expected) < 10:
        failures.append("the sample lost its planted boxes: %d" % len(expected))
    for item in sorted(set(expected) - set(found)):
        failures.append("not found: %s:%d: %s" % item)
    for item in sorted(set(found) - set(expected)):
        failures.append("found in error: %s:%d: %s" % item)
    run = subprocess.run([sys.executable, str(HERE / "check_box_subjects.py"), str(SAMPLE)],
                         capture_output=True, text=True)
    if run.returncode != 1 or run.stdout.count("\n") != len(expected):
        failures.append("the check did not fail on the sample, exit %d:\n%s" % (run.returncode, run.stdout))
    for f in failures:
        print(f)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
