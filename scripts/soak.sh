#!/usr/bin/env bash
# The download engine against a hostile loopback server (tests/soak/hostile_soak.cpp).
#   scripts/soak.sh [DOWNLOADS] [more hostile_soak options, e.g. --seed S --verbose]
# Builds the native preset's soak program (SOAK_BUILD_DIR, default build/native) and
# runs DOWNLOADS downloads (default 500), printing the seed and the outcome figures.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${SOAK_BUILD_DIR:-$PWD/build/native}
downloads=500
if [[ "${1:-}" =~ ^[0-9]+$ ]]; then
    downloads=$1
    shift
fi
cmake --preset native -B "$build_dir" >/dev/null
cmake --build "$build_dir" --target hostile_soak -j 2 >/dev/null || cmake --build "$build_dir" --target hostile_soak -j 1
exec "$build_dir/tests/soak/hostile_soak" --downloads "$downloads" "$@"
