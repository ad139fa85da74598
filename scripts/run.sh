#!/usr/bin/env bash
# Installs what is missing, builds, and starts the program on the simulation camera.
# The program keeps its files in ./run (created on first start). Off the panel every system
# action is only logged; without a display the program runs under Xvfb.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh
top=$(pwd)
mkdir -p run
"$top/build/bin/mouldmon-workdir-init" run
cd run
# The program looks for its camera plug-ins beside its executable.
exe="$top/build/bin/mouldmon"
if [ -z "${DISPLAY:-}" ] && [ "${QT_QPA_PLATFORM:-}" != "offscreen" ]; then
    exec xvfb-run -a -s "-screen 0 1920x1080x24" "$exe" "$@"
fi
exec "$exe" "$@"
