#!/usr/bin/env python3
"""The saves and the record against what another program, another copy of the game or a
hostile folder can do, through the real binary on pipes:
- a save in play is locked: a second copy refuses it and cannot delete it;
- --saves lists every save and --forget deletes one, but not one in play;
- saves are named and written so that games of other process-id namespaces never collide;
- a game started after a resumed one from a pipe leaves no save;
- only regular files of a sane size are read: a huge save, a fifo as the record;
- no temporary file, lock or record is ever followed through a symbolic link;
- a record locked by another program for long costs a moment, not the game: it waits beside
  the record and joins it later;
- folders are their owner's alone, new files too, and a replaced file keeps its permissions;
- bytes of a file or a file name never reach the terminal as controls;
- a reader that goes away and a file-size limit are failed writes with one line each;
- the reasons given say what is wrong (an unlistable folder, a relative HOME).

    hazards_test.py KESSANDOR"""
import fcntl
import os
import pathlib
import re
import resource
import select
import shutil
import stat
import subprocess
import sys
import tempfile
import time
import unittest

BINARY = sys.argv[1] if __name__ == "__main__" else os.environ["KESSANDOR_BINARY"]
GAME = (pathlib.Path(__file__).parent / "game.input").read_text().splitlines(keepends=True)
TURN, CUT = 27, 30  # P2's turn on day 3 answers lines 28 to 33; the input ends after line 30
DEADLINE = 20  # seconds for anything awaited; generous for the sanitizer build
TURN_MENU = b"[Choice][?]  "
NOT_RECORDED = b"kessandor: the finished game was not recorded: "


def environment(home, **more):
    return dict(os.environ, XDG_DATA_HOME=home + "/data", XDG_STATE_HOME=home + "/state", **more)


def run(home, args=("--seed", "34"), lines=GAME, env=None, before=(), **options):
    text = "".join(lines).encode()
    return subprocess.run([*before, BINARY, *args], input=text, capture_output=True,
                          env=env or environment(home), timeout=DEADLINE * 3,
                          start_new_session=True, **options)


def save_one(home):
    """Leaves one save of the two-player game at P2's turn on day 3; returns its path."""
    run(home, lines=GAME[:CUT], env=environment(home, KESSANDOR_SAVE="1"))
    (path,) = state(home).glob("*.save")
    return path


def state(home):
    return pathlib.Path(home, "state/kessandor")


def data(home):
    return pathlib.Path(home, "data/kessandor")


def recorded(home):
    """The games of the record, without the time each ended."""
    lines = (data(home) / "scores").read_text().splitlines()[1:]
    return [line.split(" ", 1)[1] for line in lines]


def fnv(data_bytes):
    hash_value = 2166136261
    for byte in data_bytes:
        hash_value = ((hash_value ^ byte) * 16777619) & 0xFFFFFFFF
    return hash_value


def sealed(body):
    """A save's lines with the end line a sound save has: their length and checksum."""
    return body + b"end %d %08x\n" % (len(body), fnv(body))


class Waiting:
    """A copy of the game on pipes that has shown `shows` and waits for more input."""

    def __init__(self, home, args, shows, **env):
        self.game = subprocess.Popen([BINARY, *args], stdin=subprocess.PIPE,
                                     stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                     env=environment(home, **env), start_new_session=True)
        shown, deadline = b"", time.monotonic() + DEADLINE
        while shows not in shown and time.monotonic() < deadline:
            if select.select([self.game.stdout], [], [], 0.1)[0]:
                shown += os.read(self.game.stdout.fileno(), 65536)
        assert shows in shown, shown[-2000:]

    def end(self, text=b""):
        out, err = self.game.communicate(text, timeout=DEADLINE)
        return self.game.returncode, err


class Home(unittest.TestCase):
    def setUp(self):
        self.home = tempfile.mkdtemp(prefix="kessandor-hazards-")

    def tearDown(self):
        shutil.rmtree(self.home)


class Locking(Home):
    def test_a_save_in_play_is_refused_to_a_second_copy_and_survives_its_quit(self):
        save = save_one(self.home)
        first = Waiting(self.home, ["--resume"], TURN_MENU, KESSANDOR_SAVE="1")
        second = run(self.home, ["--resume"], ["q\n", "y\n"])
        self.assertEqual(second.returncode, 1)
        self.assertEqual(second.stderr, b"kessandor: %s is being played by another copy of "
                         b"Kessandor\n" % bytes(save))
        self.assertTrue(save.exists())
        self.assertEqual(first.end(), (0, b""))  # its input ends: the save stays for later
        again = run(self.home, ["--resume"], [])
        self.assertEqual((again.returncode, again.stderr), (0, b""))
        self.assertIn(b"[P2's Turn]          [Day: 3]", again.stdout)

    def test_a_save_listed_while_its_game_ends_is_never_left_locked(self):
        save = save_one(self.home)
        done = run(self.home, ["--resume"], GAME[TURN:])  # played to the end: all of it goes
        self.assertEqual((done.returncode, done.stderr), (0, b""))
        self.assertEqual(list(state(self.home).iterdir()), [])
        self.assertFalse(save.exists())

    def test_games_in_two_process_id_namespaces_keep_two_saves(self):
        # Both games are process 1 of their namespace and start in the same second.
        namespace = ["unshare", "-pf"] if os.geteuid() == 0 else ["unshare", "-rpf"]
        if subprocess.run([*namespace, "true"], capture_output=True).returncode != 0:
            self.skipTest("no process-id namespace here")
        env = environment(self.home, KESSANDOR_SAVE="1")
        games = [subprocess.Popen([*namespace, BINARY, "--seed", "34"], stdin=subprocess.PIPE,
                                  stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, env=env)
                 for _ in range(2)]
        for game in games:
            game.stdin.write("".join(GAME[:CUT]).encode())
            game.stdin.close()
        ends = [(game.wait(DEADLINE), game.stderr.read()) for game in games]
        for game in games:
            game.stderr.close()
        self.assertEqual(ends, [(0, b"")] * 2)
        self.assertEqual(len(list(state(self.home).glob("*.save"))), 2)
        self.assertEqual(list(state(self.home).glob("*.tmp")), [])

    def test_a_game_after_a_resumed_one_is_not_saved_from_a_pipe(self):
        save_one(self.home)
        run(self.home, ["--resume"], ["q\n", "y\n", "s\n", "1\n", "Zed\n", "b\n"])
        self.assertEqual(list(state(self.home).iterdir()), [])


class SavesList(Home):
    SAVED = rb"P1, P2   day 3   saved \d{4}-\d\d-\d\d \d\d:\d\d UTC"

    def test_saves_are_listed_and_forgotten_but_not_one_in_play(self):
        self.assertEqual(run(self.home, ["--saves"], []).stdout, b"No saved games.\n")
        save = save_one(self.home)
        cut = state(self.home) / "game-0-cut.save"
        cut.write_bytes(b"kessandor-save 1\n")
        listing = run(self.home, ["--saves"], [])
        self.assertEqual(listing.returncode, 0)
        self.assertRegex(listing.stdout, b"^1  " + self.SAVED + b"\n2  cannot be resumed: " +
                         re.escape(bytes(cut)) + b" is truncated: it ends before its last line\n$")
        forgot = run(self.home, ["--forget", "2"], [])
        self.assertEqual((forgot.returncode, forgot.stdout, forgot.stderr),
                         (0, b"Deleted saved game 2: %s\n" % bytes(cut), b""))
        self.assertFalse(cut.exists())
        playing = Waiting(self.home, ["--resume"], TURN_MENU, KESSANDOR_SAVE="1")
        self.assertEqual(run(self.home, ["--saves"], []).stdout,
                         b"1  in play elsewhere: %s is being played by another copy of "
                         b"Kessandor\n" % bytes(save))
        refused = run(self.home, ["--forget", "1"], [])
        self.assertEqual((refused.returncode, refused.stderr), (1, b"kessandor: %s is being "
                         b"played by another copy of Kessandor\n" % bytes(save)))
        self.assertTrue(save.exists())
        self.assertEqual(playing.end(), (0, b""))
        forgot = run(self.home, ["--forget", "1"], [])
        self.assertRegex(forgot.stdout, b"^Deleted saved game 1: " + self.SAVED + b"\n$")
        self.assertEqual(list(state(self.home).iterdir()), [])
        none = run(self.home, ["--forget", "5"], [])
        self.assertEqual((none.returncode, none.stderr),
                         (1, b"kessandor: there is no saved game 5: there are none\n"))


class Files(Home):
    def test_a_huge_save_is_refused_unread_and_the_sound_one_beside_it_resumes(self):
        save = save_one(self.home)
        huge = state(self.home) / "game-0-huge.save"
        with open(huge, "wb") as file:
            file.truncate(50 << 30)  # sparse: 50 GB that take no room
        resumed = run(self.home, ["--resume"], GAME[TURN:])
        self.assertEqual(resumed.returncode, 0)
        self.assertEqual(resumed.stderr, b"kessandor: %s cannot be read: larger than 65536 "
                         b"bytes\n" % bytes(huge))
        self.assertFalse(save.exists())
        self.assertEqual(len(recorded(self.home)), 1)

    def test_a_fifo_as_the_record_is_refused_at_once(self):
        data(self.home).mkdir(parents=True)
        os.mkfifo(data(self.home) / "scores")
        scores = run(self.home, ["--scores"], [])
        self.assertEqual(scores.returncode, 1)
        self.assertEqual(scores.stderr, b"kessandor: %s/scores: not a regular file\n"
                         % bytes(data(self.home)))
        game = run(self.home)
        self.assertEqual(game.returncode, 0)
        self.assertEqual(game.stderr, NOT_RECORDED + b"%s/scores: not a regular file\n"
                         % bytes(data(self.home)))

    def test_no_file_of_the_record_is_followed_through_a_symbolic_link(self):
        run(self.home)
        folder, victim = data(self.home), pathlib.Path(self.home, "victim")
        victim.write_text("someone else's file\n")
        (folder / "scores.tmp").symlink_to(victim)  # the temporary name of earlier versions
        run(self.home)
        self.assertEqual(victim.read_text(), "someone else's file\n")
        self.assertFalse((folder / "scores").is_symlink())
        self.assertEqual(len(recorded(self.home)), 2)
        for name in ("scores.lock", "scores"):
            with self.subTest(name):
                link = folder / name
                kept = folder / (name + ".kept")
                link.rename(kept)
                link.symlink_to(pathlib.Path(self.home, "nowhere"))
                game = run(self.home)
                self.assertEqual(game.stderr, NOT_RECORDED + b"%s: a symbolic link, which "
                                 b"Kessandor does not follow\n" % bytes(link))
                self.assertFalse(pathlib.Path(self.home, "nowhere").exists())
                link.unlink()
                kept.rename(link)
        self.assertEqual(victim.read_text(), "someone else's file\n")

    def test_a_record_held_by_another_program_keeps_the_game_for_later(self):
        data(self.home).mkdir(parents=True)
        with open(data(self.home) / "scores.lock", "w") as lock:
            fcntl.flock(lock, fcntl.LOCK_EX)
            started = time.monotonic()
            game = run(self.home)
            self.assertLess(time.monotonic() - started, DEADLINE)
        (pending,) = data(self.home).glob("pending-*.game")
        self.assertEqual(game.returncode, 0)
        self.assertEqual(game.stderr, b"kessandor: another program held the record of games for "
                         b"3 seconds: the finished game waits in %s and joins the record with "
                         b"the next game that ends\n" % bytes(pending))
        self.assertFalse((data(self.home) / "scores").exists())
        self.assertIn(b"2 players, people only:\n   1. P", run(self.home, ["--scores"], []).stdout)
        run(self.home)
        self.assertEqual(len(recorded(self.home)), 2)
        self.assertEqual(recorded(self.home)[0], recorded(self.home)[1])  # the same game twice
        self.assertFalse(pending.exists())

    def test_folders_and_files_are_their_owners_and_a_replaced_file_keeps_its_mode(self):
        save = save_one(self.home)
        run(self.home)
        scores = data(self.home) / "scores"
        for path, mode in ((state(self.home), 0o700), (data(self.home), 0o700), (save, 0o600),
                           (save.with_name(save.name + ".lock"), 0o600), (scores, 0o600)):
            self.assertEqual(stat.S_IMODE(path.stat().st_mode), mode, path)
        for mode in (0o640, 0o604):
            scores.chmod(mode)
            run(self.home)
            self.assertEqual(stat.S_IMODE(scores.stat().st_mode), mode)


class Words(Home):
    def test_bytes_of_a_file_or_a_file_name_reach_no_terminal_as_controls(self):
        save = save_one(self.home)
        body = save.read_bytes()
        body = body[:body.rindex(b"end ")]
        forged = re.sub(rb"seed \d+", b"seed \x1b]2;owned\x07\x1b[2J\x9b2J", body)
        save.write_bytes(sealed(forged))
        (state(self.home) / "game-\x1b[2J.save").write_bytes(b"\x1b[2Jnot a save\n")
        resume = run(self.home, ["--resume"], [])
        self.assertEqual(resume.returncode, 1)
        self.assertEqual(resume.stderr,  # the save written longest ago first
                         b"kessandor: %s is damaged: line 3: \"?]2;owned??[2J?2J\" is not a "
                         b"number in range\n"
                         b"kessandor: %s/game-?[2J.save is not a Kessandor saved game\n"
                         % (bytes(save), bytes(state(self.home))))

    def test_a_reader_that_goes_away_is_a_failed_write(self):
        game = subprocess.Popen([BINARY, "--seed", "3"], stdin=subprocess.PIPE,
                                stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                env=environment(self.home))
        game.stdout.read(10)
        game.stdout.close()  # as `| head -c 10` does
        _, err = game.communicate("".join(GAME).encode(), timeout=DEADLINE)
        self.assertEqual(game.returncode, 1)
        self.assertEqual(err, b"kessandor: cannot write to standard output: Broken pipe\n")

    def test_a_file_size_limit_is_a_failed_write_of_the_record(self):
        run(self.home)
        scores = data(self.home) / "scores"
        scores.write_bytes(scores.read_bytes() + b"x" * 8000 + b"\n")  # near the limit below
        before = scores.read_bytes()

        def limit():
            resource.setrlimit(resource.RLIMIT_FSIZE, (16 * 512, 16 * 512))  # ulimit -f 16

        game = run(self.home, preexec_fn=limit)
        self.assertEqual(game.returncode, 0)
        self.assertEqual(game.stderr, NOT_RECORDED + b"%s: File too large\n" % bytes(scores))
        self.assertEqual(scores.read_bytes(), before)
        self.assertEqual(list(data(self.home).glob("*.tmp")), [])

    def test_the_reasons_say_what_is_wrong(self):
        game = run(self.home, env={"PATH": os.environ.get("PATH", ""), "HOME": "rel"})
        self.assertEqual(game.stderr, NOT_RECORDED + b"HOME is not an absolute path (rel), so "
                         b"there is no home folder\n")
        save_one(self.home)
        state(self.home).chmod(0o300)  # written, not listed
        nobody = ["setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"]
        before = nobody if os.geteuid() == 0 and shutil.which("setpriv") else []
        if before:
            subprocess.run(["chown", "-R", "65534:65534", self.home], check=True)
            os.chmod(self.home, 0o755)
        resume = run(self.home, ["--resume"], [], before=before)
        self.assertEqual(resume.returncode, 1)
        self.assertEqual(resume.stderr, b"kessandor: cannot list the saved games in %s: "
                         b"Permission denied\n" % bytes(state(self.home)))
        state(self.home).chmod(0o700)


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1])
