"""The terminal client against a fake table server, in a pseudo-terminal: the hello, the
game's bytes shown unchanged beside the status line, keys sent as typed, leaving with Ctrl-C,
taking a dropped connection up again with the seat's token, refusals, creating a table, and
the terminal given back as it was on every way out."""
import fcntl
import os
import re
import signal
import struct
import subprocess
import sys
import tempfile
import termios
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "e2e"))
from driver import Terminal, died_of  # noqa: E402
from fake_server import FakeServer  # noqa: E402

TABLE = "abc-123"
JOIN_TOKEN = "JOINJOINJOINJOINJOINJOINJO"
SEAT_TOKEN = "SEATSEATSEATSEATSEATSEATSE"
# The client's own writes: the status row, the title, the scroll region and the title stack.
STATUS_ROW = re.compile(rb"\x1b7\x1b\[25;1H\x1b\[2K([\x20-\x7e]*)\x1b8")
TITLE = re.compile(rb"\x1b\]2;([\x20-\x7e]*)\x07")
LAYOUT = re.compile(rb"\x1b7\x1b\[1;24r\x1b8|\x1b7\x1b\[r\x1b8|\x1b\[2[23];2t")
CLEAR = b"\x1b[H\x1b[2J"  # the client's clear before a screen it is sent whole
GAME_CLEAR = b"\x1b[H\x1b[2J\x1b[3J"
SCREEN = GAME_CLEAR + b"Welcome to the table!\r\n\r\n[Your Choice][?] "


def game_bytes(raw):
    return LAYOUT.sub(b"", TITLE.sub(b"", STATUS_ROW.sub(b"", raw)))


def status_lines(raw):
    return [line.decode() for line in STATUS_ROW.findall(raw)]


def fresh_terminal_settings():
    master, slave = os.openpty()
    try:
        return termios.tcgetattr(slave)
    finally:
        os.close(master)
        os.close(slave)


def seat(number, name, kind="person", connected=True, computer_playing=False):
    return {"seat": number, "name": name, "kind": kind, "connected": connected,
            "computer_playing": computer_playing}


def status(awaiting_seat=1, awaiting_name="Bob", you=0):
    return {"type": "status", "table": TABLE, "state": "playing", "day": 3,
            "awaiting": {"who": "player", "seat": awaiting_seat, "name": awaiting_name},
            "seats": [seat(0, "Ann"), seat(1, "Bob", connected=False, computer_playing=True),
                      seat(2, "HAL", kind="computer")],
            "spectators": 2, "you": you}


class Table:
    """A fake server with one table, and the client joining it in a terminal."""

    def __init__(self, rows=25, path=f"/t/{TABLE}#{JOIN_TOKEN}", args=(), greet=None,
                 created=(201, {})):
        """`greet` answers a hello (the table and the token given; by default a player's
        welcome, the screen and a status); `created` is the answer to a new table."""
        self.server = FakeServer(TABLE)
        greet = greet or (lambda table, token: [table.welcome(SEAT_TOKEN), SCREEN, status()])
        self.server.greet = lambda number, token: greet(self, token)
        self.server.created = created
        self.terminal = Terminal(args=(self.server.url(path), *args), rows=rows)

    def welcome(self, token, role="player"):
        base = self.server.url()
        return {"type": "welcome", "table": TABLE, "role": role, "seat": 0, "host": False,
                "token": token, "join": f"{base}/t/{TABLE}#{JOIN_TOKEN}",
                "watch": f"{base}/t/{TABLE}#WATCHWATCHWATCHWATCHWATCH", "link":
                f"{base}/t/{TABLE}#{token}"}

    def __enter__(self):
        return self.server, self.terminal

    def __exit__(self, *_):
        self.terminal.__exit__()
        self.server.__exit__()


def wait_for(t, what, test):
    t.wait_until(lambda: test(t.raw), what)


class Joining(unittest.TestCase):
    def test_the_game_shows_unchanged_beside_the_status_row_and_keys_go_as_typed(self):
        settings = fresh_terminal_settings()
        with Table() as (server, t):
            number, token = server.next("hello")
            self.assertEqual(token, JOIN_TOKEN)
            wait_for(t, "the screen", lambda raw: SCREEN in game_bytes(raw))
            wait_for(t, "the status", lambda raw: any(
                "Bob (away, cpu)" in line and "turn: Bob" in line
                for line in status_lines(raw)))
            # An escape sequence and a character split across messages, a status message
            # between the halves: the status row waits until the sequence is whole.
            chunks = [b"abc\x1b[", b"2J\x1b[3Jxyz \xc3", b"\xa9 done"]
            server.send(number, chunks[0], status(awaiting_seat=0, awaiting_name="Ann"),
                        *chunks[1:])
            wait_for(t, "the last chunk", lambda raw: b"done" in raw)
            wait_for(t, "the status after the clear", lambda raw: any(
                "your turn" in line for line in status_lines(raw[raw.index(b"2J\x1b[3Jxyz"):])))
            self.assertIn(b"abc\x1b[2J\x1b[3Jxyz \xc3\xa9 done", t.raw)
            shown = game_bytes(t.raw)
            self.assertEqual(shown[shown.index(CLEAR):], CLEAR + SCREEN + b"".join(chunks))
            self.assertTrue(all(len(line) <= 79 for line in status_lines(t.raw)))

            typed = b"s\r1\rAnn\r\x1b[A\x7f"
            t.send(typed)
            self.assertEqual(server.keys(len(typed))[0], typed)
            paste = bytes(range(32, 127)) * 7  # 665 bytes at once
            t.send(paste)
            keys, sizes = server.keys(len(paste))
            self.assertEqual(keys, paste)
            self.assertLessEqual(max(sizes), 256)

            t.send(b"\x03")
            server.next("close")
            self.assertEqual(os.waitstatus_to_exitcode(t.finish()), 0)
            self.assertEqual(termios.tcgetattr(t.fd), settings)
            self.assertIn(f"/t/{TABLE}#{SEAT_TOKEN}", t.out)  # the seat's own link to return
            self.assertIn(b"\x1b[r", t.raw[t.raw.rindex(b"done"):])  # no scroll region left

    def test_a_dropped_connection_comes_back_with_the_seat_token_and_its_screen(self):
        with Table() as (server, t):
            number, _ = server.next("hello")
            wait_for(t, "the screen", lambda raw: SCREEN in game_bytes(raw))
            server.drop(number)
            again, token = server.next("hello")
            self.assertEqual(token, SEAT_TOKEN)
            wait_for(t, "the screen again", lambda raw: game_bytes(raw).endswith(CLEAR + SCREEN)
                     and game_bytes(raw).count(SCREEN) == 2)
            self.assertTrue(any("reconnecting" in line for line in status_lines(t.raw)))
            t.send(b"b")
            self.assertEqual(server.next("keys"), (again, b"b"))

    def test_a_closing_server_is_shown_and_waited_for(self):
        with Table() as (server, t):
            number, _ = server.next("hello")
            wait_for(t, "the screen", lambda raw: SCREEN in game_bytes(raw))
            server.send(number, {"type": "closing", "reason": "Back in a moment."})
            wait_for(t, "the reason", lambda raw: any(
                "server closing: Back in a moment." in line for line in status_lines(raw)))
            server.drop(number)
            self.assertEqual(server.next("hello")[1], SEAT_TOKEN)
            wait_for(t, "the screen again", lambda raw: game_bytes(raw).count(SCREEN) == 2)

    def test_a_refusal_ends_the_client_with_its_reason(self):
        settings = fresh_terminal_settings()
        refused = {"type": "refused", "reason": "That link\x1b[2J is spent."}
        with Table(greet=lambda table, token: [refused]) as (server, t):
            server.next("hello")
            self.assertEqual(os.waitstatus_to_exitcode(t.finish()), 1)
            self.assertIn("refused: That link?[2J is spent.", t.out)
            self.assertEqual(termios.tcgetattr(t.fd), settings)

    def test_an_unknown_table_or_a_server_that_is_not_there_ends_the_client(self):
        with Table(path=f"/t/other#{JOIN_TOKEN}") as (_, t):
            self.assertEqual(os.waitstatus_to_exitcode(t.finish()), 1)
            self.assertIn("no table other", t.out)
        with Terminal(args=(f"http://127.0.0.1:1/t/{TABLE}#{JOIN_TOKEN}",), rows=25) as t:
            self.assertEqual(os.waitstatus_to_exitcode(t.finish()), 1)
            self.assertIn("cannot join the table at 127.0.0.1:1", t.out)

    def test_with_fewer_rows_the_status_is_the_window_title(self):
        with Table(rows=24) as (server, t):
            server.next("hello")
            wait_for(t, "the title", lambda raw: any(
                b"turn: Bob" in title for title in TITLE.findall(raw)))
            wait_for(t, "the screen", lambda raw: SCREEN in raw)
            self.assertNotIn(b"\x1b[25;1H", t.raw)
            self.assertNotIn(b"\x1b[1;24r", t.raw)

    def test_a_resize_moves_the_status_between_the_last_row_and_the_title(self):
        with Table(rows=25) as (server, t):
            server.next("hello")
            wait_for(t, "the status row", lambda raw: any(
                "turn: Bob" in line for line in status_lines(raw)))
            fcntl.ioctl(t.fd, termios.TIOCSWINSZ, struct.pack("HHHH", 24, 80, 0, 0))
            wait_for(t, "the title", lambda raw: any(
                b"turn: Bob" in title for title in TITLE.findall(raw)))
            self.assertIn(b"\x1b7\x1b[r\x1b8", t.raw)  # the scroll region undone
            mark = len(t.raw)
            fcntl.ioctl(t.fd, termios.TIOCSWINSZ, struct.pack("HHHH", 30, 100, 0, 0))
            wait_for(t, "the status row again", lambda raw: b"\x1b7\x1b[1;24r\x1b8" in raw[mark:]
                     and any("turn: Bob" in line for line in status_lines(raw[mark:])))

    def test_a_spectators_keys_stay_at_home(self):
        with Table(greet=lambda table, token: [
                table.welcome(SEAT_TOKEN, role="spectator"), SCREEN, status()]) as (server, t):
            server.next("hello")
            wait_for(t, "the screen", lambda raw: SCREEN in game_bytes(raw))
            t.send(b"b")
            wait_for(t, "the notice", lambda raw: any(
                "Spectators watch" in line for line in status_lines(raw)))
            t.send(b"\x03")
            kinds = []
            while not kinds or kinds[-1] != "close":
                kinds.append(server.events.get(timeout=10)[0])
            self.assertNotIn("keys", kinds)
            self.assertEqual(os.waitstatus_to_exitcode(t.finish()), 0)


class CreatingATable(unittest.TestCase):
    def test_a_bare_address_creates_a_table_and_shows_its_links_before_and_after(self):
        # The links name the server's public address; the client keeps to the one given.
        public = "http://tables.example.org"
        created = (201, {"table": TABLE, "host": f"{public}/t/{TABLE}#HOSTHOST",
                         "join": f"{public}/t/{TABLE}#{JOIN_TOKEN}",
                         "watch": f"{public}/t/{TABLE}#WATCHWATCH"})
        with Table(path="", args=("-c", "2", "--level", "hard", "--seed", "7"),
                   created=created) as (server, t):
            _, (head, body) = server.next("post")
            self.assertTrue(head.startswith("POST /api/tables HTTP/1.1\r\n"), head)
            self.assertEqual(body, {"computers": 2, "level": "hard", "seed": 7})
            t.expect("Press any key")
            for link in (JOIN_TOKEN, "WATCHWATCH"):
                self.assertIn(f"{public}/t/{TABLE}#{link}", t.out)
            t.send(b" ")
            self.assertEqual(server.next("hello")[1], "HOSTHOST")
            wait_for(t, "the screen", lambda raw: SCREEN in game_bytes(raw))
            t.send(b"\x03")
            self.assertEqual(os.waitstatus_to_exitcode(t.finish()), 0)
            self.assertEqual(t.out.count(f"/t/{TABLE}#{JOIN_TOKEN}"), 2)

    def test_a_full_server_says_so(self):
        with Table(path="/", created=(503, {})) as (_, t):
            self.assertEqual(os.waitstatus_to_exitcode(t.finish()), 1)
            self.assertIn("as many tables as it may", t.out)


class Signals(unittest.TestCase):
    def test_sigterm_and_sighup_leave_with_the_terminal_given_back(self):
        settings = fresh_terminal_settings()
        for number in (signal.SIGTERM, signal.SIGHUP):
            with self.subTest(signal.Signals(number).name), Table() as (server, t):
                server.next("hello")
                wait_for(t, "the screen", lambda raw: SCREEN in game_bytes(raw))
                os.kill(t.pid(), number)
                self.assertTrue(died_of(t.finish(), number), t.finish())
                self.assertEqual(termios.tcgetattr(t.fd), settings)

    def test_ctrl_z_gives_the_terminal_back_and_continuing_redraws_the_screen(self):
        with Table() as (server, t):
            server.next("hello")
            wait_for(t, "the screen", lambda raw: SCREEN in game_bytes(raw))
            t.send(b"\x1a")
            t.wait_until(lambda: signal.SIGSTOP in t.stops, "Ctrl-Z to stop the client")
            self.assertTrue(t.line_mode(), "echo or line input left off")
            os.kill(t.pid(), signal.SIGCONT)
            wait_for(t, "the redrawn screen", lambda raw: game_bytes(raw).count(SCREEN) == 2)
            self.assertFalse(t.line_mode(), "raw mode not taken back")
            t.send(b"\x03")
            self.assertEqual(os.waitstatus_to_exitcode(t.finish()), 0)
            self.assertTrue(t.line_mode(), "echo or line input left off")


class TheGameCommand(unittest.TestCase):
    GAME = os.environ["KESSANDOR_GAME"]

    def test_join_runs_the_client_beside_the_game(self):
        shown = subprocess.run([self.GAME, "join", "--version"], capture_output=True,
                               timeout=10, check=False)
        self.assertEqual((shown.returncode, shown.stdout), (0, b"kessandor-join 1.0\n"))

    def test_a_missing_client_is_one_line_and_status_2(self):
        with tempfile.TemporaryDirectory() as folder:
            alone = os.path.join(folder, "kessandor")
            with open(self.GAME, "rb") as source, open(alone, "wb") as copy:
                copy.write(source.read())
            os.chmod(alone, 0o755)
            shown = subprocess.run([alone, "join", "http://127.0.0.1:1/"], capture_output=True,
                                   timeout=10, check=False)
        self.assertEqual(shown.returncode, 2)
        self.assertEqual(shown.stderr.count(b"\n"), 1)
        self.assertIn(b"kessandor-join", shown.stderr)


if __name__ == "__main__":
    unittest.main()
