#!/usr/bin/env bash
# Usage: scripts/run.sh [QT-OPTIONS...]   (the options go to the program, e.g. -platform xcb)
#
# Starts the program on the simulation camera with the IO-board simulator as its IO board, so
# that a person can watch and drive it. Installs what is missing and builds first, but only
# when a source, build file or script changed since the last start (the second start takes a
# few seconds).
#
# The program keeps its files in ./run (laid out from the factory defaults on the first start).
# Off the panel every system action is only logged. Without a display the screen is a virtual
# one of 1920 x 1080 that is itself a VNC server on 127.0.0.1 (Xvnc; display and port are
# printed); with one the program opens on $DISPLAY. Each step's result (OK or NG) is printed here as it happens;
# Ctrl+C stops the program, then the simulator and the screen: those two run in sessions of
# their own, so that the terminal's Ctrl+C cannot end them while the program is still saving.
#
# Drive the simulated machine while the program runs, from another terminal:
#   echo "in 0 1" >> run/iosim.cmd     # mould open (input terminal 1) high: a step starts
#                                      # (and, with the external trigger on, every simulation
#                                      # camera takes its next picture: run/iosim.trigger)
#   echo "in 0 0" >> run/iosim.cmd     # and low again
#   echo "out" >> run/iosim.cmd        # the outputs by name, answered in run/iosim.log
# and lose a simulation camera (here camera 2) and bring it back:
#   touch build/bin/Plugins/Cameras/simcamera/mould-b/unplugged
#   rm build/bin/Plugins/Cameras/simcamera/mould-b/unplugged
#
# Variables: MOULDMON_RUN_DIR (working folder, default ./run), BUILD_DIR (default ./build),
# MOULDMON_HEADLESS=1 (the VNC screen even when a display exists), MOULDMON_SKIP_BUILD=1
# (start what is built), MOULDMON_VNC_PORT (first port tried, default 5900).
set -euo pipefail
source "$(dirname "$0")/usage.sh"
usage_help "$@"
cd "$(dirname "$0")/.."
top=$(pwd)
build_dir=${BUILD_DIR:-build}
case "$build_dir" in /*) ;; *) build_dir="$top/$build_dir" ;; esac
bin="$build_dir/bin"
stamp="$build_dir/.run-built"

# --- install and build only when something changed ---
changed() {
    [ -x "$bin/mouldmon" ] && [ -f "$stamp" ] || return 0
    [ -n "$(find CMakeLists.txt cmake src plugins tools scripts -newer "$stamp" -print -quit)" ]
}
if [ "${MOULDMON_SKIP_BUILD:-0}" != "1" ] && changed; then
    bash scripts/install-deps.sh
    BUILD_DIR="$build_dir" bash scripts/build.sh
    touch "$stamp"
fi

work=${MOULDMON_RUN_DIR:-run}
mkdir -p "$work"
cd "$work"
work=$(pwd)

# --- everything started here is stopped on the way out, by its own process id, the program
# before what it uses ---
started=()
program=""
stop_process() {
    kill "$1" 2>/dev/null || true
    # Longer than the program's bounded statistics save before it stops (8 s).
    for _ in $(seq 120); do kill -0 "$1" 2>/dev/null || break; sleep 0.1; done
    kill -9 "$1" 2>/dev/null || true
}
cleanup() {
    # A second Ctrl+C must not cut the clean-up short and leave the screen behind.
    trap '' INT TERM
    trap - EXIT
    local pid
    for ((i = ${#started[@]} - 1; i >= 0; i--)); do
        pid=${started[i]}
        stop_process "$pid"
    done
}
stop_requested() {
    trap '' INT TERM
    echo
    echo "stopping"
    local status=0
    if [ -n "$program" ]; then
        stop_process "$program"
        wait "$program" 2>/dev/null || status=$?
        echo "the program ended (exit status $status)"
    fi
    exit "$status"
}
trap cleanup EXIT
trap stop_requested INT TERM

wait_for() {  # wait_for SECONDS COMMAND...: true once the command succeeds
    local tries=$(($1 * 10))
    shift
    for _ in $(seq "$tries"); do
        "$@" && return 0
        sleep 0.1
    done
    return 1
}
has_line() { grep -q "$1" "$2" 2>/dev/null; }

# --- the screen ---
headless=0
if [ -z "${DISPLAY:-}" ] || [ "${MOULDMON_HEADLESS:-0}" = "1" ]; then headless=1; fi
if [ "${QT_QPA_PLATFORM:-}" = "offscreen" ]; then headless=0; fi
if [ "$headless" = "1" ]; then
    # The VNC server is the X server itself (TigerVNC's Xvnc): what the program draws is what a
    # viewer gets, at once and whole, with no copier polling another screen. It takes a free
    # display and names it once it accepts clients; a port another server holds ends it, and
    # the next port is tried.
    first_port=${MOULDMON_VNC_PORT:-5900}
    port=""
    vnc_up() { test -s vnc.display || ! kill -0 "$vnc" 2> /dev/null; }
    for ((try = first_port; try < first_port + 20; try++)); do
        : > vnc.display
        setsid Xvnc -displayfd 3 -geometry 1920x1080 -depth 24 -nolisten tcp -rfbport "$try" \
            -localhost -interface 127.0.0.1 -SecurityTypes None -AlwaysShared \
            3> vnc.display > vnc.log 2>&1 &
        vnc=$!
        wait_for 10 vnc_up || true
        if test -s vnc.display && kill -0 "$vnc" 2> /dev/null; then
            started+=($vnc)
            port=$try
            break
        fi
        kill "$vnc" 2> /dev/null || true
        wait "$vnc" 2> /dev/null || true
        has_line 'Address already in use' vnc.log || break
    done
    if [ -z "$port" ]; then
        echo "the VNC screen did not start (see $work/vnc.log)" >&2
        exit 1
    fi
    export DISPLAY=":$(head -n 1 vnc.display)"
    echo "Screen: VNC on 127.0.0.1:$port (display $DISPLAY); for example 'vncviewer 127.0.0.1::$port'"
    echo "        (from another machine: ssh -L $port:127.0.0.1:$port this-machine first)"
fi

# --- the layout of the working folder, with demonstration areas for the pictures ---
"$bin/mouldmon-workdir-init" --demo "$work"

# --- the IO-board simulator, at a path that stays the same when it is started again ---
if [ -z "${MOULDMON_SERIAL:-}" ] && [ "${MOULDMON_ON_PANEL:-0}" != "1" ]; then
    : > iosim.cmd
    : > iosim.log
    # The mould-open input is wired to the simulation cameras' triggers through a file.
    tail -n 0 -f --pid=$$ iosim.cmd | setsid "$bin/mouldmon-iosim" --link "$work/iosim.tty" \
        --params "$work/PARAM.db" --trigger-file "$work/iosim.trigger" > iosim.log 2>&1 &
    started+=($!)
    if wait_for 10 has_line '^IO board simulator on ' iosim.log; then
        export MOULDMON_SERIAL="$work/iosim.tty"
        export MOULDMON_SIM_TRIGGER="$work/iosim.trigger"
        echo "IO board: the simulator; append commands to $work/iosim.cmd (e.g. 'in 0 1'),"
        echo "          output changes by name in $work/iosim.log"
    else
        echo "the IO-board simulator did not start; running without an IO board" >&2
    fi
fi

# --- the program; the camera plug-ins are found beside its executable ---
"$bin/mouldmon" "$@" &
program=$!
started+=($program)
echo "Program started (process $program). On the simulation camera it first asks whether"
echo "to clear the stored camera serial numbers: either answer goes on (Cancel keeps them)."
echo "Ctrl+C stops everything."

# Each step's result, and an alarm its timer released, from the program's log as it is written.
log=""
program_log() { compgen -G "cnt_net/workspace/log/LOG_*.$program.log"; }
# A program that refused its command line ends before it writes a log.
log_or_gone() { program_log > /dev/null || ! kill -0 "$program" 2> /dev/null; }
if wait_for 30 log_or_gone && program_log > /dev/null; then
    log=$(program_log | head -n 1)
    tail -n +1 -F --pid="$program" "$log" 2>/dev/null |
        sed -nu -e 's/.*Detection result: \(.*\)$/result: \1/p' \
            -e 's/.*NG alarm released by its timer: \(.*\)$/released by its timer: \1/p' \
            -e 's/.*\(Step [0-9]* of [0-9]* waits for camera .*\)$/\1/p' \
            -e 's/.*\(Step [0-9]* of [0-9]* runs: its cameras are back\)$/\1/p' \
            -e 's/.*\(user interface font: .*\)$/font: \1/p' &
    started+=($!)
elif kill -0 "$program" 2> /dev/null; then
    echo "no log of the program appeared; results are not shown here" >&2
fi

set +e
wait "$program"
status=$?
set -e
program=""
echo "the program ended (exit status $status)"
exit "$status"
