#!/usr/bin/env bash
# Pictures through VNC of every screen a newcomer meets, in every interface language: the main
# window, the statistics screen, each page of each settings tab, the editing page opened with
# "区域设置" and the main window after leaving it, and the editing page an NG alarm opens. Every
# picture is taken right after the touch that changed the screen and must match the X screen's
# own picture of that moment (tests/support/runcommand.sh); a person then looks at them.
#
# Usage: tools/screenshots/pages.sh [OUTPUT-FOLDER]   (default build/screenshots/pages)
# Runs scripts/run.sh headless on the built program (BUILD_DIR, default ./build), on the
# screen size the touch positions below are for (1920 x 1080), with one simulation camera.
set -euo pipefail
rc_source=$(cd "$(dirname "$0")/../.." && pwd)
source "$rc_source/scripts/usage.sh"
usage_read 1 "$@"
source "$rc_source/tests/support/runcommand.sh"
rc_tool_start pages "${1:-}"

# A finger: pressed, held a moment, lifted.
touch_at() {  # touch_at X Y
    DISPLAY=$rc_display xdotool mousemove "$1" "$2" mousedown 1
    sleep 0.3
    DISPLAY=$rc_display xdotool mouseup 1
}
# The screen changed by the touch is drawn once the program's event loop is idle again; the
# number of questions asked so far tells whether the touch opened one.
settle() { sleep "${SETTLE_SECONDS:-1}"; }
questions() { grep -c 'Dialog shown: ' "$rc_log" || true; }

# Positions on the 1920 x 1080 screen.
toolbar_x=1790
toolbar_y=(49 133 216 301 385 469 553 637 720 804)  # the tool bar's rows, top to bottom
tab_y=142
tab_x=(150 419 687 956 1225 1494 1763)  # the settings tabs, left to right
next_page=(898 1030)
cancel_settings=(1799 1030)
keypad_eight=(779 479)
password_confirm=(1204 406)
picture=(700 540)   # a place on the camera picture, clear of the tool bar
network_cancel=(1155 816)  # the network settings dialog of the last tab
end_editing=(1800 269)  # one camera: below the show/hide button and the source and step lists
statistics_return=(1421 36)

# The service code on the password box's keypad, when the touch asked for it. Only the newest
# question counts: an earlier password box in the log must not send the keypad's touches into
# another dialog (the network settings, whose fields then open the text keypad).
answer_password() {  # answer_password QUESTIONS-BEFORE
    [ "$(questions)" -gt "$1" ] || return 0
    grep 'Dialog shown: ' "$rc_log" | tail -n 1 | grep -q 'Dialog shown: PasswordBox' || return 0
    for _ in 1 2 3 4 5 6; do touch_at "${keypad_eight[@]}"; done
    touch_at "${password_confirm[@]}"
    settle
}

settings_pages() {  # settings_pages PREFIX
    rc_step "walking the settings pages"
    touch_at "$toolbar_x" "${toolbar_y[2]}"
    settle
    local tab page before
    for tab in "${!tab_x[@]}"; do
        before=$(questions)
        touch_at "${tab_x[tab]}" "$tab_y"
        settle
        answer_password "$before"
        rc_snapshot "$1-settings$((tab + 1))-page1.jpg"
        if ((tab == ${#tab_x[@]} - 1)); then
            touch_at "${network_cancel[@]}"
            settle
            break
        fi
        # The next page until the button does nothing more.
        for page in 2 3 4 5 6; do
            touch_at "${next_page[@]}"
            settle
            rc_snapshot "$1-settings$((tab + 1))-page$page.jpg"
            if rc_same_picture "$1-settings$((tab + 1))-page$page.jpg" \
                "$1-settings$((tab + 1))-page$((page - 1)).jpg"; then
                rm "$1-settings$((tab + 1))-page$page.jpg"
                break
            fi
        done
    done
    touch_at "${cancel_settings[@]}"
    settle
    # Opening the settings folded the tool bar away; a touch on the picture brings it back.
    touch_at "${picture[@]}"
    settle
}

clean="$rc_build/bin/Plugins/Cameras/simcamera/mould-a/grey/01-open.png"
fault="$rc_build/bin/Plugins/Cameras/simcamera/mould-a/grey/03-part-left.png"
for kind in clean fault; do
    mkdir -p "$rc_tmp/pictures-$kind/mould-a/grey"
    cp "${!kind}" "$rc_tmp/pictures-$kind/mould-a/grey/"
done
mkdir -p "$out"
for language in ${LANGUAGES:-0 1 2 3}; do
    rc_work="$rc_tmp/work-$language"
    # The clean picture: it becomes the template, and the steps pass.
    export MOULDMON_SIM_PICTURES="$rc_tmp/pictures-clean"
    "$rc_build/bin/mouldmon-workdir-init" --demo --display 1920x1080 "$rc_work" 2> /dev/null
    rc_set_language "$rc_work/PARAM.db" "$language"
    # The statistics button of the tool bar (token 10 of row system6).
    row=$(sqlite3 "$rc_work/PARAM.db" "select value from sysparam where name='system6'")
    row=$(echo "$row" | awk '{ $10 = 1; print }')
    sqlite3 "$rc_work/PARAM.db" "update sysparam set value='$row' where name='system6'"
    shot="$out/lang$language"

    rc_context="language $language, clean picture"
    rc_start "$rc_tmp/run-$language-clean.out"
    rc_answer_question
    settle
    rc_snapshot "$shot-main.jpg"
    touch_at "$toolbar_x" "${toolbar_y[9]}"
    settle
    rc_snapshot "$shot-statistics.jpg"
    touch_at "${statistics_return[@]}"
    settle
    settings_pages "$shot"
    touch_at "$toolbar_x" "${toolbar_y[4]}"
    settle
    rc_snapshot "$shot-editing.jpg"
    touch_at "${end_editing[@]}"
    settle
    rc_snapshot "$shot-main-after-editing.jpg"
    rc_stop

    # The fault picture: the step fails and the alarm opens the editing page.
    export MOULDMON_SIM_PICTURES="$rc_tmp/pictures-fault"
    rc_context="language $language, fault picture"
    rc_start "$rc_tmp/run-$language-fault.out"
    rc_answer_question
    rc_drive_until_result
    settle
    rc_snapshot "$shot-alarm.jpg"
    rc_stop
    echo "language $language: $(ls "$shot"-*.jpg | wc -l) pictures"
done
echo "pictures in $out"
