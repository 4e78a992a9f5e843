#!/usr/bin/env python3
"""The cost of saving the game at the start of every turn.

Replays the scripted five-player game of floor_compare.py (70 turns, so 70 saves, then the
final standings, which add the game to the record, and Q at the title menu) through the real
program, its screens to /dev/null, with KESSANDOR_SAVE=0 and KESSANDOR_SAVE=1 alternately,
many times, the player's folders in a temporary folder on the disk given (the record is
written in both). Prints the medians of the CPU time (user + system, from wait4) and of the
wall time of each, and their ratios.

    bench/save_compare.py --game build/bench/src/kessandor [--runs 400] [--folder /var/tmp]

With --against OTHER (another build of the game), compares the two builds instead, saving on
in both: OTHER's figures come first, and the ratio and the difference are the game's against it.
"""
import argparse
import os
import statistics
import tempfile
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent


def run(game, answers, env):
    """One game; returns (CPU seconds, wall seconds)."""
    read_end, write_end = os.pipe()
    os.write(write_end, answers)
    os.close(write_end)
    with open(os.devnull, "wb") as devnull:
        start = time.perf_counter()
        pid = os.posix_spawn(game, [game, "--seed", "1700000000"], env, setsid=True,
                             file_actions=[(os.POSIX_SPAWN_DUP2, read_end, 0),
                                           (os.POSIX_SPAWN_DUP2, devnull.fileno(), 1)])
        os.close(read_end)
        _, status, usage = os.wait4(pid, 0)
        wall = time.perf_counter() - start
    assert status == 0, f"the game failed (wait status {status})"
    return usage.ru_utime + usage.ru_stime, wall


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--game", required=True)
    parser.add_argument("--against", help="another build: compare the two, saving on in both")
    parser.add_argument("--runs", type=int, default=400)
    parser.add_argument("--folder", default=None, help="where the temporary folders go")
    options = parser.parse_args()
    answers = (ROOT / "bench/five-player-game.input").read_bytes()
    if options.against:
        variants = {"--against": (options.against, "1"), "--game": (options.game, "1")}
    else:
        variants = {"saving off": (options.game, "0"), "saving on": (options.game, "1")}
    with tempfile.TemporaryDirectory(dir=options.folder) as home:
        env = dict(os.environ, XDG_DATA_HOME=home + "/data", XDG_STATE_HOME=home + "/state")
        times = {name: [] for name in variants}
        for i in range(10 + options.runs):
            for name, (game, save) in variants.items():
                measured = run(game, answers, dict(env, KESSANDOR_SAVE=save))
                if i >= 10:  # after the warm-up
                    times[name].append(measured)
        assert not list(Path(home, "state/kessandor").glob("*")), "a save was left behind"
    (first, one), (second, other) = times.items()
    for k, what in enumerate(("CPU time", "wall time")):
        a, b = (statistics.median(t[k] for t in runs) for runs in (one, other))
        print(f"{what}: {first} {a * 1e3:.2f} ms, {second} {b * 1e3:.2f} ms, ratio {b / a:.3f}, "
              f"difference {(b - a) * 1e6:.0f} us a game, {(b - a) / 70 * 1e6:.1f} us a save")


if __name__ == "__main__":
    main()
