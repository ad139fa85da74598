#!/usr/bin/env bash
# Pictures of the main window through VNC, in every interface language with 1, 2, 4 and 8
# simulation cameras, each after one OK step: for a person to look at the layout.
#
# Usage: tools/screenshots/main-window.sh [OUTPUT-FOLDER]   (default build/screenshots/main)
# Runs scripts/run.sh headless on the built program (BUILD_DIR, default ./build).
set -euo pipefail
rc_source=$(cd "$(dirname "$0")/../.." && pwd)
source "$rc_source/scripts/usage.sh"
usage_read 1 "$@"
source "$rc_source/tests/support/runcommand.sh"
rc_tool_start main "${1:-}"

simulated="$rc_build/bin/Plugins/Cameras/simcamera"
for cameras in ${CAMERA_COUNTS:-1 2 4 8}; do
    # One folder per camera, each with a clean picture only, so that every step passes.
    pictures="$rc_tmp/pictures-$cameras"
    for ((c = 1; c <= cameras; c++)); do
        mould=$([ $((c % 2)) -eq 1 ] && echo mould-a || echo mould-b)
        mkdir -p "$pictures/cam$c/grey"
        cp "$(ls "$simulated/$mould/grey/"*.png | head -n 1)" "$pictures/cam$c/grey/"
    done
    export MOULDMON_SIM_PICTURES="$pictures"
    rc_work="$rc_tmp/work-$cameras"
    "$rc_build/bin/mouldmon-workdir-init" --demo --display 1920x1080 "$rc_work" 2> /dev/null
    for language in ${LANGUAGES:-0 1 2 3}; do
        rc_set_language "$rc_work/PARAM.db" "$language"
        rc_context="$cameras cameras, language $language"
        rc_start "$rc_tmp/run-$cameras-$language.out"
        rc_answer_question
        rc_drive_until_result
        rc_snapshot "$out/main-lang$language-cameras$cameras.jpg"
        rc_stop
        echo "$out/main-lang$language-cameras$cameras.jpg: $(grep -m1 '^result: ' "$rc_out")"
    done
done
