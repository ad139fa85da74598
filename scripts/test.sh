#!/usr/bin/env bash
# Installs what is missing, builds everything twice (normal, and with AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs every test in both builds (headless). JOBS=N caps the
# parallel jobs (default: every core).
# Usage: scripts/test.sh
set -euo pipefail
source "$(dirname "$0")/usage.sh"
usage_read 0 "$@"
cd "$(dirname "$0")/.."
# The mount-namespace and network-lab tests skip where they cannot run; in CI a skip would pass
# for a success, so CI stops here unless it can run them.
if [ "${CI:-}" = true ]; then
    if [ "$(id -u)" -ne 0 ]; then
        echo "scripts/test.sh: CI=true needs root: the mount-namespace and network-lab tests" \
            "would skip (running as $(id -un))" >&2
        exit 1
    fi
    if ! unshare -n -m true 2>/dev/null; then
        echo "scripts/test.sh: CI=true needs network and mount namespaces (unshare -n -m true" \
            "failed): the mount-namespace and network-lab tests would skip" >&2
        exit 1
    fi
fi
bash scripts/install-deps.sh
# Every Python module a test uses, imported before the tests run: with the system's python,
# which the packages above fill, and with the python3 the tests find on PATH when that is
# another one (a pyenv build does not see Debian's python3-* packages).
/usr/bin/python3 scripts/check-python-imports.py
path_python=$(command -v python3)
if [ "$(readlink -f "$path_python")" != "$(readlink -f /usr/bin/python3)" ]; then
    python3 scripts/check-python-imports.py --path-python
fi
build_dir=${BUILD_DIR:-build}
sanitize_dir=${SANITIZE_BUILD_DIR:-build-asan}
cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=${BUILD_TYPE:-RelWithDebInfo} -DMOULDMON_LINE_TABLES=ON \
    >/dev/null
SANITIZE_BUILD_DIR=$sanitize_dir bash scripts/sanitize.sh --configure
# Both builds draw on one pool of jobs (make's job server): neither waits for the other, and
# the machine is not asked for more than it has.
build_start=$SECONDS
make -j"${JOBS:-$(nproc)}" -f - <<MAKE
all: normal sanitized
normal:
	+cmake --build "$build_dir"
sanitized:
	+cmake --build "$sanitize_dir"
MAKE
# Each test run below says its own time ("Total Test time").
echo "scripts/test.sh: both builds took $((SECONDS - build_start)) s"
# ctest passes a run with skipped tests; in CI a skipped test fails the run.
ctest_log=$(mktemp)
trap 'rm -f "$ctest_log"' EXIT
{
    (cd "$build_dir" && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j"${JOBS:-$(nproc)}" --timeout 600)
    SANITIZE_BUILD_DIR=$sanitize_dir bash scripts/sanitize.sh --test
} 2>&1 | tee "$ctest_log"
if [ "${CI:-}" = true ] && grep -q '\*\*\*Skipped' "$ctest_log"; then
    echo "scripts/test.sh: tests were skipped:" >&2
    grep '\*\*\*Skipped' "$ctest_log" >&2
    exit 1
fi
