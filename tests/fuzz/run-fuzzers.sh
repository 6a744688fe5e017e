#!/usr/bin/env bash
# Runs every libFuzzer target for a while from its seed corpus and prints,
# per target, the inputs executed and the coverage reached.
#
#   run-fuzzers.sh --built DIR [--seconds N]
#       the fuzz programs are already built in DIR (a TA_BUILD_FUZZERS build)
#   run-fuzzers.sh --source SRC --build DIR --cc CLANG --cxx CLANG++ [--werror ON|OFF] [--seconds N]
#       configures and builds them first in DIR, a clang build of its own;
#       --werror sets its TA_WERROR (otherwise DIR keeps the one it has)
#
# Exit status: 0 all ran clean, 1 a target failed (its log is printed),
# 77 clang cannot build libFuzzer programs here (the run is skipped).
set -euo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
targets=(profile_load reply_decode receive_dispatch telnet_decode upgrade_bytes valid_chars)
seconds=3 built="" source="" build="" cc=clang cxx=clang++ werror=""

while [ $# -gt 0 ]; do
    case "$1" in
    --built) built="$2"; shift 2 ;;
    --source) source="$2"; shift 2 ;;
    --build) build="$2"; shift 2 ;;
    --cc) cc="$2"; shift 2 ;;
    --cxx) cxx="$2"; shift 2 ;;
    --werror) werror="$2"; shift 2 ;;
    --seconds) seconds="$2"; shift 2 ;;
    *) echo "run-fuzzers.sh: unknown argument $1" >&2; exit 2 ;;
    esac
done

# A clang without its fuzzer runtime cannot take part: say so and skip.
toolchain_works() {
    local probe
    probe="$(mktemp -d)"
    echo 'extern "C" int LLVMFuzzerTestOneInput(const unsigned char*, unsigned long) { return 0; }' \
        >"$probe/probe.cpp"
    local ok=0
    "$cxx" -fsanitize=fuzzer,address,undefined "$probe/probe.cpp" -o "$probe/probe" >/dev/null 2>&1 || ok=1
    rm -rf "$probe"
    return $ok
}

build_fuzzers() {
    if ! command -v "$cxx" >/dev/null || ! toolchain_works; then
        echo "run-fuzzers.sh: $cxx cannot build libFuzzer programs here; skipped" >&2
        exit 77
    fi
    mkdir -p "$build"
    if [ ! -f "$build/build.ninja" ] ||
        { [ -n "$werror" ] && ! grep -qx "TA_WERROR:BOOL=$werror" "$build/CMakeCache.txt"; }; then
        cmake -S "$source" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
            -DCMAKE_C_COMPILER="$cc" -DCMAKE_CXX_COMPILER="$cxx" -DTA_BUILD_FUZZERS=ON \
            ${werror:+-DTA_WERROR="$werror"} >"$build/configure.log" 2>&1 ||
            { cat "$build/configure.log" >&2; exit 1; }
    fi
    cmake --build "$build" --target fuzzers
    built="$build/tests/fuzz"
}

# One target: a fresh working corpus from the seeds, a fixed seed, a time
# limit; the figures come from libFuzzer's closing lines.
run_target() {
    local name="$1" program="$built/fuzz_$1"
    local work="$built/work/$name" log="$built/work/$name.log"
    rm -rf "$work" && mkdir -p "$work" "$built/artifacts"
    if ! "$program" -seed=1 -max_total_time="$seconds" -timeout=20 -print_final_stats=1 \
        -artifact_prefix="$built/artifacts/$name-" "$work" "$here/corpus/$name" >"$log" 2>&1; then
        echo "FAILED: $name (log $log)"
        tail -n 60 "$log"
        return 1
    fi
    local finished execs
    finished="$(grep -E '^#[0-9]+[[:space:]]+DONE' "$log" | tail -n 1)"
    execs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")"
    printf '%-18s %10s runs  %s\n' "$name" "$execs" "$(echo "$finished" | grep -oE 'cov: [0-9]+ ft: [0-9]+ corp: [0-9]+/[0-9]+[a-zA-Z]*')"
}

if [ -z "$built" ]; then
    if [ -z "$source" ] || [ -z "$build" ]; then
        echo "run-fuzzers.sh: need --built or --source and --build" >&2
        exit 2
    fi
    build_fuzzers
fi
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1}"
export LSAN_OPTIONS="${LSAN_OPTIONS:-suppressions=$here/../sanitize/lsan.supp:print_suppressions=0}"
export QT_QPA_PLATFORM=offscreen

echo "libFuzzer, ${seconds} s per target (cov = edges covered, ft = features, corp = corpus entries/size)"
status=0
for target in "${targets[@]}"; do
    run_target "$target" || status=1
done
exit $status
