#!/usr/bin/env bash
# Installs what is missing, builds, and starts the program on the simulation camera with the
# IO-board simulator as its IO board. The program keeps its files in ./run (laid out from the
# factory defaults on the first start). Off the panel every system action is only logged;
# without a display the program runs under Xvfb.
#
# Drive the simulated machine while the program runs, from another terminal:
#   echo "in 0 1" >> run/iosim.cmd     # mould open (input terminal 1) high
#   echo "in 0 0" >> run/iosim.cmd     # and low again
#   echo "out" >> run/iosim.cmd        # outputs, answered in run/iosim.log
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh
top=$(pwd)
bin="$top/build/bin"
mkdir -p run
"$bin/mouldmon-workdir-init" --demo run
cd run

simulator=""
if [ -z "${MOULDMON_SERIAL:-}" ] && [ "${MOULDMON_ON_PANEL:-0}" != "1" ]; then
    : > iosim.cmd
    tail -n 0 -f iosim.cmd | "$bin/mouldmon-iosim" > iosim.log 2>&1 &
    simulator=$!
    trap 'kill "$simulator" 2>/dev/null || true; pkill -P $$ tail 2>/dev/null || true' EXIT
    for _ in $(seq 50); do
        path=$(sed -n 's/^IO board simulator on //p' iosim.log | head -n 1)
        [ -n "$path" ] && break
        sleep 0.1
    done
    if [ -n "${path:-}" ]; then
        export MOULDMON_SERIAL="$path"
        echo "IO-board simulator on $path: append commands to run/iosim.cmd (e.g. 'in 0 1'),"
        echo "answers and output changes appear in run/iosim.log"
    else
        echo "the IO-board simulator did not start; running without an IO board" >&2
    fi
fi

# The program finds its camera plug-ins beside its executable.
if [ -z "${DISPLAY:-}" ] && [ "${QT_QPA_PLATFORM:-}" != "offscreen" ]; then
    xvfb-run -a -s "-screen 0 1920x1080x24" "$bin/mouldmon" "$@"
else
    "$bin/mouldmon" "$@"
fi
