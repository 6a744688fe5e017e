#!/usr/bin/env bash
# `make fuzz`: every fuzz target for a minute (FUZZ_SECONDS), in a clang
# build of its own (FUZZ_BUILD, default build/fuzz).
set -euo pipefail
cd "$(dirname "$0")/../.."
exec tests/fuzz/run-fuzzers.sh --source "$PWD" --build "${FUZZ_BUILD:-$PWD/build/fuzz}" \
    --cc "${FUZZ_CC:-clang}" --cxx "${FUZZ_CXX:-clang++}" --seconds "${FUZZ_SECONDS:-60}"
