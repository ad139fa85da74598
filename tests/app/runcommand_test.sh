#!/usr/bin/env bash
# The run command as a newcomer uses it, without a display: scripts/run.sh starts the screen
# behind a VNC server on 127.0.0.1, a VNC client we did not write (vncsnapshot) takes pictures
# of it, the simulated-camera question is answered on that screen, and one OK and one NG step
# are driven through the IO-board simulator's command file; both results must appear in the
# run command's own output. The simulator is restarted between the two runs and must be found
# again through its stable link.
#
# Two runs on one working folder: the first with the clean picture only (the demonstration
# areas take it as their template, so the step passes), the second with the fault picture
# only (the step fails). Pictures go to $BUILD_DIR/screenshots for a person to look at.
set -euo pipefail
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
build_dir=${BUILD_DIR:?BUILD_DIR names the build folder}
pictures="$build_dir/bin/Plugins/Cameras/simcamera/mould-a/grey"
shots="$build_dir/screenshots"

for tool in Xvfb x11vnc vncsnapshot xdotool python3; do
    command -v "$tool" > /dev/null || {
        echo "FAIL: $tool is missing (scripts/install-deps.sh installs it)"
        exit 1
    }
done

tmp=$(mktemp -d)
runner=""
cleanup() {
    if [ -n "$runner" ] && kill -0 "$runner" 2> /dev/null; then
        kill -TERM "$runner" 2> /dev/null || true
        wait "$runner" 2> /dev/null || true
    fi
    rm -rf "$tmp"
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*"
    for f in "$tmp"/run-*.out; do [ -f "$f" ] && { echo "--- $f"; cat "$f"; }; done
    exit 1
}

wait_for() {  # wait_for SECONDS COMMAND...
    local tries=$(($1 * 10))
    shift
    for _ in $(seq "$tries"); do
        "$@" && return 0
        sleep 0.1
    done
    return 1
}
has_line() { grep -q "$1" "$2" 2> /dev/null; }

# A JPEG of the whole 1920 x 1080 screen (read from its frame header).
jpeg_size() {
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

snapshot() {  # snapshot PORT NAME
    mkdir -p "$shots"
    vncsnapshot -quiet "127.0.0.1::$1" "$shots/$2.jpg" > /dev/null 2>&1 ||
        fail "vncsnapshot could not take $2 from port $1"
    [ "$(jpeg_size "$shots/$2.jpg")" = "1920x1080" ] || fail "$2 is not a 1920x1080 picture"
}

# The number of polls the simulator has answered, asked through its command file.
polls_now() {
    local log="$tmp/work/iosim.log" before
    before=$(grep -c '^polls ' "$log" || true)
    echo stats >> "$tmp/work/iosim.cmd"
    wait_for 5 eval '[ "$(grep -c "^polls " "$log")" -gt "$before" ]' || return 1
    sed -n 's/^polls \([0-9]*\),.*/\1/p' "$log" | tail -n 1
}

ports=$((20000 + RANDOM % 20000))
run_once() {  # run_once NAME PICTURE EXPECTED-RESULT
    local name=$1 picture=$2 expected=$3 out="$tmp/run-$1.out"
    mkdir -p "$tmp/pictures-$name/mould-a/grey"
    cp "$pictures/$picture" "$tmp/pictures-$name/mould-a/grey/"
    env -u DISPLAY -u QT_QPA_PLATFORM MOULDMON_RUN_DIR="$tmp/work" MOULDMON_SKIP_BUILD=1 \
        BUILD_DIR="$build_dir" MOULDMON_SIM_PICTURES="$tmp/pictures-$name" \
        MOULDMON_HTTP_PORT=$ports MOULDMON_MODBUS_PORT=$((ports + 1)) \
        MOULDMON_MONITOR_PORT=$((ports + 2)) \
        bash "$source_dir/scripts/run.sh" > "$out" 2>&1 < /dev/null &
    runner=$!

    wait_for 60 has_line '^Screen: VNC on 127.0.0.1:' "$out" || fail "$name: no VNC port printed"
    local port display program log
    port=$(sed -n 's/^Screen: VNC on 127.0.0.1:\([0-9]*\) .*/\1/p' "$out")
    display=$(sed -n 's/^Screen: .*(display \(:[0-9]*\)).*/\1/p' "$out")
    [ -n "$port" ] && [ -n "$display" ] || fail "$name: no port or display in '$(grep ^Screen "$out")'"
    wait_for 60 has_line '^Program started' "$out" || fail "$name: the program did not start"
    program=$(sed -n 's/^Program started (process \([0-9]*\)).*/\1/p' "$out")
    log_of() { compgen -G "$tmp/work/cnt_net/workspace/log/LOG_*.$program.log" | head -n 1; }
    wait_for 30 log_of > /dev/null || fail "$name: the program wrote no log"
    log=$(log_of)

    # The simulated-camera question covers the screen; Cancel (Escape) keeps the serials.
    wait_for 60 has_line 'Dialog shown: ChooseBox' "$log" || fail "$name: the question did not appear"
    snapshot "$port" "question-$name"
    DISPLAY=$display xdotool mousemove 960 540 key Escape
    wait_for 30 has_line 'Dialog answered: ChooseBox 0' "$log" ||
        fail "$name: the question was not answered with Cancel"

    # The mould opens (input terminal 1 high) until the step is judged; an edge before the
    # cycle is ready is lost, so it closes and opens again.
    for _ in $(seq 10); do
        echo "in 0 1" >> "$tmp/work/iosim.cmd"
        wait_for 6 has_line '^result: ' "$out" && break
        echo "in 0 0" >> "$tmp/work/iosim.cmd"
        local low_from
        low_from=$(polls_now)
        wait_for 10 eval '[ "$(polls_now)" -ge $((low_from + 2)) ]' || fail "$name: no polls"
    done
    echo "in 0 0" >> "$tmp/work/iosim.cmd"
    has_line "^result: step [0-9] of [0-9] $expected" "$out" ||
        fail "$name: no $expected result in the run command's output"
    snapshot "$port" "main-$name"
    has_line "OUT3 Alrm: " "$tmp/work/iosim.log" || fail "$name: the alarm output is not named"

    kill -TERM "$runner"
    wait "$runner" || true
    runner=""
    [ ! -e "/tmp/.X11-unix/X${display#:}" ] || fail "$name: the screen was left running"
    [ ! -e "$tmp/work/iosim.tty" ] || fail "$name: the simulator's link was left behind"
}

run_once ok 01-open.png OK
run_once ng 03-part-left.png NG
grep -h '^result: ' "$tmp"/run-*.out
echo "run command: OK and NG seen, pictures in $shots"
