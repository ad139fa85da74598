#!/usr/bin/env bash
# The run command as a newcomer uses it, without a display: scripts/run.sh starts its screen as
# a VNC server on 127.0.0.1, a VNC client we did not write (vncsnapshot) takes pictures of it,
# each of which must be what the X screen itself shows at that moment (also right after the
# question goes), the simulated-camera question is answered on that screen, and one OK and one
# NG step are driven through the IO-board simulator's command file; both results must appear in the
# run command's own output, and the simulator must name the outputs it drives.
#
# Two runs on one working folder: the first with the clean picture only (the demonstration
# areas take it as their template, so the step passes), the second with the fault picture
# only (the step fails), its alarm released by its timer after a second (nothing inspected:
# no second result). The pictures go to $BUILD_DIR/screenshots for a person to look at.
set -euo pipefail
rc_source=$(cd "$(dirname "$0")/../.." && pwd)
rc_build=${BUILD_DIR:?BUILD_DIR names the build folder}
source "$rc_source/tests/support/runcommand.sh"
rc_require_tools

rc_tmp=$(mktemp -d)
rc_work="$rc_tmp/work"
rc_runner=""
trap rc_cleanup EXIT

pictures="$rc_build/bin/Plugins/Cameras/simcamera/mould-a/grey"
shots="$rc_build/screenshots"
results=()
run_once() {  # run_once NAME PICTURE EXPECTED-RESULT
    local name=$1 picture=$2 expected=$3
    rc_context="$name run"
    mkdir -p "$rc_tmp/pictures-$name/mould-a/grey"
    cp "$pictures/$picture" "$rc_tmp/pictures-$name/mould-a/grey/"
    export MOULDMON_SIM_PICTURES="$rc_tmp/pictures-$name"
    rc_start "$rc_tmp/run-$name.out"
    rc_answer_question "$shots/question-$name.jpg"
    rc_snapshot "$shots/answered-$name.jpg"
    rc_drive_until_result
    rc_step "checking the results"
    rc_has_line "^result: step [0-9] of [0-9] $expected" "$rc_out" ||
        rc_fail "$name: no $expected result in the run command's output"
    if [ "$expected" = NG ]; then
        rc_wait_for 20 rc_has_line '^released by its timer: step [0-9] of [0-9]$' "$rc_out" ||
            rc_fail "$name: the timed release is not in the run command's output"
        # Only what follows the release: on a loaded machine a slow first result may have been
        # driven by a second edge, which is no result of the release.
        ! sed -n '/^released by its timer: /,$p' "$rc_out" | grep -q '^result: ' ||
            rc_fail "$name: the release has a result"
    fi
    rc_snapshot "$shots/main-$name.jpg"
    rc_has_line "^OUT3 Alrm: " "$rc_work/iosim.log" || rc_fail "$name: the alarm output is not named"
    rc_stop
    results+=("$(grep '^result: ' "$rc_out")")
}

run_once ok 01-open.png OK
# The timed release on, after 1 s (tenths of a second), in the folder the first run laid out.
python3 - "$rc_work/PARAM.db" << 'EOF'
import sqlite3, sys
db = sqlite3.connect(sys.argv[1])
row = db.execute("SELECT value FROM sysparam WHERE name = 'system9'").fetchone()[0].split()
row[10:12] = ["1", "10"]  # moldNGTimedRelease, output4Pulse
db.execute("UPDATE sysparam SET value = ? WHERE name = 'system9'", (" ".join(row),))
db.commit()
EOF
run_once ng 03-part-left.png NG
printf '%s\n' "${results[@]}"
echo "run command: OK and NG seen, pictures in $shots"
