#!/usr/bin/env bash
# The statistics survive a stop by signal, as a person uses the run command: statistics on,
# one step judged through the IO-board simulator, the run command stopped at once (SIGTERM,
# as Ctrl+C's clean-up sends it, long before the minute's save), started again and stopped
# again; then stopped by Ctrl+C to its whole process group, as a terminal sends it, and once
# with its screen gone before the program (a panel's shutdown ends the X server and the
# program together). Each time the running day in "ResStatistics.db" holds as many step
# results as count.ini has counted, the log says the day was saved before the stop, and it
# has no database connection removed while still in use.
set -euo pipefail
rc_source=$(cd "$(dirname "$0")/../.." && pwd)
rc_build=${BUILD_DIR:?BUILD_DIR names the build folder}
source "$rc_source/tests/support/runcommand.sh"
rc_require_tools
command -v sqlite3 > /dev/null || rc_fail "sqlite3 is missing (scripts/install-deps.sh installs it)"

rc_tmp=$(mktemp -d)
rc_work="$rc_tmp/work"
rc_runner=""
trap rc_cleanup EXIT

# Step results of camera 1 in the running day and in count.ini.
stored_steps() {
    sqlite3 "$rc_work/ResStatistics.db" \
        "select value1 from resstatistics where name='statisticsjson'" |
        python3 -c '
import json, sys
text = sys.stdin.read()
day = json.loads(text) if text.strip() else {"groups": []}
print(sum(sum(record["OK"]) + sum(record["NG"])
          for group in day["groups"] for camera in group["datas"] if camera["cameraID"] == 0
          for record in camera["data"] if record["detectID"] >= 0))'
}
counted_steps() {
    sed -n 's/^list_allnum=\([0-9]*\).*/\1/p' "$rc_work/cnt_net/workspace/count.ini"
}

# The clean picture only: every step passes, so no retry is waiting at the stop.
mkdir -p "$rc_tmp/pictures/mould-a/grey"
cp "$rc_build/bin/Plugins/Cameras/simcamera/mould-a/grey/01-open.png" "$rc_tmp/pictures/mould-a/grey/"
export MOULDMON_SIM_PICTURES="$rc_tmp/pictures"
"$rc_build/bin/mouldmon-workdir-init" --demo "$rc_work" > /dev/null 2>&1
# Statistics on: token 10 of row system6.
row=$(sqlite3 "$rc_work/PARAM.db" "select value from sysparam where name='system6'")
row=$(echo "$row" | awk '{ $10 = 1; print }')
sqlite3 "$rc_work/PARAM.db" "update sysparam set value='$row' where name='system6'"

for run in first second ctrl-c screen-first; do
    rc_start "$rc_tmp/run-$run.out"
    rc_answer_question
    rc_drive_until_result
    case $run in
        ctrl-c)
            # The terminal's Ctrl+C must not reach the screen while the program saves.
            [ "$(ps -o pgid= -p "$rc_vnc")" != "$(ps -o pgid= -p "$rc_runner")" ] ||
                rc_fail "the screen is in the run command's process group"
            rc_stop ctrl-c
            rc_has_line '^the program ended (exit status 0)' "$rc_out" ||
                rc_fail "Ctrl+C: the run command reports no clean stop of the program"
            ;;
        screen-first)
            kill -TERM "$rc_vnc"
            rc_wait_for 30 eval '! kill -0 "$rc_program" 2> /dev/null' ||
                rc_fail "the program did not end with its screen"
            rc_stop
            ;;
        *) rc_stop ;;
    esac
    rc_has_line 'the running day is saved before the stop' "$rc_log" ||
        rc_fail "$run run: no save of the statistics before the stop in $rc_log"
    ! rc_has_line 'removeDatabase' "$rc_log" ||
        rc_fail "$run run: a database connection was removed while still in use ($rc_log)"
    counted=$(counted_steps)
    stored=$(stored_steps)
    [ -n "$counted" ] && [ "$counted" -gt 0 ] || rc_fail "$run run: count.ini counted no step"
    [ "$stored" = "$counted" ] ||
        rc_fail "$run run: the statistics hold $stored step results, count.ini $counted"
    echo "$run run: $stored step results in the statistics, as in count.ini"
done
