#!/usr/bin/env bash
# The page-decoding benchmark: ./bench/resolve.sh [build dir] [page bytes] [runs]
# Builds resolve_bench in the given native build (default build/native) and runs it.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build/native}
[ -f "$dir/build.ninja" ] || cmake --preset native -B "$dir" >/dev/null
cmake --build "$dir" --target resolve_bench -j "$(nproc)" >/dev/null
"$dir/bench/resolve_bench" "${@:2}"
