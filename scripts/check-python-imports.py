#!/usr/bin/env python3
"""Imports every Python module that a test, tool or benchmark uses, before the tests run.

The modules are read from the Python files under tests/, tools/, bench/ and scripts/ and from
the Python scripts embedded in the C++ tests (lines of `import x` or `from x import y`). A
module that cannot be imported is named with the Debian package that usually brings it, and
the check fails: a test must not find out on its own, on a machine that has only what
scripts/install-deps.sh installs.

The tests start most scripts with `python3` from PATH, which on a machine with its own Python
build (pyenv, say) is not Debian's and does not see Debian's python3-* packages. So the check
runs twice: with /usr/bin/python3, which must import everything, and with `--path-python` under
the PATH's python3, which must import everything but the modules that the tests only ever
import through /usr/bin/python3 (DEBIAN_PYTHON_ONLY).
"""
import argparse
import ast
import importlib
import pathlib
import re
import sys

ROOT = pathlib.Path(__file__).resolve().parent.parent
FOLDERS = ("tests", "tools", "bench", "scripts")
EMBEDDED = re.compile(r'^\s*"?\s*(?:import\s+([\w., ]+)|from\s+([\w.]+)\s+import\s)')

# Modules whose Debian package is not simply python3-<name>.
PACKAGES = {"serial": "python3-serial", "serial_asyncio": "python3-serial-asyncio"}

# Top-level modules that only scripts started with /usr/bin/python3 import (the test that runs
# them names that interpreter), so only Debian's python must import them.
DEBIAN_PYTHON_ONLY = {"pymodbus"}


def modules_of_python(path, found):
    tree = ast.parse(path.read_text(encoding="utf-8"), str(path))
    for node in ast.walk(tree):
        if isinstance(node, ast.Import):
            for alias in node.names:
                found.setdefault(alias.name, set()).add(path)
        elif isinstance(node, ast.ImportFrom) and node.level == 0 and node.module:
            found.setdefault(node.module, set()).add(path)


def modules_of_embedded(path, found):
    for line in path.read_text(encoding="utf-8", errors="replace").splitlines():
        match = EMBEDDED.match(line)
        if not match:
            continue
        names = match.group(1).split(",") if match.group(1) else [match.group(2)]
        for name in names:
            name = name.strip().split(" as ")[0].strip()
            if re.fullmatch(r"[A-Za-z_][\w.]*", name):
                found.setdefault(name, set()).add(path)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--path-python", action="store_true",
                        help="the check under the PATH's python3: every module but those "
                        "that only Debian's python3 imports")
    path_python = parser.parse_args().path_python
    skipped = DEBIAN_PYTHON_ONLY if path_python else set()
    found = {}
    local = set()
    for folder in FOLDERS:
        for path in sorted((ROOT / folder).rglob("*")):
            if "build" in path.relative_to(ROOT).parts[:1]:
                continue
            if path.suffix == ".py":
                local.add(path.stem)
                modules_of_python(path, found)
            elif path.suffix in (".cpp", ".h"):
                modules_of_embedded(path, found)
    failed = []
    for module in sorted(found):
        if module.split(".")[0] in local | skipped:
            continue
        try:
            importlib.import_module(module)
        except Exception as error:  # any failure to import is a missing or broken package
            top = module.split(".")[0]
            package = PACKAGES.get(top, "python3-" + top.replace("_", "-"))
            users = ", ".join(sorted(str(p.relative_to(ROOT)) for p in found[module]))
            failed.append(f"  {module} ({package}?): {error}; used by {users}")
    checked = len([m for m in found if m.split(".")[0] not in local | skipped])
    if failed:
        print("Python modules the tests need cannot be imported:")
        print("\n".join(failed))
        if path_python:
            print(f"{sys.executable} does not see Debian's python3-* packages: keep these scripts")
            print("to the standard library, or start them with /usr/bin/python3 and name the module")
            print("in DEBIAN_PYTHON_ONLY of scripts/check-python-imports.py.")
        else:
            print("scripts/install-deps.sh must install them.")
        return 1
    print(f"python modules: {checked} imported by {sys.executable}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
