#!/usr/bin/env bash
# Builds the fuzz targets with clang's libFuzzer (address and undefined-behaviour sanitizers) into
# build-fuzz/ and runs each for FUZZ_SECONDS (default 30) from its corpus in tests/data/fuzz/<target>.
# A crash, a sanitizer report or a failed round-trip check ends with a non-zero status; the input
# that caused it is left in build-fuzz/findings/. Without clang nothing is built and the status is 0.
#   fuzz/run.sh                 every target
#   fuzz/run.sh sql_text        one target
#   FUZZ_SECONDS=300 fuzz/run.sh
set -euo pipefail

cd "$(dirname "${BASH_SOURCE[0]}")/.."
ROOT=$PWD
BUILD=${FUZZ_BUILD_DIR:-$ROOT/build-fuzz}
SECONDS_EACH=${FUZZ_SECONDS:-30}
TARGETS=(check_date csv_import mail_read mail_roundtrip sql_text)
[[ $# -gt 0 ]] && TARGETS=("$@")

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
mkdir -p "$BUILD/findings"
status=0
for target in "${TARGETS[@]}"; do
    # The corpus in the repository stays as it is; new inputs go into a scratch copy.
    corpus=$BUILD/corpus/$target
    rm -rf "$corpus"
    mkdir -p "$corpus"
    cp -r "$ROOT/tests/data/fuzz/$target/." "$corpus/"
    echo "fuzz: $target for ${SECONDS_EACH}s"
    # A fixed seed: a run that fails fails again the same way (FUZZ_SEED=0 draws one).
    if ! "$BUILD/fuzz_$target" -seed="${FUZZ_SEED:-1}" -max_total_time="$SECONDS_EACH" -timeout=10 -rss_limit_mb=2048 \
        -max_len=65536 -print_final_stats=1 -artifact_prefix="$BUILD/findings/$target-" "$corpus" \
        >"$BUILD/$target.log" 2>&1; then
        echo "fuzz: $target FAILED; see $BUILD/$target.log and $BUILD/findings/"
        tail -n 40 "$BUILD/$target.log"
        status=1
    else
        grep -E "^stat::number_of_executed_units|^#[0-9]+.*DONE" "$BUILD/$target.log" | tail -n 2 || true
    fi
done
exit "$status"
