#!/usr/bin/env bash
# Runs the utility against a simulated TA on a pseudo-terminal:
#   tools/run-demo.sh BUILD_DIR [tautil switches, e.g. /B:1]
# tasim's first output line is the device path; tautil finds the TA there as
# "COM1". tasim stops when tautil ends. TASIM_ARGS passes options to tasim,
# e.g. TASIM_ARGS="--model QM7A1-HXN --baud 9600" (see tasim --help).
set -euo pipefail

build="${1:-build}"
[ $# -gt 0 ] && shift

tasim="$build/sim/tasim"
tautil="$build/app/tautil/tautil"
tactl="$build/app/tactl/tactl"

for program in "$tasim" "$tautil"; do
    if [ ! -x "$program" ]; then
        echo "run-demo: $program is missing; build first (make build)." >&2
        exit 1
    fi
done

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "run-demo: no display for the GUI (DISPLAY and WAYLAND_DISPLAY are unset); try the command line instead: start $tasim, which prints a device path, then run TA_SERIAL_PORTS=<that path> $tactl identify"
    exit 0
fi

workdir="$(mktemp -d)"
tasim_pid=""
# shellcheck disable=SC2317 # run by the EXIT trap
cleanup() {
    if [ -n "$tasim_pid" ] && kill -0 "$tasim_pid" 2>/dev/null; then
        kill "$tasim_pid" 2>/dev/null || true
        wait "$tasim_pid" 2>/dev/null || true
    fi
    rm -rf "$workdir"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

mkfifo "$workdir/out"
# shellcheck disable=SC2086 # TASIM_ARGS is a list of options
"$tasim" ${TASIM_ARGS:-} >"$workdir/out" 2>"$workdir/tasim.log" &
tasim_pid=$!
# Keep the pipe open on our side after the first line, so tasim never
# writes into a closed pipe.
exec 3<"$workdir/out"
device=""
if ! read -r -t 10 device <&3 || [ -z "$device" ]; then
    echo "run-demo: the simulated TA did not start:" >&2
    cat "$workdir/tasim.log" >&2
    exit 1
fi
export TA_SERIAL_PORTS="$device"

echo "run-demo: simulated TA on $device (TA_SERIAL_PORTS=$device)"
status=0
"$tautil" "$@" || status=$?
exit "$status"
