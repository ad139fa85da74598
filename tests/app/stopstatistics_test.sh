#!/usr/bin/env bash
# The statistics survive a stop by signal, as a person uses the run command: statistics on,
# one step judged through the IO-board simulator, the run command stopped at once (SIGTERM,
# as Ctrl+C's clean-up sends it, long before the minute's save), started again and stopped
# again; then stopped by Ctrl+C to its whole process group, as a terminal sends it, and once
# with its screen gone before the program (a panel's shutdown ends the X server and the
# program together). Each time the running day in "ResStatistics.db" holds as many step
# results as count.ini has counted, the log says the day was saved before the stop, and it
# has no database connection removed while still in use.
#
# Every stop also ends a box that is open then: the simulated-camera question, a question and
# the password box of the settings screen (each by Ctrl+C; a question also by the screen
# going); and the program itself, started in an empty folder (the run command lays the folder
# out first), stopped while it tells that the parameter file was missing: it ends within
# seconds with status 0, does not restart the panel (the start's next warning must not wait
# its turn behind a box the stop answered, for ever) and does not announce that it started.
set -euo pipefail
rc_source=$(cd "$(dirname "$0")/../.." && pwd)
rc_build=${BUILD_DIR:?BUILD_DIR names the build folder}
source "$rc_source/tests/support/runcommand.sh"
rc_require_tools
command -v sqlite3 > /dev/null || rc_fail "sqlite3 is missing (scripts/install-deps.sh installs it)"

rc_tmp=$(mktemp -d)
rc_work="$rc_tmp/work"
rc_runner=""
program=""  # the program started without the run command
trap 'rc_cleanup; [ -z "$program" ] || kill -KILL "$program" 2> /dev/null || true' EXIT

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

# A finger on the screen: pressed, held a moment, lifted.
touch_at() {  # touch_at X Y
    DISPLAY=$rc_display xdotool mousemove "$1" "$2" mousedown 1
    sleep 0.3
    DISPLAY=$rc_display xdotool mouseup 1
}
shown() { grep -c "Dialog shown: $1" "$rc_log" || true; }
# Opens the settings screen (tool bar, third button) and touches a place on it until a box of
# the class is shown: the screen may take a moment to come up.
open_from_settings() {  # open_from_settings CLASS X Y
    local box=$1 before
    before=$(shown "$box")
    for _ in 1 2 3 4 5; do
        touch_at 1790 216
        sleep 1
        touch_at "$2" "$3"
        rc_wait_for 5 eval '[ "$(shown "$box")" -gt "$before" ]' && return 0
    done
    rc_fail "no $1 on the settings screen"
}
open_box() {  # open_box BOX
    case $1 in
        camera-question)
            rc_wait_for 60 rc_has_line 'Dialog shown: ChooseBox' "$rc_log" ||
                rc_fail "the simulated-camera question did not appear"
            rc_wait_for 30 rc_focused_question || rc_fail "the question did not take the keyboard"
            return
            ;;
    esac
    rc_answer_question
    rc_drive_until_result
    case $1 in
        settings-question) open_from_settings ChooseBox 1540 58 ;;  # "Exit" in the title bar
        password-box) open_from_settings PasswordBox 687 142 ;;     # the service code's tab
    esac
}

# name, the box open at the stop, the stop: SIGTERM to the run command, Ctrl+C to its process
# group as a terminal sends it, or the screen ending first.
rows=(
    "first none term"
    "second none term"
    "ctrl-c none ctrl-c"
    "screen-first none screen"
    "camera-question camera-question ctrl-c"
    "settings-question settings-question ctrl-c"
    "password-box password-box ctrl-c"
    "screen-at-question settings-question screen"
)
for row in "${rows[@]}"; do
    read -r run box stop <<< "$row"
    rc_context="$run run"
    rc_start "$rc_tmp/run-$run.out"
    open_box "$box"
    case $stop in
        screen)
            kill -TERM "$rc_vnc"
            rc_wait_for 30 eval '! kill -0 "$rc_program" 2> /dev/null' ||
                rc_fail "$run: the program did not end with its screen"
            rc_stop
            ;;
        *)
            if [ "$stop" = ctrl-c ]; then
                # The terminal's Ctrl+C must not reach the screen while the program saves.
                [ "$(ps -o pgid= -p "$rc_vnc")" != "$(ps -o pgid= -p "$rc_runner")" ] ||
                    rc_fail "the screen is in the run command's process group"
                rc_stop ctrl-c
            else
                rc_stop
            fi
            rc_has_line '^the program ended (exit status 0)' "$rc_out" ||
                rc_fail "$run: the run command reports no clean stop of the program"
            ;;
    esac
    rc_step "checking the statistics"
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

# The program in an empty folder, stopped at its first warning.
rc_context="start-warning run"
rc_step "stopping the program at its first warning"
empty="$rc_tmp/empty"
mkdir -p "$empty"
ports=$((20000 + RANDOM % 20000))
(cd "$empty" && exec env QT_QPA_PLATFORM=offscreen MOULDMON_HTTP_PORT=$ports \
    MOULDMON_MODBUS_PORT=$((ports + 1)) MOULDMON_MONITOR_PORT=$((ports + 2)) \
    "$rc_build/bin/mouldmon" > "$rc_tmp/empty.out" 2>&1) &
program=$!
rc_out="$rc_tmp/empty.out"
rc_log="$empty/cnt_net/workspace/log/LOG_*.$program.log"
warned() { grep -q 'Dialog shown: WarnBox 系统参数文件错误' $rc_log 2> /dev/null; }
rc_wait_for 60 warned || rc_fail "the program in an empty folder did not warn of its parameters"
kill -TERM "$program"
rc_wait_for 20 eval '! kill -0 "$program" 2> /dev/null' ||
    rc_fail "stopped at the start's warning, the program did not end within 20 s"
status=0
wait "$program" || status=$?
program=""
[ "$status" = 0 ] || rc_fail "stopped at the start's warning, the program ended with $status"
! grep -q 'would run reboot' $rc_log || rc_fail "the stop at the start's warning restarts the panel"
! grep -q 'would run notify-send' $rc_log ||
    rc_fail "stopped at the start's warning, the program announced that it started"
echo "start-warning run: ended with status 0, no restart, nothing announced"
