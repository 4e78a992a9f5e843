#!/usr/bin/env python3
"""The saves and the record of finished games under faults, through the real binary:
- SIGKILL in the middle of writes, at random places of runs that save every turn and record
  game after game: the record and every save always read whole, the record never loses a
  game, and a game never leaves more than one temporary file;
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
import signal
import subprocess
import sys
import tempfile
import time

BINARY, KILLS = sys.argv[1], int(sys.argv[2]) if len(sys.argv) > 2 else 40
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


def temporaries(home):
    return set(pathlib.Path(home).glob("*/kessandor/*.tmp"))


def kill_in_a_write(home, lines):
    """Gives a run `lines` up to a random one of their first two thirds and, once it waits for
    that line (its input is all it can wait for here), the rest; then stops it again and again
    until it is caught with a temporary file of its own, in the middle of a write, and kills it
    there. False when it ends first."""
    before, run = temporaries(home), start(home, KESSANDOR_SAVE="1")
    line, deadline = random.randrange(len(lines) * 2 // 3), time.monotonic() + 60
    run.stdin.write("".join(lines[:line]).encode())
    run.stdin.flush()
    while pathlib.Path("/proc/%d/stat" % run.pid).read_text().rsplit(") ", 1)[1][0] != "S":
        assert time.monotonic() < deadline, "no wait for line %d" % (line + 1)
        time.sleep(0.001)
    run.stdin.write("".join(lines[line:]).encode())
    run.stdin.close()
    caught = False
    while not caught and run.poll() is None:
        run.send_signal(signal.SIGSTOP)
        if not os.WIFSTOPPED(os.waitpid(run.pid, os.WUNTRACED)[1]):
            break  # it ended
        caught = bool(temporaries(home) - before)
        run.send_signal(signal.SIGKILL if caught else signal.SIGCONT)
        time.sleep(0.0002)  # to let it run on
    run.wait()
    return caught


def kills():
    with tempfile.TemporaryDirectory() as home:
        games, cut = readable(home), 0
        for _ in range(KILLS):
            cut += kill_in_a_write(home, (GAME * 3).splitlines(keepends=True))
            games, before = readable(home), games
            assert games >= before, "the record lost a game"
        # Each temporary file is "<the file it replaces>.<16 random hex digits>.tmp".
        left = [path.name.removesuffix(".tmp").rsplit(".", 1) for path in temporaries(home)]
        assert all(len(part) == 16 for _, part in left), left
        saves_left = [name for name, _ in left if name != "scores"]
        assert all(name.endswith(".save") for name in saves_left), left
        assert len(saves_left) == len(set(saves_left)), left  # one a game
        assert cut >= KILLS // 4, "%d of %d kills were in the middle of a write" % (cut, KILLS)
        print("%d kills in the middle of a write of %d; %d games recorded" % (cut, KILLS, games))


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
