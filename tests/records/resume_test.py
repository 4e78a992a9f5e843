#!/usr/bin/env python3
"""A two-player game cut off by the end of its input on day 3 and resumed goes on exactly as the
same game played without a break: from the resumed turn on, the resumed run writes the end of
the unbroken game's output, title menu included. Then the save is gone, with the temporary file
a save cut short by a kill leaves, and the record holds the same game as the unbroken run's. A
game played from a pipe leaves no save. With two saves, both are listed and the chosen one goes
on the same way.

    resume_test.py KESSANDOR"""
import os
import pathlib
import re
import subprocess
import sys
import tempfile

GAME = (pathlib.Path(__file__).parent / "game.input").read_text().splitlines(keepends=True)
TURN, CUT = 27, 30  # P2's turn on day 3 answers lines 28 to 33; the input ends after line 30


def run(home, args, lines, **env):
    env = dict(os.environ, XDG_DATA_HOME=home + "/data", XDG_STATE_HOME=home + "/state", **env)
    text = b"".join(line if isinstance(line, bytes) else line.encode() for line in lines)
    done = subprocess.run([sys.argv[1], *args], input=text, env=env,
                          capture_output=True, timeout=120, start_new_session=True)
    assert done.returncode == 0 and not done.stderr, (args, done.returncode, done.stderr)
    return done.stdout


def saves(home):
    return list(pathlib.Path(home, "state/kessandor").glob("*.save"))


def leftovers(home):
    return list(pathlib.Path(home, "state/kessandor").glob("*"))


def games(home):
    """The record's games without the time each ended."""
    lines = pathlib.Path(home, "data/kessandor/scores").read_text().splitlines()
    return [line.split(" ", 1)[1] for line in lines[1:]]


with tempfile.TemporaryDirectory() as whole, tempfile.TemporaryDirectory() as cut:
    unbroken = run(whole, ["--seed", "34"], GAME)
    assert not leftovers(whole), "a game played from a pipe left a save"
    first = run(cut, ["--seed", "34"], GAME[:CUT], KESSANDOR_SAVE="1")
    assert re.findall(rb"\[(\w+)'s Turn\] +\[Day: (\d+)\]", first)[-1] == (b"P2", b"3")
    assert len(saves(cut)) == 1, saves(cut)
    pathlib.Path(str(saves(cut)[0]) + ".tmp").write_text("a save cut short")  # by a kill
    resumed = run(cut, ["--resume"], GAME[TURN:], KESSANDOR_SAVE="0")  # goes with the save
    assert resumed.startswith(b"\f") and b"[P2's Turn]          [Day: 3]" in resumed[:2000]
    assert unbroken.endswith(resumed), "the resumed game went another way"
    assert not leftovers(cut), leftovers(cut)  # the save, its temporary and its lock file
    assert len(games(whole)) == 1 and games(cut) == games(whole), (games(cut), games(whole))
    run(cut, ["--seed", "34"], GAME[:CUT], KESSANDOR_SAVE="1")  # with another save: a choice
    run(cut, ["--seed", "34"], GAME[:TURN - 6], KESSANDOR_SAVE="1")
    listing = run(cut, ["--resume"], [])
    assert listing.count(b"P1, P2   day ") == 2, listing
    choice = re.search(rb"\n(\d)  P1, P2   day 3   saved ", listing)[1]
    chosen = run(cut, ["--resume"], [choice + b"\n", *GAME[TURN:]])
    assert unbroken.endswith(chosen.split(b"resume][?]: ", 1)[1]) and len(saves(cut)) == 1
print("resumed at day 3 and played the %d bytes the unbroken game wrote from there" % len(resumed))
