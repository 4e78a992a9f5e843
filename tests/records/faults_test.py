#!/usr/bin/env python3
"""The saves and the record of finished games under faults, through the real binary:
- SIGKILL at random moments of runs that save every turn and record game after game: the
  record and every save always read whole, and the record never loses a game;
- 50 games finishing at once all land in the record;
- a read-only folder, a full disk (small tmpfs mounts in a mount namespace of their own) and no
  home: the game ends as usual and one line on standard error says what was not kept and why;
- a line of the record that cannot be read stays, left out of the hall of fame with a note;
- a truncated save and one from a newer version: one line each naming the file and what is
  wrong, exit status 1, the files untouched.

    faults_test.py KESSANDOR [KILLS]"""
import os
import pathlib
import random
import subprocess
import sys
import tempfile
import time

BINARY, KILLS = sys.argv[1], int(sys.argv[2]) if len(sys.argv) > 2 else 200
# A whole game of two players on --seed 34, back at the title menu.
GAME = (pathlib.Path(__file__).parent / "game.input").read_text().removesuffix("q\n")
NAMESPACE = ["unshare", "-m"] if os.geteuid() == 0 else ["unshare", "-rm"]
NOT_RECORDED = b"kessandor: the finished game was not recorded: "


def environment(home, **more):
    return dict(os.environ, XDG_DATA_HOME=home + "/data", XDG_STATE_HOME=home + "/state", **more)


def kessandor(home, args=("--seed", "34"), text=GAME + "q\n", before=(), env=None):
    return subprocess.run([*before, BINARY, *args], input=text.encode(), capture_output=True,
                          env=env or environment(home), timeout=600, start_new_session=True)


def record(home):
    path = pathlib.Path(home, "data/kessandor/scores")
    return path.read_bytes() if path.exists() else b""


def readable(home):
    """Every save and the record read whole; returns the number of games recorded."""
    scores = kessandor(home, ["--scores"], "")
    assert scores.returncode == 0 and not scores.stderr, scores.stderr
    saves = list(pathlib.Path(home, "state/kessandor").glob("*.save"))
    resume = kessandor(home, ["--resume"], "")  # one save: played to the end of input; more: listed
    assert resume.returncode == (0 if saves else 1) and (not saves or not resume.stderr), resume
    return record(home).count(b"\n") - 1


def start(home, **env):
    return subprocess.Popen([BINARY, "--seed", "34"], stdin=subprocess.PIPE, stderr=subprocess.PIPE,
                            stdout=subprocess.DEVNULL, env=environment(home, **env),
                            start_new_session=True)


def kills():
    with tempfile.TemporaryDirectory() as home:
        begun = time.monotonic()
        kessandor(home, text=GAME * 3, env=environment(home, KESSANDOR_SAVE="1"))
        span, games, cut = time.monotonic() - begun, readable(home), 0
        for _ in range(KILLS):
            run = start(home, KESSANDOR_SAVE="1")
            run.stdin.write((GAME * 3).encode())
            run.stdin.close()
            time.sleep(random.uniform(0, span))
            run.kill()
            run.wait()
            for temporary in pathlib.Path(home).rglob("*.tmp"):  # killed in the middle of a write
                cut += 1
                temporary.unlink()
            games, before = readable(home), games
            assert games >= before, "the record lost a game"
        print("%d kills, %d in the middle of a write; %d games recorded" % (KILLS, cut, games))


def crowd():
    with tempfile.TemporaryDirectory() as home:
        runs = [start(home) for _ in range(50)]
        for run in runs:  # each waits at the title menu until now
            run.stdin.write((GAME + "q\n").encode())
            run.stdin.close()
        assert all(run.wait() == 0 and not run.stderr.read() for run in runs)
        assert readable(home) == 50


def on_tmpfs(home, how, scores):
    """A game on a small tmpfs that holds `scores` and is then made read-only or full; fails
    with status 99 when the record is not `scores` after the game, before the mount goes."""
    script = ('mount -t tmpfs -o size=64k kessandor "$1" && mkdir "$1/kessandor" && '
              'cp "$0" "$1/kessandor/scores" && if [ "$2" = ro ]; then mount -o remount,ro "$1";'
              ' else cat /dev/zero >"$1/filler" 2>/dev/null; fi; shift 2; "$@" && '
              'cmp -s "$0" "$(dirname "$0")/data/kessandor/scores" || exit 99')
    os.makedirs(home + "/data")
    pathlib.Path(home, "old").write_bytes(scores)
    return kessandor(home, before=[*NAMESPACE, "sh", "-c", script, home + "/old", home + "/data",
                                   how])


def refusals():
    with tempfile.TemporaryDirectory() as home:  # a game recorded, then one with no home
        kessandor(home)
        alone = kessandor(home, env={"PATH": os.environ.get("PATH", "")})
        assert alone.returncode == 0 and alone.stderr == NOT_RECORDED + (
            b"HOME is not set, so there is no home folder\n"), alone.stderr
        scores = record(home)
    mounts = subprocess.run([*NAMESPACE, "true"], capture_output=True).returncode == 0
    if not mounts:
        print("SKIPPED the read-only and the full disk: no mount namespace here")
    for how, why in (("ro", b"Read-only file system"), ("full", b"No space left on device")):
        with tempfile.TemporaryDirectory() as home:
            run = on_tmpfs(home, how, scores) if mounts else None
            assert not run or run.returncode == 0 and run.stdout.endswith(
                b"[Your Choice][?] ") and run.stderr.startswith(NOT_RECORDED) and \
                run.stderr.endswith(why + b"\n") and run.stderr.count(b"\n") == 1, run
    with tempfile.TemporaryDirectory() as home:  # an unreadable line, then a newer record
        path = pathlib.Path(home, "data/kessandor/scores")
        kessandor(home)
        path.write_bytes(record(home) + b"2026-12-07T19:17:00Z 1 robots R2 5 1\n")
        old = record(home)
        kessandor(home)
        assert record(home).startswith(old) and record(home).count(b"\n") == 4, record(home)
        assert kessandor(home, ["--scores"], "").stderr == (
            b"kessandor: %s: line 3 cannot be read and is left out\n" % bytes(path))
        path.write_bytes(b"kessandor-scores 2 (from later)\n")
        assert kessandor(home).stderr == NOT_RECORDED + (
            b"%s was written by a newer version of Kessandor (record format 2)\n" % bytes(path))
        assert record(home) == b"kessandor-scores 2 (from later)\n"
    with tempfile.TemporaryDirectory() as home:  # two saves made unreadable
        for _ in range(2):
            kessandor(home, text=GAME[:200], env=environment(home, KESSANDOR_SAVE="1"))
        cut, newer = sorted(pathlib.Path(home, "state/kessandor").glob("*.save"))
        cut.write_bytes(cut.read_bytes()[:300])
        newer.write_bytes(newer.read_bytes().replace(b"kessandor-save 1", b"kessandor-save 2", 1))
        saved = cut.read_bytes(), newer.read_bytes()
        resume = kessandor(home, ["--resume"])
        assert resume.returncode == 1 and resume.stderr == (
            b"kessandor: %s is truncated: it ends before its last line\n"
            b"kessandor: %s was saved by a newer version of Kessandor (save format 2)\n" % (
                bytes(cut), bytes(newer))), resume.stderr
        assert (cut.read_bytes(), newer.read_bytes()) == saved


refusals()
crowd()
kills()
