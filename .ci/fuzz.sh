#!/usr/bin/env bash
# Fuzzing: builds the libFuzzer targets (clang, ASan + UBSan) and runs each one for a bounded
# time over a copy of its seed corpus; the checkout is never written to. Any crash, leak,
# timeout (a hang: every input must end the program) or sanitizer report fails the run.
#   FUZZ_SECONDS  time per target, default 60
set -euo pipefail
cd "$(dirname "$0")/.."
source .ci/lib.sh

need_packages cmake make clang libclang-rt-14-dev

seconds="${FUZZ_SECONDS:-60}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

section "Fuzz targets: build"
cmake --preset fuzz -DKESSANDOR_WERROR=ON >/dev/null
cmake --build --preset fuzz

# The generator replays every session through the program before writing it, so this also
# proves that the scripted games still play as the rules say.
section "Seed corpora: regenerate and replay"
build/fuzz/fuzz/kessandor_make_corpus "$work/regenerated"
if ! diff -r fuzz/corpus "$work/regenerated" >/dev/null; then
    echo "note: fuzz/corpus is not what kessandor_make_corpus writes today; regenerate it with"
    echo "      build/fuzz/fuzz/kessandor_make_corpus fuzz/corpus"
fi

export UBSAN_OPTIONS=print_stacktrace=1
failed=0
for target in program console; do
    section "Fuzzing $target for ${seconds} s"
    mkdir -p "$work/corpus-$target" "$work/found-$target"
    cp fuzz/corpus/"$target"/* "$work/corpus-$target/"
    if build/fuzz/fuzz/fuzz_"$target" "$work/corpus-$target" \
        -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=16384 \
        -artifact_prefix="$work/found-$target/" -print_final_stats=1 >"$work/$target.log" 2>&1; then
        grep -E '^(Done|stat::)' "$work/$target.log"
    else
        failed=1
        tail -n 80 "$work/$target.log"
        for found in "$work/found-$target"/*; do
            [ -f "$found" ] || continue
            echo "input that failed ($(basename "$found")), base64:"
            base64 -w 0 "$found"
            echo
        done
        echo "reproduce: base64 -d > input; build/fuzz/fuzz/fuzz_$target input"
    fi
done

[ "$failed" -eq 0 ] || { echo "fuzzing found a fault"; exit 1; }
section "Fuzzing passed"
