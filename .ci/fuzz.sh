#!/usr/bin/env bash
# Fuzzing: builds the libFuzzer targets (clang, ASan + UBSan), replays each one's seed corpus
# through it, then fuzzes each for a bounded time starting from it.
#   fuzz_program  everything typed in one run; seeded with tests/transcripts/*/ (args, then input)
#   fuzz_save     a saved game, read, restored and played out; seeded with real saves, made by
#                 the game itself from transcripts cut short
#   fuzz_table    what a table's server writes on the table descriptor; seeded with its lines
#   fuzz_join     the terminal client's readers (links, status messages, the game's bytes);
#                 seeded with a few of each
# The corpora and saves are made in a temporary directory; the checkout is never written to.
# Any crash, leak, timeout (a hang: every input must end) or sanitizer report fails the run.
#   FUZZ_SECONDS  time to fuzz each target, default 20
set -euo pipefail
cd "$(dirname "$0")/.."
source .ci/lib.sh

need_packages cmake make clang libclang-rt-14-dev

seconds="${FUZZ_SECONDS:-20}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
targets=build/fuzz/fuzz

section "Fuzz targets: build"
cmake --preset fuzz -DKESSANDOR_WERROR=ON >/dev/null
cmake --build --preset fuzz

mkdir -p "$work/program" "$work/save" "$work/server" "$work/table" "$work/join" "$work/found"
for transcript in tests/transcripts/*/; do
    cat "$transcript/args" "$transcript/input" >"$work/program/$(basename "$transcript")"
done

# A save is written at the start of every turn and stays when the input ends in the middle of
# a game: the first `lines` of a transcript's input leave the save of the turn they reach.
save_from() {
    local transcript="tests/transcripts/$1" lines="$2" home="$work/home-$1"
    local args
    read -r -a args <"$transcript/args"
    head -n "$lines" "$transcript/input" |
        KESSANDOR_SAVE=1 XDG_STATE_HOME="$home/state" XDG_DATA_HOME="$home/data" \
            build/fuzz/src/kessandor "${args[@]}" >/dev/null
    cp "$home/state/kessandor/"game-*.save "$work/save/$1.save"
}
save_from two-players-20-days 60
save_from five-players-14-days 40
save_from one-person-against-two-computers-at-the-default-level 20
save_from one-person-against-four-hard-computers 30

# The server's seeds: the first byte picks the handler (0 table lines, 1 hello, 2 new table,
# 3 screen), the rest is a message of the kind the protocol describes.
printf '\0await menu\nawait count\nawait name 1\nawait line 0\nawait key any\nplayer 0 person Ann\nturn 1 3\nresult 2026-12-08T10:00:00Z 1 people Ann 9000 1\n' >"$work/server/lines"
printf '\1{"type":"hello","token":"abcdefghijklmnopqrstuvwxyz"}' >"$work/server/hello"
printf '\2{"computers":2,"level":"hard","seed":7}' >"$work/server/table"
printf '\3\x05abcde\x08\x1b[H\x1b[2J\x1b[3Jmap\n' >"$work/server/screen"
# The first byte says how many bytes each read takes, less one.
printf '\x00away 1\nback 1\n' >"$work/table/byte-by-byte"
printf '\xffaway 0\naway 4\naway 5\nback 0\n' >"$work/table/all-at-once"
printf '\x07%0300d\naway 2\n' 0 >"$work/table/overlong"
printf 'http://127.0.0.1:8475/t/abc-x7k2m9q4rt#ABCDEFGHIJKLMNOPQRSTUVWXYZ' >"$work/join/link"
printf 'ws://[::1]:80/' >"$work/join/server"
printf '%s' '{"type": "status", "table": "abc", "state": "playing", "day": 3, "awaiting":
 {"who": "player", "seat": 1, "name": "Bob"}, "seats": [{"seat": 0, "name": "Ann", "kind":
 "person", "connected": true, "computer_playing": false}], "spectators": 1, "you": 0}' \
    >"$work/join/status"
printf '\033[H\033[2J\033[3JWelcome\r\n\033]2;t\007Zo\303\253' >"$work/join/screen"

export UBSAN_OPTIONS=print_stacktrace=1
export TMPDIR="$work/tmp"  # where fuzz_save keeps its state folder, even after a crash
mkdir -p "$TMPDIR"

# fuzz TARGET MAX_LEN: replays the target's corpus, then fuzzes from it for $seconds.
fuzz() {
    local fuzzer="$targets/fuzz_$1" corpus="$work/$1"
    section "fuzz_$1: replaying its seed corpus"
    "$fuzzer" "$corpus"/* -timeout=10 >"$work/replay-$1.log" 2>&1 || {
        tail -n 80 "$work/replay-$1.log"
        exit 1
    }
    section "fuzz_$1: fuzzing for ${seconds} s"
    if "$fuzzer" "$corpus" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -max_len="$2" -dict="fuzz/$1.dict" -artifact_prefix="$work/found/" -print_final_stats=1 \
        >"$work/fuzz-$1.log" 2>&1; then
        grep -E '^(Done|stat::number_of_executed_units)' "$work/fuzz-$1.log"
    else
        tail -n 80 "$work/fuzz-$1.log"
        for found in "$work/found"/*; do
            [ -f "$found" ] || continue
            echo "input that failed ($(basename "$found")), base64:"
            base64 -w 0 "$found"
            echo
        done
        echo "reproduce: base64 -d > input; $fuzzer input"
        exit 1
    fi
}
fuzz program 16384
fuzz save 4096
fuzz server 4096
fuzz table 1024
fuzz join 4096
section "Fuzzing passed"
