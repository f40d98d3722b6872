#!/usr/bin/env bash
# Builds the fuzz targets with clang's libFuzzer (address and undefined-behaviour sanitizers) into
# build-fuzz/ and runs them. Without clang nothing is built and the status is 0.
#
#   fuzz/run.sh [TARGET...]
#       What ./test.sh runs, the same every time: each input of the committed corpus
#       (tests/data/fuzz/TARGET, which keeps every fixed finding as a regression case) and every
#       finding saved in build-fuzz/findings/ is run once and must pass; then each target explores
#       from the corpus with a fixed seed for a fixed number of runs (FUZZ_RUNS, default per target,
#       about ten seconds each), without address randomisation, so that every run tries the same
#       inputs; stopped after FUZZ_SECONDS (default 120) should the machine be very slow.
#   fuzz/run.sh --explore [--keep] [TARGET...]
#       Explores with a random seed for FUZZ_SECONDS (default 300) each. A crash, a sanitizer report
#       or a failed check leaves its input in build-fuzz/findings/ (mend the code, then put the input
#       into the corpus). With --keep, the new inputs that reach code the corpus did not are merged
#       into tests/data/fuzz/TARGET, to be committed.
#
# A crash, a sanitizer report or a failed check ends with a non-zero status.
set -euo pipefail

cd "$(dirname "${BASH_SOURCE[0]}")/.."
ROOT=$PWD
BUILD=${FUZZ_BUILD_DIR:-$ROOT/build-fuzz}
ALL_TARGETS=(check_date csv_import mail_read mail_roundtrip sql_text postal_table)

explore=0
keep=0
TARGETS=()
for argument in "$@"; do
    case "$argument" in
        --explore) explore=1 ;;
        --keep) keep=1 ;;
        -*)
            echo "fuzz: unknown option $argument" >&2
            exit 2
            ;;
        *) TARGETS+=("$argument") ;;
    esac
done
[[ ${#TARGETS[@]} -eq 0 ]] && TARGETS=("${ALL_TARGETS[@]}")
if [[ $keep -eq 1 && $explore -eq 0 ]]; then
    echo "fuzz: --keep goes with --explore" >&2
    exit 2
fi

# Runs of the fixed exploration: about ten seconds of each target on this kind of machine.
fixed_runs() {
    case "$1" in
        check_date) echo 150000 ;;
        csv_import) echo 3000 ;;
        mail_read) echo 4000 ;;
        mail_roundtrip) echo 3000 ;;
        sql_text) echo 30000 ;;
        *) echo 5000 ;;
    esac
}

if ! command -v clang++ >/dev/null; then
    echo "fuzz: clang++ not found; the fuzz targets are skipped."
    exit 0
fi

launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S fuzz -B "$BUILD" -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=None "${launcher[@]}" >/dev/null
# Two jobs: the machine is shared.
cmake --build "$BUILD" --parallel 2 --target "${TARGETS[@]/#/fuzz_}"

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0:abort_on_error=1:symbolize=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export QT_QPA_PLATFORM=offscreen
# Qt seeds its hash tables at random; a fixed seed keeps the paths, and so the exploration, the same.
export QT_HASH_SEED=0
mkdir -p "$BUILD/findings"
# The same limits for every run; -reload=0: the corpus folder is read once, not again by the clock.
common=(-timeout=10 -rss_limit_mb=2048 -max_len=65536 -reload=0 -print_final_stats=1)
# Addresses compared in the targets feed the mutations: without address randomisation the fixed
# exploration tries the very same inputs every time (measured: the same coverage and corpus).
fixed=()
if setarch "$(uname -m)" -R true 2>/dev/null; then
    fixed=(setarch "$(uname -m)" -R)
else
    echo "fuzz: setarch -R is not allowed here; the fixed exploration may differ from run to run"
fi

failed() {
    echo "fuzz: $1 FAILED; see $2 and $BUILD/findings/"
    tail -n 40 "$2"
    status=1
}

status=0
for target in "${TARGETS[@]}"; do
    binary=$BUILD/fuzz_$target
    log=$BUILD/$target.log
    committed=$ROOT/tests/data/fuzz/$target
    # The corpus in the repository stays as it is; new inputs go into a scratch copy.
    corpus=$BUILD/corpus/$target
    rm -rf "$corpus"
    mkdir -p "$corpus"
    cp -r "$committed/." "$corpus/"

    if [[ $explore -eq 0 ]]; then
        # Every committed input and every saved finding, once each.
        inputs=("$committed"/*)
        for finding in "$BUILD/findings/$target"-*; do
            [[ -f $finding ]] && inputs+=("$finding")
        done
        echo "fuzz: $target: ${#inputs[@]} inputs of the corpus and the findings"
        if ! "${fixed[@]}" "$binary" "${common[@]}" "${inputs[@]}" >"$log" 2>&1; then
            failed "$target (replay)" "$log"
            continue
        fi
        runs=${FUZZ_RUNS:-$(fixed_runs "$target")}
        seconds=${FUZZ_SECONDS:-120}
        echo "fuzz: $target: $runs runs from seed 1 (at most ${seconds}s)"
        options=(-seed=1 -runs="$runs" -max_total_time="$seconds")
        run=("${fixed[@]}" "$binary")
    else
        seconds=${FUZZ_SECONDS:-300}
        echo "fuzz: $target: exploring for ${seconds}s from a random seed"
        options=(-seed=0 -max_total_time="$seconds")
        run=("$binary")
    fi
    if ! "${run[@]}" "${common[@]}" "${options[@]}" -artifact_prefix="$BUILD/findings/$target-" "$corpus" \
        >"$log" 2>&1; then
        failed "$target" "$log"
        continue
    fi
    grep -E "^stat::number_of_executed_units|^#[0-9]+.*DONE|^INFO: Seed" "$log" | tail -n 3 || true
    if [[ $explore -eq 0 ]] && ! grep -q "^Done $runs runs" "$log"; then
        echo "fuzz: $target: stopped by the time limit before $runs runs (a slow machine); not a failure"
    fi
    if [[ $keep -eq 1 ]]; then
        before=$(find "$committed" -type f | wc -l)
        "$binary" "${common[@]}" -merge=1 "$committed" "$corpus" >>"$log" 2>&1 || failed "$target (merge)" "$log"
        after=$(find "$committed" -type f | wc -l)
        echo "fuzz: $target: $((after - before)) new inputs in tests/data/fuzz/$target"
    elif [[ $explore -eq 1 ]]; then
        echo "fuzz: $target: the explored corpus is in $corpus (fuzz/run.sh --explore --keep merges new inputs)"
    fi
done
exit "$status"
