#!/usr/bin/env python3
"""The cost of a whole game against its floor.

Replays a scripted five-player game through the real program (its answers through a pipe,
its screens to /dev/null, no controlling terminal so that every key wait returns at once),
and through kessandor_floor, a C program that only writes the same transcript with the same
write calls. The write boundaries come from the game itself: one run under
`strace -e trace=write` records every write to standard output, and the floor is checked,
also under strace, to make exactly the same calls with the same bytes.

The game's record of finished games and its saves go to a temporary folder (XDG_DATA_HOME and
XDG_STATE_HOME), never the user's own, emptied before each run: writing the record of one game
is part of what the game costs.

Then the two run alternately, many times, and the CPU time of each run (user + system, from
wait4's resource usage of the child) is compared: the ratio of the medians is what the game
costs above what its output demands.

    bench/floor_compare.py --game build/bench/src/kessandor --floor build/bench/bench/kessandor_floor
"""
import argparse
import os
import re
import shutil
import statistics
import subprocess
import sys
import tempfile
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
# A whole five-player game for seed 1700000000, 14 days with a four-way merger, then the
# final standings and Q at the title menu.
DEFAULT_SCRIPT = ROOT / "bench/five-player-game.input"
DEFAULT_SEED = "1700000000"

WRITE = re.compile(r'^(?:\d+ +)?write\((\d+), "((?:\\x[0-9a-f]{2})*)"(\.\.\.)?, (\d+)\) += (-?\d+)')


def spawn(command, answers, stdout_fd, env):
    """Starts `command` in a session of its own with `answers` through a pipe."""
    read_end, write_end = os.pipe()
    os.write(write_end, answers)  # a script is far smaller than a pipe's buffer
    os.close(write_end)
    try:
        return os.posix_spawn(command[0], command, env,
                              file_actions=[(os.POSIX_SPAWN_DUP2, read_end, 0),
                                            (os.POSIX_SPAWN_DUP2, stdout_fd, 1)],
                              setsid=True)
    finally:
        os.close(read_end)


def cpu_seconds(command, answers, devnull, env):
    """Runs `command` once; returns its user + system CPU time in seconds."""
    pid = spawn(command, answers, devnull, env)
    _, status, usage = os.wait4(pid, 0)
    if not os.WIFEXITED(status) or os.WEXITSTATUS(status) != 0:
        sys.exit(f"{command[0]} failed (wait status {status})")
    return usage.ru_utime + usage.ru_stime


def traced_writes(command, answers, work, env):
    """Runs `command` under strace; returns the bytes of each write to standard output."""
    trace = work / "trace"
    strace = [shutil.which("strace") or sys.exit("strace is needed: apt install strace"),
              "-f", "-qq", "-e", "trace=write", "-e", "signal=none", "-xx", "-s", "16777216",
              "-o", str(trace), "--"]
    with open(os.devnull, "wb") as devnull:
        pid = spawn(strace + command, answers, devnull.fileno(), env)
        _, status, _ = os.wait4(pid, 0)
    if status != 0:
        sys.exit(f"{command[0]} under strace failed (wait status {status})")
    writes = []
    for line in trace.read_text().splitlines():
        match = WRITE.match(line)
        if not match:
            continue
        fd, data, cut, size, result = match.groups()
        if fd == "2":
            sys.exit(f"{command[0]} wrote to standard error: {line[:120]}")
        if fd != "1":
            continue  # a file the game keeps: the record of finished games
        chunk = bytes.fromhex(data.replace("\\x", ""))
        if cut or len(chunk) != int(size) or result != size:
            sys.exit(f"a write of {command[0]} was cut or partial: {line[:120]}")
        writes.append(chunk)
    return writes


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--game", required=True, help="the kessandor binary")
    parser.add_argument("--floor", required=True, help="the kessandor_floor binary")
    parser.add_argument("--script", default=DEFAULT_SCRIPT, type=Path,
                        help="the players' answers (default: %(default)s)")
    parser.add_argument("--seed", default=DEFAULT_SEED, help="the game's --seed")
    parser.add_argument("--runs", type=int, default=400, help="runs of each (default 400)")
    args = parser.parse_args()

    game = [str(Path(args.game).resolve()), "--seed", args.seed]
    answers = args.script.read_bytes()
    with tempfile.TemporaryDirectory() as scratch:
        work = Path(scratch)
        # Each game ends in the final standings, which go to the record of finished games:
        # the game's record and saves are kept here, away from the user's own.
        env = dict(os.environ, XDG_DATA_HOME=str(work / "data"), XDG_STATE_HOME=str(work / "state"))
        writes = traced_writes(game, answers, work, env)
        chunks = work / "chunks"
        chunks.write_bytes(" ".join(str(len(w)) for w in writes).encode() + b"\n" + b"".join(writes))
        floor = [str(Path(args.floor).resolve()), str(chunks)]
        if traced_writes(floor, answers, work, env) != writes:
            sys.exit("the floor does not make the game's write calls")
        lines = sum(w.endswith(b"\n") for w in writes)
        print(f"transcript: {sum(map(len, writes))} bytes in {len(writes)} writes "
              f"({lines} ending a line, {len(writes) - lines} prompts); the floor makes the same")

        times = {"game": [], "floor": []}
        with open(os.devnull, "wb") as devnull:
            for run in range(args.runs + 10):  # the first ten warm the caches
                pair = [("game", game), ("floor", floor)]
                for name, command in pair if run % 2 == 0 else reversed(pair):
                    shutil.rmtree(work / "data", ignore_errors=True)  # a record of one game
                    seconds = cpu_seconds(command, answers, devnull.fileno(), env)
                    if run >= 10:
                        times[name].append(seconds)

    game_median = statistics.median(times["game"])
    floor_median = statistics.median(times["floor"])
    print(f"{args.runs} alternating runs of each, CPU time (user + system) per run:")
    for name in times:
        t = sorted(times[name])
        print(f"  {name:5}  median {statistics.median(t) * 1e3:.3f} ms   "
              f"quartiles {t[len(t) // 4] * 1e3:.3f} .. {t[3 * len(t) // 4] * 1e3:.3f} ms")
    print(f"ratio game / floor: {game_median / floor_median:.2f} (medians), "
          f"{sum(times['game']) / sum(times['floor']):.2f} (totals)")


if __name__ == "__main__":
    main()
