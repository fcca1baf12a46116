#!/usr/bin/env bash
# Fuzzes the ledger reader and the goal rules with libFuzzer, one process on
# one core, then folds into the committed corpus only the inputs that reach
# code it does not reach yet.
#
#   fuzz/run_fuzz.sh [ledger|goal|all]     (default: all)
#
# Environment:
#   LEDGER_SECONDS   fuzzing time for fuzz_ledger (default 600)
#   GOAL_SECONDS     fuzzing time for fuzz_goal   (default 300)
#   BUILD            the fuzz build directory     (default build-fuzz)
#   MERGE=0          fuzz only; leave fuzz/corpus/ as it is
#   FUZZ_FLAGS       more libFuzzer flags, e.g. "-fork=1 -ignore_crashes=1" to
#                    go on past a known crash (one worker: still one core)
#
# What it runs, for each target T (ledger, goal):
#   cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
#         -DCMAKE_CXX_COMPILER=clang++ -DHIBI_BUILD_FUZZ=ON -DHIBI_BUILD_TESTS=OFF
#   cmake --build build-fuzz -j2 --target fuzz_ledger fuzz_goal
#   taskset -c 0 build-fuzz/fuzz/fuzz_T build-fuzz/scratch/T fuzz/corpus/T \
#       -dict=fuzz/T.dict -max_len=L -timeout=10 -max_total_time=S \
#       -print_final_stats=1 -artifact_prefix=build-fuzz/artifacts/T-
#   build-fuzz/fuzz/fuzz_T -merge=1 -use_counters=0 -max_len=L fuzz/corpus/T build-fuzz/scratch/T
# The first directory given to the fuzzing run is where libFuzzer writes what
# it finds, so the scratch directory comes first and the committed corpus is
# only read. -merge=1 then copies into fuzz/corpus/T only the scratch inputs
# that add coverage to what fuzz/corpus/T already has. -use_counters=0 counts
# an edge as covered or not, without hit counts, so the merge keeps tens of
# files rather than one for every loop count seen.
# L is 4096 for the ledger (room for a few dozen lines) and 64 for the goal
# (one number typed in a box of a few characters).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
build="${BUILD:-build-fuzz}"
which="${1:-all}"

if ! command -v clang++ >/dev/null || ! ls /usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a \
        >/dev/null 2>&1; then
    echo "clang and libFuzzer are missing: apt-get install -y clang libclang-rt-14-dev" >&2
    exit 2
fi

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
    -DHIBI_BUILD_FUZZ=ON -DHIBI_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j2 --target fuzz_ledger fuzz_goal

# One core: the fuzzer shares the machine with builds.
pin=()
if command -v taskset >/dev/null; then
    pin=(taskset -c 0)
fi

run_one() {
    local target=$1 seconds=$2 max_len=$3
    local scratch="$build/scratch/$target" log="$build/logs/$target.log"
    mkdir -p "$scratch" "$build/logs" "$build/artifacts"
    echo "== fuzz_$target for ${seconds}s (log: $log)"
    local status=0
    "${pin[@]}" "$build/fuzz/fuzz_$target" "$scratch" "fuzz/corpus/$target" \
        -dict="fuzz/$target.dict" -max_len="$max_len" -timeout=10 \
        -max_total_time="$seconds" -print_final_stats=1 \
        -artifact_prefix="$build/artifacts/$target-" ${FUZZ_FLAGS:-} >"$log" 2>&1 || status=$?
    grep -E '^#[0-9]+.*(DONE|pulse|NEW|cov:)' "$log" | tail -n 1 || true
    ls "$build/artifacts/" | grep "^$target-" || true
    grep -E '^stat::' "$log" || true
    if ((status != 0)); then
        echo "fuzz_$target stopped with status $status; see $log and $build/artifacts/" >&2
        return "$status"
    fi
    if [[ "${MERGE:-1}" != 0 ]]; then
        local before after
        before=$(find "fuzz/corpus/$target" -type f | wc -l)
        "$build/fuzz/fuzz_$target" -merge=1 -use_counters=0 -max_len="$max_len" \
            "fuzz/corpus/$target" "$scratch" \
            >"$build/logs/$target-merge.log" 2>&1
        after=$(find "fuzz/corpus/$target" -type f | wc -l)
        grep -E 'MERGE-OUTER: [0-9]+ new files' "$build/logs/$target-merge.log" || true
        echo "fuzz/corpus/$target: $before -> $after files"
    fi
}

case "$which" in
    ledger) run_one ledger "${LEDGER_SECONDS:-600}" 4096 ;;
    goal) run_one goal "${GOAL_SECONDS:-300}" 64 ;;
    all)
        run_one ledger "${LEDGER_SECONDS:-600}" 4096
        run_one goal "${GOAL_SECONDS:-300}" 64
        ;;
    *)
        echo "usage: $0 [ledger|goal|all]" >&2
        exit 2
        ;;
esac
