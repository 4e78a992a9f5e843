#!/usr/bin/env bash
# The computer's levels stay a ladder: a short arena run (seconds) that fails when easy no
# longer loses to normal, normal to hard, or greedy to hard, each with 95% confidence. The
# games are dealt from fixed seeds, so a run gives the same result every time on the same code.
# Needs the bench build (.ci/run builds it first).
set -euo pipefail
cd "$(dirname "$0")/.."
source .ci/lib.sh

arena=build/bench/bench/kessandor_arena
section "The computer's levels: normal beats easy, hard beats normal and greedy"
"$arena" --games 300 --threads 2 --expect-above 50 normal easy
"$arena" --games 40 --threads 2 --expect-above 50 hard normal
"$arena" --games 40 --threads 2 --expect-above 50 hard greedy
