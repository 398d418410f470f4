#!/usr/bin/env bash
# make fuzz: builds the libFuzzer targets with clang and the sanitizers, then
# runs each in turn for FUZZ_SECONDS, or FUZZ_RUNS executions when that comes
# first (FUZZ_TARGETS picks some). New corpus
# entries go to <build>/corpus/<target>; inputs that crash, leak or time out
# are kept in fuzz/regressions/<target>/, which ctest replays from then on.
set -uo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath -m "${1:-$root/build-fuzz}")
seconds=${FUZZ_SECONDS:-600}
runs=${FUZZ_RUNS:+-runs=$FUZZ_RUNS}
targets=${FUZZ_TARGETS:-history_text formula_line formula_differential formula_import page_scan text_codec}

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
    -DVARNET_FUZZ=ON -DBUILD_TESTING=OFF || exit 1
cmake --build "$build" -j "${JOBS:-2}" --target fuzz_all || exit 1

mkdir -p "$build/logs"
failed=0
printf '%-22s %12s %8s %8s  %s\n' target executions seconds corpus result
for t in $targets; do
    scratch=$build/corpus/$t
    found=$root/fuzz/regressions/$t
    log=$build/logs/$t.log
    mkdir -p "$scratch" "$found"
    start=$SECONDS
    nice -n 10 "$build/fuzz_$t" -max_total_time="$seconds" $runs -rss_limit_mb=2048 -timeout=10 \
        -print_final_stats=1 -artifact_prefix="$found/" "$scratch" "$root/fuzz/corpus/$t" \
        >"$log" 2>&1
    rc=$?
    executed=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
    result=ok
    if [ $rc -ne 0 ]; then
        result="FOUND $(ls -t "$found" | head -1) (see $log)"
        failed=1
    fi
    printf '%-22s %12s %8s %8s  %s\n' "$t" "${executed:-?}" $((SECONDS - start)) \
        "$(ls "$scratch" | wc -l)" "$result"
done
exit $failed
