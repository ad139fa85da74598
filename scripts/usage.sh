# The command line of the project's scripts, read as its programs read theirs (src/cli): "-h"
# or "--help" prints the comment at the top of the script, its usage, and ends it with status 0
# before it has done anything; an option it does not know or an argument too many ends it with
# status 2 and says so. Sourced by the scripts first thing.

usage_print() {
    awk 'NR > 1 { if (!/^#/) exit; sub(/^# ?/, ""); print }' "$0"
}

usage_refuse() {  # usage_refuse REASON
    echo "$(basename "$0"): $1" >&2
    echo "Try '$(basename "$0") --help'." >&2
    exit 2
}

# For a script whose arguments go on to a program that reads them itself.
usage_help() {  # usage_help "$@"
    local argument
    for argument in "$@"; do
        case $argument in -h | --help) usage_print && exit 0 ;; esac
    done
}

usage_read() {  # usage_read MOST-ARGUMENTS "$@": no options, at most that many arguments
    local most=$1 argument
    shift
    usage_help "$@"
    for argument in "$@"; do
        case $argument in -?*) usage_refuse "unknown option '$argument'" ;; esac
    done
    [ $# -le "$most" ] || usage_refuse "unexpected argument '${*:$((most + 1)):1}'"
}
