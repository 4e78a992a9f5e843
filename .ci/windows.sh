#!/usr/bin/env bash
# The Windows leg of CI: cross-compiles kessandor.exe with mingw-w64 and plays one whole game
# with it under wine, from the title menu to the final standings and back to Q: the first
# recorded transcript under tests/transcripts/ that goes that far, whose output the .exe must
# write byte for byte (line ends aside). Wine is installed when it is missing, and a machine
# that cannot install it fails: a Windows build that was never played has not passed. The
# game keeps its files under the wine prefix, a temporary folder of its own.
# Run from the repository: bash .ci/windows.sh
# KESSANDOR_WINDOWS_BUILD_DIR picks another build directory than the preset's.
set -euo pipefail
cd "$(dirname "$0")/.."
source .ci/lib.sh

build_dir=${KESSANDOR_WINDOWS_BUILD_DIR:-build/windows}

need_packages cmake make g++-mingw-w64-x86-64-posix

section "Windows: cross-compiling kessandor.exe with mingw-w64, warnings as errors"
cmake --preset windows -B "$build_dir" -DKESSANDOR_WERROR=ON >/dev/null
cmake --build "$build_dir" -j2
exe="$build_dir/src/kessandor.exe"
test -f "$exe"

# A static link leaves only DLLs that every Windows has.
imports=$(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^\s*DLL Name: //p' | tr '[:upper:]' '[:lower:]')
echo "kessandor.exe imports: ${imports//$'\n'/ }"
for dll in $imports; do
    case "$dll" in
    kernel32.dll | msvcrt.dll | user32.dll | advapi32.dll) ;;
    *)
        echo "kessandor.exe needs $dll, which a player's machine may lack" >&2
        exit 1
        ;;
    esac
done

need_packages wine wine64
command -v wine >/dev/null || { echo "wine is installed but not on PATH" >&2; exit 1; }

WINEPREFIX=$(mktemp -d)
# No menu entries or file associations of wine in the user's own desktop folders.
export WINEPREFIX WINEDEBUG=-all WINEDLLOVERRIDES=winemenubuilder.exe=d
trap 'wineserver -k >/dev/null 2>&1 || true; rm -rf "$WINEPREFIX"' EXIT
# Set the fresh prefix up first, so the game's deadlines measure the game alone.
timeout 120 wineboot --init >/dev/null 2>&1 || true

version=$(timeout 60 wine "$exe" --version </dev/null 2>&1 | tr -d '\r') || true
[ "$version" = "kessandor 1.0" ] || { echo "kessandor.exe --version says '$version'" >&2; exit 1; }

# A transcript that ends well, reaches the final standings and ends with Q at the title menu.
transcript=""
for folder in tests/transcripts/*/; do
    if [ -f "$folder/input" ] && [ ! -e "$folder/status" ] && [ ! -e "$folder/data" ] &&
        grep -q '^Rank     Player         Net Worth' "$folder/output" &&
        [ "$(tail -n 1 "$folder/input" | tr -d '[:space:]')" = q ]; then
        transcript=${folder%/}
        break
    fi
done

if [ -z "$transcript" ]; then
    echo "no transcript in tests/transcripts/ plays a whole game and ends with Q" >&2
    exit 1
fi

section "Windows: kessandor.exe under wine plays $transcript"
# In a session of its own, the game has no console: every key wait returns at once and
# each cleared window is a form feed, as on the pipe the transcript was recorded from.
status=0
# shellcheck disable=SC2046  # the arguments are words
timeout 150 setsid -w wine "$exe" $(cat "$transcript/args") <"$transcript/input" \
    >"$WINEPREFIX/output" 2>"$WINEPREFIX/errors" || status=$?
tr -d '\r' <"$WINEPREFIX/output" >"$WINEPREFIX/output.lf"
if [ "$status" != 0 ] || [ -s "$WINEPREFIX/errors" ] ||
    ! cmp -s "$WINEPREFIX/output.lf" "$transcript/output"; then
    echo "kessandor.exe: exit status $status, standard error:" >&2
    cat "$WINEPREFIX/errors" >&2
    diff "$transcript/output" "$WINEPREFIX/output.lf" | head -40 >&2
    exit 1
fi
echo "kessandor.exe wrote $transcript/output byte for byte and exited with status 0"
