#!/usr/bin/env python3
"""Plays the person's side of a game against computers and writes what was typed to DIR/input.

    python3 tests/transcripts/play_person.py KESSANDOR DIR

For re-recording a transcript whose computers now play differently, so that the person's
answers fit the new game: the first lines of the old input (the set-up, up to the name) are
kept; then at every turn the person builds on one of the offered spots (they take turns, so
that each of the five places of the list is used) and buys half of what it can afford of each
company it is offered; after the final standings it quits at the title menu. The answers are
typed only when the game asks, so a prompt that never comes fails the run (120 s at most).
Then record the transcript with run.py --record and check it with rules_check.py.
"""
import os
import re
import select
import subprocess
import sys
import tempfile
import time
from pathlib import Path

PROMPTS = [
    (re.compile(r"\[Your Choice\]\[\?\] $"), "title"),
    (re.compile(r"\[Choice\]\[\?\]  $"), "turn"),
    (re.compile(r"\[Where Do you Wish to Build\]\[\?\] $"), "build"),
    (re.compile(r"\[Choice\]\?  $"), "stock"),
    (re.compile(r"Can buy (\d+)\]: $"), "shares"),
]


def main(binary, folder):
    setup = (folder / "input").read_text().split("\n")
    setup = setup[:next(i for i, line in enumerate(setup) if line == "Ann") + 1]
    typed = list(setup)
    args = (folder / "args").read_text().split()
    with tempfile.TemporaryDirectory() as home:
        env = dict(os.environ, XDG_DATA_HOME=home + "/data", XDG_STATE_HOME=home + "/state")
        game = subprocess.Popen([binary, *args], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                env=env, start_new_session=True)
        game.stdin.write(("\n".join(setup) + "\n").encode())
        game.stdin.flush()
        seen, turns, bought, titles = "", 0, False, 0
        deadline = time.monotonic() + 120
        while game.poll() is None and time.monotonic() < deadline:
            ready, _, _ = select.select([game.stdout], [], [], 1)
            if not ready:
                continue
            chunk = os.read(game.stdout.fileno(), 65536).decode(errors="replace")
            if not chunk:
                break
            seen += chunk
            for pattern, name in PROMPTS:
                found = pattern.search(seen)
                if not found:
                    continue
                if name == "title":
                    titles += 1
                    answer = "q" if titles > 1 else None
                elif name == "turn":
                    answer, bought = "b", False
                elif name == "build":
                    offers = re.findall(r"[A-L][1-9]", seen.split("build on][:]")[-1])[:5]
                    answer = offers[turns % 5]
                    answer = answer.lower() if turns % 4 == 3 else answer
                    turns += 1
                elif name == "stock":
                    answer, bought = ("e", bought) if bought else ("b", True)
                else:
                    answer = str(int(found.group(1)) // 2)
                if answer is not None:
                    typed.append(answer)
                    game.stdin.write((answer + "\n").encode())
                    game.stdin.flush()
                seen = ""
                break
        game.stdin.close()
        game.wait(timeout=10)
    (folder / "input").write_text("\n".join(typed) + "\n")
    print("%s: %d turns typed" % (folder.name, turns))


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    main(sys.argv[1], Path(sys.argv[2]))
