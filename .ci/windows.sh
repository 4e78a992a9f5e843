#!/usr/bin/env bash
# The Windows leg of CI: cross-compiles kessandor.exe with mingw-w64 and plays one whole game
# with it under wine, from the title menu to the final standings and back to Q: the first
# recorded transcript under tests/transcripts/ that goes that far, whose output the .exe must
# write byte for byte (line ends aside), or else a scripted one-player game of its own.
# Exits 0 when the .exe builds and the game passes; a machine without wine gets a loud
# warning and the game is skipped. Run from the repository: bash .ci/windows.sh
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

if ! need_packages wine wine64 || ! command -v wine >/dev/null; then
    printf '\n%s\n' "!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!"
    echo "!!! WARNING: wine could not be installed: kessandor.exe was built but NOT played."
    echo "!!! The Windows game test is SKIPPED on this machine."
    printf '%s\n\n' "!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!"
    exit 0
fi

WINEPREFIX=$(mktemp -d)
export WINEPREFIX WINEDEBUG=-all
trap 'wineserver -k >/dev/null 2>&1 || true; rm -rf "$WINEPREFIX"' EXIT
# Set the fresh prefix up first, so the game's deadlines measure the game alone.
timeout 120 wineboot --init >/dev/null 2>&1 || true

version=$(timeout 60 wine "$exe" --version </dev/null 2>&1 | tr -d '\r') || true
[ "$version" = "kessandor 1.0" ] || { echo "kessandor.exe --version says '$version'" >&2; exit 1; }

# A transcript that ends well, reaches the final standings and ends with Q at the title menu.
transcript=""
for folder in tests/transcripts/*/; do
    if [ -f "$folder/input" ] && [ ! -e "$folder/status" ] &&
        grep -q '^Rank     Player         Net Worth' "$folder/output" &&
        [ "$(tail -n 1 "$folder/input" | tr -d '[:space:]')" = q ]; then
        transcript=${folder%/}
        break
    fi
done

if [ -n "$transcript" ]; then
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
    exit 0
fi

section "Windows: one scripted game of kessandor.exe under wine"
timeout 150 python3 - "$exe" <<'PYTHON'
"""Plays one one-player game of kessandor.exe through pipes and checks the transcript.

The map is random, so the driver reads the offered spots from the screen before it answers.
Standard input, output and error are all pipes and the game runs in a session of its own,
so the console keyboard cannot be opened and every key wait returns at once."""
import os
import re
import selectors
import subprocess
import sys
import tempfile
import time

PROMPT_DEADLINE = 60  # seconds for the game to reach its next prompt
TITLE_MENU = "[Your Choice][?] "
PLAYERS = "[How many people are playing][?]: "
NAME = "[What is player 1's name][?]: "
TURN_MENU = "[Choice][?]  "
BUILD = "[Where Do you Wish to Build][?] "
STOCK = "[Choice]?  "
SPOTS_HEADING = "[Here are coordinates you can build on][:]"

errors = tempfile.TemporaryFile()
game = subprocess.Popen(["wine", sys.argv[1]], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                        stderr=errors, start_new_session=True)
watch = selectors.DefaultSelector()
watch.register(game.stdout, selectors.EVENT_READ)
transcript = ""
answered_at = -1  # the length of the transcript when the last answer went in


def fail(message):
    game.kill()
    tail = transcript[-1500:]
    sys.exit(f"FAIL: {message}\n--- last screen ---\n{tail}")


def wait_for_prompt(prompts):
    """Reads the game's output until it stops at one of the prompts; returns that prompt."""
    global transcript
    deadline = time.monotonic() + PROMPT_DEADLINE
    while len(transcript) == answered_at or not any(transcript.endswith(p) for p in prompts):
        left = deadline - time.monotonic()
        if left <= 0 or not watch.select(left):
            fail(f"no prompt among {prompts} within {PROMPT_DEADLINE} s")
        chunk = os.read(game.stdout.fileno(), 65536)
        if not chunk:
            fail(f"the game ended before any of {prompts}")
        # Windows ends lines with CR LF; each cleared window is a form feed.
        transcript += chunk.decode("latin-1").replace("\r", "").replace("\f", "")
    return next(p for p in prompts if transcript.endswith(p))


def answer(text):
    global answered_at
    answered_at = len(transcript)
    game.stdin.write(text.encode() + b"\n")
    game.stdin.flush()


def offered_spot():
    lines = transcript.split("\n")
    heading = max(i for i, line in enumerate(lines) if line == SPOTS_HEADING)
    spots = lines[heading + 1].split()
    if len(spots) != 5 or not all(re.fullmatch(r"[A-L][1-9]", s) for s in spots):
        fail(f"the offered spots are not five coordinates: {lines[heading + 1]!r}")
    return spots[0]


wait_for_prompt([TITLE_MENU])
answer("S")
wait_for_prompt([PLAYERS])
answer("1")
wait_for_prompt([NAME])
answer("Ann")
while (prompt := wait_for_prompt([TURN_MENU, BUILD, STOCK, TITLE_MENU])) != TITLE_MENU:
    answer({TURN_MENU: "B", STOCK: "E"}.get(prompt) or offered_spot())
answer("Q")
try:
    status = game.wait(PROMPT_DEADLINE)
except subprocess.TimeoutExpired:
    fail("the game did not end after Q")
transcript += game.stdout.read().decode("latin-1").replace("\r", "").replace("\f", "")
errors.seek(0)
complaints = errors.read().decode("latin-1")

banner = "                  Welcome to Kessandor!"
days = [int(d) for d in re.findall(r"^\[Ann's Turn\]          \[Day: (\d+)\]$", transcript, re.M)]
standings = transcript.rfind("*** Incoming Announcement ***")
ranks = re.findall(r"^\d+        .*             \$-?\d+$", transcript, re.M)
checks = {
    "exit status 0": status == 0,
    "nothing on standard error": complaints == "",
    "title banner first": transcript.lstrip("\n").startswith(banner),
    "days 1 to 22 in order": sorted(set(days)) == list(range(1, 23)) and days == sorted(days),
    "final standings shown": standings >= 0,
    "standings heading": "Rank     Player         Net Worth" in transcript[standings:],
    "one rank line, for Ann": len(ranks) == 1 and re.match(r"1        Ann ", ranks[0]),
    "title menu after the standings": transcript.find(banner, standings) > standings,
}
for name, passed in checks.items():
    print(f"{'ok  ' if passed else 'FAIL'} {name}")
if not all(checks.values()):
    fail("the Windows game did not go as expected")
print(f"kessandor.exe played {len(set(days))} days under wine")
PYTHON
