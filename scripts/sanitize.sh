#!/usr/bin/env bash
# Builds the project into ./build-asan (or $SANITIZE_BUILD_DIR) with AddressSanitizer and
# UndefinedBehaviorSanitizer and runs every test under them; the first fault stops its test.
# Usage:
#   scripts/sanitize.sh               configure, build, test
#   scripts/sanitize.sh --configure   configure only (scripts/test.sh builds it beside ./build)
#   scripts/sanitize.sh --test [...]  test an existing build; further arguments go to ctest
set -euo pipefail
source "$(dirname "$0")/usage.sh"
case ${1:-} in
    "") ;;
    --configure) usage_help "$@" && [ $# -eq 1 ] || usage_refuse "unexpected argument '$2'" ;;
    --test) usage_help "$@" ;;
    *) usage_help "$@" && usage_refuse "unknown option '$1'" ;;
esac
cd "$(dirname "$0")/.."
root=$PWD
build_dir=${SANITIZE_BUILD_DIR:-build-asan}
mode=${1:-all}
[ $# -gt 0 ] && shift

if [ "$mode" = all ] || [ "$mode" = --configure ]; then
    # Benchmarks are left out: the normal build compiles them, and ctest does not run them.
    # Line tables are all a sanitizer report needs.
    cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMOULDMON_SANITIZE=ON \
        -DMOULDMON_BUILD_BENCH=OFF -DMOULDMON_LINE_TABLES=ON >/dev/null
fi
if [ "$mode" = all ]; then
    cmake --build "$build_dir" -j"${JOBS:-$(nproc)}"
fi
if [ "$mode" = all ] || [ "$mode" = --test ]; then
    # Child processes (the program, the tools) inherit these settings. intercept_tls_get_addr=0:
    # the runtime of GCC 12 takes a dynamic TLS block that happens to start 16 bytes past a page
    # boundary for an old glibc header and reads the words before it, so the leak check at the
    # end of a test that passed now and then dies with "Tracer caught signal 11".
    # fast_unwind_on_malloc=0: the leak suppressions need whole stacks through the system's Qt
    # (scripts/lsan.supp), and the full unwinder costs time with each frame: twelve frames keep
    # every suppressed frame (the deepest lies six below the allocation) and make a test with
    # many widgets twice as fast as the thirty of the default.
    export ASAN_OPTIONS="halt_on_error=1:detect_leaks=1:fast_unwind_on_malloc=0:malloc_context_size=12:check_initialization_order=1:detect_stack_use_after_return=1:intercept_tls_get_addr=0"
    export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
    export LSAN_OPTIONS="suppressions=$root/scripts/lsan.supp:print_suppressions=0"
    export QT_QPA_PLATFORM=offscreen
    cd "$build_dir"
    # The end-to-end tests drive the whole window on real timers and wait for states that last
    # only as long as those timers; several times slower under the sanitizers, they run one at
    # a time after the others, so that no neighbour starves their timers.
    whole='e2e$|^test_httpapi$'
    # --timeout reaches only the tests without a limit of their own: the others have theirs
    # from cmake/MouldMon.cmake, longer in this build than in the normal one.
    if [ $# -gt 0 ]; then
        ctest --output-on-failure -j"${JOBS:-$(nproc)}" --timeout 900 "$@"
    else
        ctest --output-on-failure -j"${JOBS:-$(nproc)}" --timeout 900 -E "$whole"
        ctest --output-on-failure -j1 --timeout 900 -R "$whole"
    fi
fi
