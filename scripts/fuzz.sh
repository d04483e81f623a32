#!/usr/bin/env bash
# The libFuzzer targets of fuzz/, built with the `fuzz` preset (clang, ASan + UBSan).
#   scripts/fuzz.sh regress        every target over its kept corpus only (a few seconds)
#   scripts/fuzz.sh long SECONDS   every target in turn for SECONDS, new inputs kept in a
#                                  scratch folder; prints executions and coverage
#   scripts/fuzz.sh long SECONDS NAME...   only the named targets
# Environment: FUZZ_BUILD_DIR (default build/fuzz), FUZZ_SCRATCH (default build/fuzz-scratch).
# A crash leaves its input under the scratch folder; keep it as fuzz/corpus/NAME/crash-WHAT
# once the fault is fixed, so the regression run replays it for good.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build_dir=${FUZZ_BUILD_DIR:-$root/build/fuzz}
scratch=${FUZZ_SCRATCH:-$root/build/fuzz-scratch}

usage() {
    echo "usage: scripts/fuzz.sh regress | long SECONDS [NAME...]" >&2
    exit 2
}

build() {
    cmake --preset fuzz -B "$build_dir" >/dev/null
    cmake --build "$build_dir" --target qzln_fuzzers -j 2 >/dev/null || {
        # Show the compiler's complaint only when the quiet build failed.
        cmake --build "$build_dir" --target qzln_fuzzers -j 1
        exit 1
    }
}

targets() {  # every target that has a kept corpus
    for dir in "$root"/fuzz/corpus/*/; do
        basename "$dir"
    done
}

# Extra flags of a target: its dictionary and fuzz/options/NAME (one flag a line).
flags_of() {
    local name=$1
    [ -f "$root/fuzz/dict/$name.dict" ] && echo "-dict=$root/fuzz/dict/$name.dict"
    [ -f "$root/fuzz/options/$name" ] && grep -v '^#' "$root/fuzz/options/$name"
    return 0
}

cmd=${1:-}
shift || true
case "$cmd" in
regress)
    build
    status=0
    mkdir -p "$scratch"
    for name in $(targets); do
        bin=$build_dir/fuzz/$name
        log=$scratch/$name.regress.log
        if [ ! -x "$bin" ]; then
            printf '%-24s not built (its sources are not in the tree yet)\n' "$name"
            continue
        fi
        mapfile -t files < <(find "$root/fuzz/corpus/$name" -type f | sort)
        start=$(date +%s%N)
        # Given files (not folders), libFuzzer runs each once and stops.
        if "$bin" $(flags_of "$name" | grep -v '^-dict=') "${files[@]}" >"$log" 2>&1; then
            ms=$((($(date +%s%N) - start) / 1000000))
            printf '%-24s %4d inputs ok (%d ms)\n' "$name" "${#files[@]}" "$ms"
        else
            printf '%-24s FAILED, see %s\n' "$name" "$log"
            tail -n 40 "$log"
            status=1
        fi
    done
    exit $status
    ;;
long)
    seconds=${1:-}
    [[ "$seconds" =~ ^[0-9]+$ ]] || usage
    shift
    names=("$@")
    [ ${#names[@]} -gt 0 ] || mapfile -t names < <(targets)
    build
    status=0
    summary=()
    for name in "${names[@]}"; do
        bin=$build_dir/fuzz/$name
        work=$scratch/$name
        mkdir -p "$work/new" "$work/artifacts"
        log=$work/long.log
        touch "$work/.started"  # findings of earlier runs stay, but are not counted again
        echo "== $name: $seconds s (log $log)"
        # One process at a time: the machine's cores are shared.
        set +e
        "$bin" $(flags_of "$name") -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
            -artifact_prefix="$work/artifacts/" "$work/new" "$root/fuzz/corpus/$name" >"$log" 2>&1
        rc=$?
        set -e
        execs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' | tail -n 1)
        last=$(grep -E '^#[0-9]+' "$log" | tail -n 1)
        cov=$(grep -o 'cov: [0-9]*' <<<"$last" | grep -o '[0-9]*' || true)
        ft=$(grep -o 'ft: [0-9]*' <<<"$last" | grep -o '[0-9]*' || true)
        found=$(find "$work/artifacts" -type f -newer "$work/.started" | wc -l)
        line=$(printf '%-24s execs %s  cov %s  ft %s  new inputs %s  findings %s' "$name" "${execs:-?}" \
            "${cov:-?}" "${ft:-?}" "$(find "$work/new" -type f | wc -l)" "$found")
        echo "$line"
        summary+=("$line")
        if [ $rc -ne 0 ] || [ "$found" -ne 0 ]; then
            status=1
            grep -E 'ERROR|SUMMARY|runtime error' "$log" | head -n 10 || true
        fi
    done
    echo "== summary"
    printf '%s\n' "${summary[@]}"
    exit $status
    ;;
*)
    usage
    ;;
esac
