#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Fuzzes every target (or the ones named) for SECONDS each, one after
# another, with clang's libFuzzer, AddressSanitizer and UBSan:
#
#   fuzz/run-all.sh [SECONDS] [TARGET...]        SECONDS defaults to 600
#
# Builds in build/fuzz-clang (MINUKURU_FUZZ_BUILD overrides it).  Each target
# runs on its own working corpus, build/fuzz-clang/fuzz-work/TARGET, seeded
# from fuzz/corpus/TARGET and fuzz/crashes/TARGET; whatever it finds (crash,
# leak, timeout, out-of-memory input) is saved into fuzz/crashes/TARGET/,
# where the ordinary test run replays it from then on.  Exits 1 when any
# target found something.
set -eu

here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
build=${MINUKURU_FUZZ_BUILD:-$root/build/fuzz-clang}
all="tanfuku_odds pair_odds entry result race settings numbers file_list jvdata"

seconds=600
if [ $# -gt 0 ]; then
    case "$1" in
    ''|*[!0-9]*) ;;
    *) seconds=$1; shift ;;
    esac
fi
targets=${*:-$all}
for t in $targets; do
    case " $all " in *" $t "*) ;; *) echo "unknown target: $t (one of: $all)" >&2; exit 2 ;; esac
done

packages="clang libclang-rt-14-dev cmake ninja-build qt6-base-dev"
missing=""
for p in $packages; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing="$missing $p"
    fi
done
if [ -n "$missing" ]; then
    echo "Installing:$missing"
    if [ "$(id -u)" -eq 0 ]; then sudo=""; else sudo="sudo"; fi
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get update -q
    # shellcheck disable=SC2086
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -q $missing
fi

# Debug keeps the assertions; -O1 keeps the fuzzer quick.
cmake -S "$root" -B "$build" -G Ninja \
    -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" \
    -DMINUKURU_FUZZ=ON -DMINUKURU_SANITIZE=OFF \
    -DMINUKURU_BUILD_GUI=OFF -DMINUKURU_BUILD_TESTS=OFF -DMINUKURU_BUILD_BENCH=OFF >/dev/null
build_targets=""
for t in $targets; do build_targets="$build_targets fuzz_$t"; done
# shellcheck disable=SC2086
cmake --build "$build" -j 2 --target $build_targets

export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
export QT_QPA_PLATFORM=offscreen
# The targets write their inputs to files: in memory where possible, which
# doubles the settings target's speed (its saves sync the file).
if [ -z "${TMPDIR:-}" ] && [ -d /dev/shm ] && [ -w /dev/shm ]; then
    export TMPDIR=/dev/shm
fi

found=0
summary=""
for t in $targets; do
    work="$build/fuzz-work/$t"
    crashes="$here/crashes/$t"
    mkdir -p "$work" "$crashes"
    cp -p "$here/corpus/$t"/* "$work"/ 2>/dev/null || true
    case "$t" in
    settings) dict="$here/dict/settings.dict"; max_len=8192 ;;
    race) dict="$here/dict/pat.dict"; max_len=16384 ;;
    numbers) dict="$here/dict/pat.dict"; max_len=64 ;;
    *) dict="$here/dict/pat.dict"; max_len=8192 ;;
    esac
    log="$build/fuzz-logs/$t.log"
    mkdir -p "$(dirname "$log")"
    before=$(ls "$crashes" | wc -l)
    echo "== $t: $seconds s, log $log"
    status=0
    "$build/fuzz/fuzz_$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len="$max_len" \
        -dict="$dict" -artifact_prefix="$crashes/" -print_final_stats=1 \
        "$work" "$crashes" >"$log" 2>&1 || status=$?
    after=$(ls "$crashes" | wc -l)
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
    rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
    cov=$(grep -o 'cov: [0-9]*' "$log" | tail -1 | cut -d' ' -f2)
    line="$t: ${runs:-?} runs, ${rate:-?} exec/s, coverage ${cov:-?}, new findings $((after - before))"
    if [ "$status" -ne 0 ] || [ "$after" -ne "$before" ]; then
        found=1
        line="$line  <-- see $log"
        grep -E 'ERROR|runtime error|fuzz property failed|Test unit written' "$log" | head -5
    fi
    echo "$line"
    summary="$summary$line
"
done

echo
printf '%s' "$summary"
exit "$found"
