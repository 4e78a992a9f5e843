#!/usr/bin/env bash
# Fuzzing: builds the whole-program libFuzzer target (clang, ASan + UBSan), replays every
# transcript through it, then fuzzes for a bounded time starting from them. The seed corpus is
# made in a temporary directory from tests/transcripts/*/ (args, then input); the checkout is
# never written to. Any crash, leak, timeout (a hang: every input must end the program) or
# sanitizer report fails the run.
#   FUZZ_SECONDS  time to fuzz, default 60
set -euo pipefail
cd "$(dirname "$0")/.."
source .ci/lib.sh

need_packages cmake make clang libclang-rt-14-dev

seconds="${FUZZ_SECONDS:-60}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
fuzzer=build/fuzz/fuzz/fuzz_program

section "Fuzz target: build"
cmake --preset fuzz -DKESSANDOR_WERROR=ON >/dev/null
cmake --build --preset fuzz

mkdir -p "$work/corpus" "$work/found"
for transcript in tests/transcripts/*/; do
    cat "$transcript/args" "$transcript/input" >"$work/corpus/$(basename "$transcript")"
done

export UBSAN_OPTIONS=print_stacktrace=1
section "Replaying the transcripts"
"$fuzzer" "$work/corpus"/* -timeout=10 >"$work/replay.log" 2>&1 || {
    tail -n 80 "$work/replay.log"
    exit 1
}

section "Fuzzing for ${seconds} s"
if "$fuzzer" "$work/corpus" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -max_len=16384 -artifact_prefix="$work/found/" -print_final_stats=1 >"$work/fuzz.log" 2>&1; then
    grep -E '^(Done|stat::)' "$work/fuzz.log"
else
    tail -n 80 "$work/fuzz.log"
    for found in "$work/found"/*; do
        [ -f "$found" ] || continue
        echo "input that failed ($(basename "$found")), base64:"
        base64 -w 0 "$found"
        echo
    done
    echo "reproduce: base64 -d > input; $fuzzer input"
    exit 1
fi
section "Fuzzing passed"
