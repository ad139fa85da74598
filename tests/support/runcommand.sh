# Shell helpers that drive scripts/run.sh as a person would, without a display: start it, find
# its VNC port and screen, answer the simulated-camera question on that screen, open the
# simulated mould until a step is judged, take pictures through VNC with vncsnapshot (a client
# we did not write), each checked against the X screen's own picture of the same moment, stop
# it. Sourced by the run-command test and the screenshot tools.
#
# The caller sets: rc_source (the source folder), rc_build (the build folder), rc_work (the
# working folder), rc_tmp (a scratch folder), and may export MOULDMON_* variables for run.sh;
# rc_context names the run in a failure ("ok run", "language 3"). Every wait is bounded. A
# failure, through rc_fail or any command that fails (rc_cleanup is the EXIT trap), says in
# which step it happened, how long after the start, and ends with the last lines of the run
# command's output, the program's log, the simulator's and the screen's: a failure that
# cannot be repeated must explain itself.

rc_context=""
rc_doing=""  # the step under way, set by rc_step

rc_step() {  # rc_step WHAT
    rc_doing=$1
}

rc_fail() {
    rc_report "$*"
    exit 1
}

# The newest log of the program in the working folder, when rc_start has not found it yet.
rc_program_log() {
    if [ -n "${rc_log:-}" ]; then
        echo "$rc_log"
    elif [ -n "${rc_work:-}" ]; then
        ls -t "$rc_work"/cnt_net/workspace/log/LOG_*.log 2> /dev/null | head -n 1
    fi
}

rc_tail() {  # rc_tail TITLE FILE LINES
    if [ -n "$2" ] && [ -f "$2" ]; then
        echo "--- $1 ($2), last $3 lines:"
        tail -n "$3" "$2"
    else
        echo "--- $1: none"
    fi
}

rc_report() {  # rc_report MESSAGE: once, the first failure
    [ -z "${rc_reported:-}" ] || return 0
    rc_reported=1
    echo "FAIL${rc_context:+ ($rc_context)}${rc_doing:+, $rc_doing}, ${SECONDS} s after the start: $*"
    rc_running || echo "(the run command had ended by then)"
    rc_tail "run command output" "${rc_out:-}" 40
    rc_tail "program log" "$(rc_program_log)" 40
    rc_tail "IO-board simulator" "${rc_work:+$rc_work/iosim.log}" 10
    rc_tail "screen" "${rc_work:+$rc_work/vnc.log}" 10
}

rc_wait_for() {  # rc_wait_for SECONDS COMMAND...: true once the command succeeds
    local tries=$(($1 * 10))
    shift
    for _ in $(seq "$tries"); do
        "$@" && return 0
        # A run command that has ended changes nothing more: no use waiting out the time.
        if ! rc_running; then
            "$@"
            return
        fi
        sleep 0.1
    done
    return 1
}
rc_running() { [ -z "${rc_runner:-}" ] || kill -0 "$rc_runner" 2> /dev/null; }
rc_has_line() { grep -q "$1" "$2" 2> /dev/null; }

rc_require_tools() {
    local tool
    for tool in Xvnc vncsnapshot xwd xprop compare xdotool python3 timeout; do
        command -v "$tool" > /dev/null ||
            rc_fail "$tool is missing (scripts/install-deps.sh installs it)"
    done
}

# rc_start OUTPUT-FILE [program arguments]: sets rc_runner, rc_port, rc_display, rc_vnc (the
# screen's process), rc_program (the program's process), rc_log. The run command leads a process
# group of its own, as in a terminal, so that a Ctrl+C sent to it reaches no caller.
rc_start() {
    rc_step "starting the run command"
    rc_out=$1
    rc_log=""
    shift
    local ports=$((20000 + RANDOM % 20000))
    env -u DISPLAY -u QT_QPA_PLATFORM MOULDMON_RUN_DIR="$rc_work" MOULDMON_SKIP_BUILD=1 \
        BUILD_DIR="$rc_build" MOULDMON_HTTP_PORT=$ports MOULDMON_MODBUS_PORT=$((ports + 1)) \
        MOULDMON_MONITOR_PORT=$((ports + 2)) \
        setsid bash "$rc_source/scripts/run.sh" "$@" > "$rc_out" 2>&1 < /dev/null &
    rc_runner=$!
    rc_wait_for 60 rc_has_line '^Screen: VNC on 127.0.0.1:' "$rc_out" || rc_fail "no VNC port printed"
    rc_port=$(sed -n 's/^Screen: VNC on 127.0.0.1:\([0-9]*\) .*/\1/p' "$rc_out")
    rc_display=$(sed -n 's/^Screen: .*(display \(:[0-9]*\)).*/\1/p' "$rc_out")
    [ -n "$rc_port" ] && [ -n "$rc_display" ] || rc_fail "no port or display printed"
    rc_vnc=$(pgrep -P "$rc_runner" -x Xvnc) || rc_fail "no screen started by the run command"
    rc_step "waiting for the program on $rc_display (VNC port $rc_port)"
    rc_wait_for 60 rc_has_line '^Program started' "$rc_out" || rc_fail "the program did not start"
    rc_program=$(sed -n 's/^Program started (process \([0-9]*\)).*/\1/p' "$rc_out")
    rc_log_of() { compgen -G "$rc_work/cnt_net/workspace/log/LOG_*.$rc_program.log" | head -n 1; }
    rc_wait_for 30 rc_log_of > /dev/null || rc_fail "the program wrote no log"
    rc_log=$(rc_log_of)
}

# The program's question window that holds the keyboard: the log names a question before its
# window is on the screen, and a key pressed then goes to the main window.
rc_focused_question() {
    local window
    window=$(DISPLAY=$rc_display xdotool getwindowfocus 2> /dev/null) || return 1
    DISPLAY=$rc_display xprop -id "$window" WM_CLASS _NET_WM_WINDOW_TYPE 2> /dev/null |
        tr '\n' ' ' | grep -q '"mouldmon".*= _NET_WM_WINDOW_TYPE_DIALOG'
}

# The simulated-camera question covers the screen; Escape is its Cancel, which keeps the stored
# serial numbers. rc_answer_question [PICTURE]: a picture of the question first when named.
rc_answer_question() {
    rc_step "answering the simulated-camera question"
    rc_wait_for 60 rc_has_line 'Dialog shown: ChooseBox' "$rc_log" ||
        rc_fail "the simulated-camera question did not appear"
    rc_wait_for 30 rc_focused_question || rc_fail "the question's window did not take the keyboard"
    [ -z "${1:-}" ] || rc_snapshot "$1"
    DISPLAY=$rc_display xdotool mousemove 960 540 key Escape
    rc_wait_for 30 rc_has_line 'Dialog answered: ChooseBox 0' "$rc_log" ||
        rc_fail "the question was not answered with Cancel"
}

# The number of polls the simulator has answered, asked through its command file.
rc_polls() {
    local log="$rc_work/iosim.log" before
    before=$(grep -c '^polls ' "$log" || true)
    echo stats >> "$rc_work/iosim.cmd"
    rc_wait_for 5 eval '[ "$(grep -c "^polls " "$log")" -gt "$before" ]' || return 1
    sed -n 's/^polls \([0-9]*\),.*/\1/p' "$log" | tail -n 1
}

# The mould opens (input terminal 1 high) until a step is judged; an edge before the cycle is
# ready is lost, so it closes (held low for two polls) and opens again.
rc_drive_until_result() {
    rc_step "driving a step through the simulator"
    local low_from
    for _ in $(seq 10); do
        echo "in 0 1" >> "$rc_work/iosim.cmd"
        rc_wait_for 6 rc_has_line '^result: ' "$rc_out" && break
        echo "in 0 0" >> "$rc_work/iosim.cmd"
        low_from=$(rc_polls) || rc_fail "the simulator answers no polls"
        rc_wait_for 10 eval '[ "$(rc_polls)" -ge $((low_from + 2)) ]' ||
            rc_fail "the simulator answers no polls"
    done
    echo "in 0 0" >> "$rc_work/iosim.cmd"
    rc_has_line '^result: ' "$rc_out" || rc_fail "no result in the run command's output"
}

# The width x height of a JPEG, read from its frame header.
rc_jpeg_size() {
    python3 - "$1" << 'EOF'
import struct, sys
data = open(sys.argv[1], "rb").read()
assert data[:2] == b"\xff\xd8", "not a JPEG"
i = 2
while i < len(data):
    marker, length = data[i + 1], struct.unpack(">H", data[i + 2:i + 4])[0]
    if marker in (0xC0, 0xC1, 0xC2):
        h, w = struct.unpack(">HH", data[i + 5:i + 9])
        print(f"{w}x{h}")
        break
    i += 2 + length
EOF
}

# The X screen's own picture, straight from the display (xwd), as a file ImageMagick reads.
rc_screen_picture() {  # rc_screen_picture FILE.xwd
    DISPLAY=$rc_display xwd -root -silent -out "$1" ||
        rc_fail "xwd could not take the screen $rc_display"
}

# True when two pictures differ in at most 0.2 % of their pixels (by more than a tenth of the
# range in some colour): the JPEG of vncsnapshot is not exact, a changed page is far more.
rc_same_picture() {  # rc_same_picture A B [DIFFERENCE.png]
    local differing
    differing=$(compare -metric AE -fuzz 10% "$1" "$2" "${3:-null:}" 2>&1 > /dev/null) || true
    [[ "$differing" =~ ^[0-9]+$ ]] && [ "$differing" -le $((1920 * 1080 / 500)) ]
}

# rc_snapshot FILE.jpg: the whole screen through VNC, taken between two pictures of the X screen
# itself; it must match one of them, so a VNC screen behind the program fails here. When the X
# screen changed on the way (a window being drawn, the alarm's blink, which on a busy machine
# can go off and on again between the two), the VNC picture may hold another state, and the
# pictures are taken again. Raw pixels: this old client waits forever for the Tight rectangles
# of TigerVNC. The picture is checked in the scratch folder and only then put in place: another
# run may write pictures of the same names into the same folder meanwhile.
rc_snapshot() {
    local try was=${rc_doing% (after the picture *} shot="$rc_tmp/snapshot.jpg"
    rc_step "taking the picture $(basename "$1")"
    mkdir -p "$(dirname "$1")"
    for try in $(seq 10); do
        rc_screen_picture "$rc_tmp/before.xwd"
        timeout 60 vncsnapshot -quiet -encodings raw -nocursor "127.0.0.1::$rc_port" "$shot" \
            > /dev/null 2>&1 || rc_fail "vncsnapshot could not take $1 from port $rc_port"
        rc_screen_picture "$rc_tmp/after.xwd"
        [ "$(rc_jpeg_size "$shot")" = "1920x1080" ] || rc_fail "$1 is not a 1920x1080 picture"
        if rc_same_picture "$shot" "$rc_tmp/before.xwd" ||
            rc_same_picture "$shot" "$rc_tmp/after.xwd"; then
            mv "$shot" "$1"
            rc_step "$was (after the picture $(basename "$1"))"
            return 0
        fi
    done
    mv "$shot" "$1"
    rc_same_picture "$1" "$rc_tmp/after.xwd" "${1%.jpg}-differs.png" || true
    rc_fail "$1 (VNC) is not what the X screen showed in $try tries (${1%.jpg}-differs.png)"
}

# Stops the run command and checks that it leaves nothing behind: by SIGTERM, or with "ctrl-c"
# as a terminal's Ctrl+C does, by SIGINT to its whole process group.
rc_stop() {
    rc_step "stopping the run command${1:+ by $1}"
    if [ "${1:-}" = ctrl-c ]; then
        kill -INT -- "-$rc_runner" 2> /dev/null || true
    else
        kill -TERM "$rc_runner" 2> /dev/null || true
    fi
    wait "$rc_runner" || true
    rc_runner=""
    # By its process, not its display: another run may have taken the number at once. A
    # zombie that nobody reaped is gone as well.
    ! grep -qv '^[0-9]* (.*) Z' "/proc/$rc_vnc/stat" 2> /dev/null ||
        rc_fail "the screen was left running"
    [ ! -e "$rc_work/iosim.tty" ] || rc_fail "the simulator's link was left behind"
}

# Sets the interface language (0 simplified Chinese, 1 English, 2 traditional Chinese,
# 3 Japanese) in a parameter database while the program is stopped: token 13 of row system2.
rc_set_language() {  # rc_set_language PARAM.db LANGUAGE
    local row
    row=$(sqlite3 "$1" "select value from sysparam where name='system2'")
    row=$(echo "$row" | awk -v lan="$2" '{ $13 = lan; print }')
    sqlite3 "$1" "update sysparam set value='$row' where name='system2'"
}

# The start of a screenshot tool: the build (BUILD_DIR, default ./build), its output folder
# (given, or build/screenshots/SUBFOLDER), the tools it needs and its clean-up on exit.
rc_tool_start() {  # rc_tool_start SUBFOLDER [OUTPUT-FOLDER]: sets rc_build, out, rc_tmp
    rc_build=${BUILD_DIR:-$rc_source/build}
    case "$rc_build" in /*) ;; *) rc_build="$rc_source/$rc_build" ;; esac
    out=${2:-$rc_build/screenshots/$1}
    rc_require_tools
    rc_tmp=$(mktemp -d)
    rc_runner=""
    trap rc_cleanup EXIT
}

rc_cleanup() {  # an EXIT trap: stops the run command the script started, removes $rc_tmp
    local status=$? command=$BASH_COMMAND
    [ "$status" = 0 ] || rc_report "$command (status $status)"
    if [ -n "${rc_runner:-}" ]; then
        kill -TERM "$rc_runner" 2> /dev/null || true
        wait "$rc_runner" 2> /dev/null || true
    fi
    rm -rf "$rc_tmp"
}
