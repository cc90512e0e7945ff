#!/usr/bin/env bash
# Runs each fuzz target in turn over its seed corpus for a bounded time:
#   fuzz/run.sh BUILD_DIR SECONDS [RUNS] [TARGET...]
# The seeds of fuzz/corpus/<target>/ are copied into BUILD_DIR/corpus/<target>/,
# which the run grows (the repository's corpus stays as it is).  Logs go to
# BUILD_DIR/logs/<target>.log, crashing inputs to BUILD_DIR/crashes/<target>/.
# RUNS > 0 also stops a target after that many executions.  The exit status
# is nonzero when any target found a crash, a leak, a timeout or a sanitizer
# report.
set -u
build=$(cd "${1:?build folder}" && pwd)
seconds=${2:-60}
runs=${3:-0}
shift $(( $# < 3 ? $# : 3 ))
here=$(cd "$(dirname "$0")" && pwd)
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(signal_file script filter_file settings import export)

# Largest input of each target, in bytes.
declare -A max_len=([signal_file]=8192 [script]=4096 [filter_file]=8192 [settings]=2048
                    [import]=8192 [export]=8192)

mkdir -p "$build/logs"
failed=()
for t in "${targets[@]}"; do
    corpus="$build/corpus/$t"
    crashes="$build/crashes/$t"
    mkdir -p "$corpus" "$crashes"
    cp -n "$here/corpus/$t/"* "$corpus/" 2>/dev/null || true
    options=(-max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10
             -max_len="${max_len[$t]:-4096}" -print_final_stats=1
             -artifact_prefix="$crashes/")
    [ "$runs" -gt 0 ] && options+=(-runs="$runs")
    [ -f "$here/$t.dict" ] && options+=(-dict="$here/$t.dict")
    echo "fuzz_$t: ${seconds}s$([ "$runs" -gt 0 ] && echo " or $runs runs"), log $build/logs/$t.log"
    if "$build/fuzz_$t" "${options[@]}" "$corpus" >"$build/logs/$t.log" 2>&1; then
        grep -E '^#[0-9]+[[:space:]]+DONE' "$build/logs/$t.log" | tail -1
    else
        echo "fuzz_$t FAILED: see $build/logs/$t.log and $crashes/"
        grep -E 'ERROR|SUMMARY|Test unit written' "$build/logs/$t.log" | head -5
        failed+=("$t")
    fi
done
if [ ${#failed[@]} -gt 0 ]; then
    echo "fuzz targets with findings: ${failed[*]}"
    exit 1
fi
echo "every fuzz target ran clean"
