#!/usr/bin/env bash
# Static analysis of the game's sources: clang-tidy with the project's .clang-tidy, cppcheck,
# and the formatting check.
set -euo pipefail
cd "$(dirname "$0")/.."
source .ci/lib.sh

need_packages clang-tidy cppcheck clang-format

section "clang-tidy"
cmake --preset debug >/dev/null  # writes compile_commands.json
sources=$(git ls-files 'src/*.cpp' | grep -v '_windows\.cpp$')
# Warnings are errors (see .clang-tidy), so the exit status tells.
# One file per run, two at a time: the machine has two cores.
echo "$sources" | xargs -P 2 -n 1 clang-tidy --quiet -p build/debug \
    2> >(grep -v -E '^[0-9]+ warnings? generated' >&2)

section "cppcheck"
cppcheck --enable=warning,performance,portability,style --std=c++20 --language=c++ \
    --inline-suppr --quiet --error-exitcode=1 -I src src

section "clang-format"
git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run --Werror
