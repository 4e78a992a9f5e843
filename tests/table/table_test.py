"""Table mode end to end: the real game on a pseudo-terminal with --table over a socketpair,
this script playing its server. The server's side of the contract is what a real server does:
it writes a seat's keys only after the game has said it awaits that seat."""
import os
import re
import signal
import socket
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
from driver import BINARY, DEADLINE, KEY_PROMPT, HOME, Terminal  # noqa: E402

SEED = ("--seed", "3")  # in this galaxy E2 is offered at once and lies next to a star
TURN_MENU = "[Choice][?]  "
BUILD_PROMPT = "[Where Do you Wish to Build][?] "
STOCK_MENU = "[Choice]?  "
OFFERS = re.compile(r"\[Here are coordinates you can build on\]\[:\]\n((?:[A-L][1-9] ){5})")
BUILT = re.compile(r"\[Built on ([A-L][1-9])\]")
BOUGHT = re.compile(r"\[Bought (\d+) Shares? of [^\]]* at \$(\d+) each\]")
# What ends the screen when the game waits: the prompt that comes with a notice.
PROMPT = re.compile(r"(\[Your Choice\]\[\?\] |\]\[\?\]: |\[Choice\]\[\?\]  |Build\]\[\?\] "
                    r"|\[Choice\]\?  |Can buy \d+\]: |Continue\]\n|continue\n)$")


class Table:
    """The game at a table: its terminal, and the server's end of its table descriptor."""

    def __init__(self, *args):
        self.server, game_end = socket.socketpair()
        os.set_inheritable(game_end.fileno(), True)
        self.t = Terminal(args=("--table", str(game_end.fileno()), *SEED, *args))
        game_end.close()
        self.server.setblocking(False)
        self.heard, self.partial, self.ended = [], b"", False

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.t.__exit__(*exc)
        self.server.close()

    def _hear(self):
        try:
            chunk = self.server.recv(65536)
        except BlockingIOError:
            return
        if not chunk:
            self.ended = True
        self.partial += chunk
        *lines, self.partial = self.partial.split(b"\n")
        self.heard += [line.decode() for line in lines]

    def line(self):
        """The game's next line on the table descriptor."""
        def arrived():
            self._hear()
            return bool(self.heard)
        self.t.wait_until(arrived, "a line on the table descriptor")
        return self.heard.pop(0)

    def notice(self):
        """The next line; for a wait, once the screen shows its prompt, with the screen since
        the last wait."""
        line = self.line()
        if os.environ.get("TABLE_TRACE"):
            print(line, file=sys.stderr)
        if not line.startswith("await"):
            return line, ""  # the screen goes with the next notice
        self.t.wait_until(lambda: PROMPT.search(self.t.out, self.t.pos),
                          f"a prompt with {line!r}")
        screen, self.t.pos = self.t.out[self.t.pos:], len(self.t.out)
        return line, screen

    def unread(self, line, screen):
        """Puts back a notice and its screen, to be heard next."""
        self.heard.insert(0, line)
        self.t.pos -= len(screen)

    def expect(self, wanted):
        line, screen = self.notice()
        if line != wanted:
            raise AssertionError(f"{wanted!r} expected, {line!r} heard\n--- screen ---\n"
                                 f"{self.t.screen()}")
        return screen

    def tell(self, line):
        self.server.sendall(line.encode() + b"\n")

    def start(self, *names):
        """Title menu, count and names; returns the players the game announces."""
        self.expect("await menu")
        self.t.send("s\n")
        self.expect("await count")
        self.t.send(f"{len(names)}\n")
        for seat, name in enumerate(names):
            self.expect(f"await name {seat}")
            self.t.send(name + "\n")
        return self.players()

    def players(self):
        players = []
        while True:
            line, screen = self.notice()
            if not line.startswith("player "):
                self.unread(line, screen)
                return players
            players.append(line)

    def answer(self, seat):
        """Gives `seat`'s answers until a notice for other hands comes, and leaves that notice
        to be heard next; returns the screens meanwhile. A person builds on the first spot
        offered and buys nothing; "any" presses a key whenever anyone may."""
        screens = ""
        while True:
            line, screen = self.notice()
            if line != f"await key {seat}" and line != f"await line {seat}":
                self.unread(line, screen)
                return screens
            screens += screen
            if line == f"await key {seat}":
                self.t.send(" ")
            elif screen.endswith(TURN_MENU):
                self.t.send("b\n")
            elif screen.endswith(BUILD_PROMPT):
                self.t.send(OFFERS.findall(screen)[-1].split()[0] + "\n")
            elif screen.endswith(STOCK_MENU):
                self.t.send("e\n")
            else:
                self.t.send("0\n")  # a buy dialog: no shares

    def finish(self):
        status = self.t.finish()
        self.t.wait_until(lambda: self._hear() or self.ended, "the table descriptor to close")
        return status


def purchases_cost(screen):
    return sum(int(count) * int(price) for count, price in BOUGHT.findall(screen))


class WholeGame(unittest.TestCase):
    def test_two_people_and_a_computer_play_to_the_standings_and_the_game_exits(self):
        with Table("-c", "1") as table:
            self.assertEqual(table.start("Ann", "Bob"), [
                "player 0 person Ann", "player 1 person Bob", "player 2 computer Computer-1"])
            # Lines the game does not know, one far too long, change nothing.
            table.tell("x" * 5000 + "\naway 9\naway 0 \nback\n\nhello")
            # Three players: 25 - 2 x 3 = 19, so days 1 to 18.
            for day in range(1, 19):
                for seat in (0, 1):
                    table.expect(f"turn {seat} {day}")
                    self.assertIn(TURN_MENU, table.answer(seat))
                table.expect(f"turn 2 {day}")
                # The computer's turn: its announcements and its account, for anyone's key.
                self.assertIn("[Computer-1's Turn]", table.answer("any"))
            line, _ = table.notice()
            self.assertTrue(line.startswith("result "), line)
            screen = table.expect("await key any")
            self.assertIn("Final Standings", screen)
            # The result line holds the standings as the screen shows them, in their order.
            standings = re.findall(r"(\d)        (\S+)             \$(\d+)", screen)
            self.assertEqual(len(standings), 3)
            fields = line.split()
            self.assertEqual(fields[2:4], ["3", "computers-normal"])
            self.assertEqual([tuple(fields[4 + 3 * i:7 + 3 * i]) for i in range(3)],
                             [(name, worth, rank) for rank, name, worth in standings])
            table.t.send(" ")
            self.assertEqual(table.finish(), 0)
            self.assertNotIn("[Your Choice][?] ", table.t.out[table.t.pos:])
        # The server keeps the table's record: the game adds nothing to the player's own.
        self.assertFalse(os.path.exists(os.path.join(HOME.name, "kessandor", "scores")))


class Away(unittest.TestCase):
    def _start(self, table):
        table.start("Ann", "Bob")
        table.expect("turn 0 1")

    def _computer_finishes(self, table, seat, offers=None):
        """The computer's account of the rest of `seat`'s turn, answered by anyone; then the
        next turn starts. Returns the screen of the account."""
        screens = table.answer("any")
        table.expect(f"turn {seat + 1} 1")
        self.assertIn(f"[{['Ann', 'Bob'][seat]}'s Turn]", screens)
        built = BUILT.findall(screens)
        self.assertEqual(len(built), 1, screens)
        if offers is not None:
            self.assertIn(built[0], offers)
        self.assertLessEqual(purchases_cost(screens), 6000)
        return screens

    def test_at_the_turn_menu_the_computer_plays_the_whole_turn(self):
        with Table("-c", "1", "--level", "easy") as table:
            self._start(table)
            table.expect("await line 0")
            table.tell("away 0")
            screens = self._computer_finishes(table, 0)
            self.assertNotIn(BUILD_PROMPT, table.t.out)  # Ann was never asked where to build
            self.assertIn("[Ann's Turn]", screens)
            # Bob plays; on the next day the computer plays Ann from the start, until she is
            # back.
            table.answer(1)
            table.expect("turn 2 1")
            table.answer("any")
            table.expect("turn 0 2")
            self.assertEqual(table.answer("any").count("[Built on "), 1)
            table.tell("back 0")
            for seat in (1, "any"):
                table.expect(f"turn {seat if seat == 1 else 2} 2")
                table.answer(seat)
            table.expect("turn 0 3")
            table.expect("await line 0")

    def test_at_the_build_prompt_the_computer_builds_on_a_spot_on_offer(self):
        with Table("-c", "1", "--level", "easy") as table:
            self._start(table)
            table.expect("await line 0")
            table.t.send("b\n")
            screen = table.expect("await line 0")
            offers = OFFERS.findall(screen)[-1].split()
            table.tell("away 0")
            self._computer_finishes(table, 0, offers)
            # Offered once: the computer took the spots on offer rather than new ones.
            self.assertEqual(len(OFFERS.findall(table.t.out)), 1)
            table.expect("await line 1")

    def test_after_the_build_the_computer_only_buys(self):
        for where in ("stock stage", "announcement", "buy dialog"):
            with self.subTest(where), Table("-c", "1", "--level", "easy") as table:
                self._start(table)
                table.expect("await line 0")
                table.t.send("b\n")
                table.expect("await line 0")
                table.t.send("E2\n")  # next to a star: a company is formed
                self.assertIn("New Corporation Formed", table.expect("await key 0"))
                if where != "announcement":
                    table.t.send(" ")
                    table.expect("await line 0")
                if where == "buy dialog":
                    table.t.send("b\n")
                    self.assertIn("do you wish to buy?", table.expect("await line 0"))
                table.tell("away 0")
                screens = self._computer_finishes(table, 0)
                self.assertEqual(BUILT.findall(screens), ["E2"])
                self.assertEqual(len(OFFERS.findall(table.t.out)), 1)  # no second build
                # Ann's $6000 buys shares of the new company ($600 a share) down to what is
                # left over.
                self.assertGreater(purchases_cost(screens), 6000 - 600)
                table.expect("await line 1")

    def test_a_person_away_at_their_name_is_named_for_their_seat(self):
        with Table("-c", "1", "--level", "easy") as table:
            table.expect("await menu")
            table.t.send("s\n")
            table.expect("await count")
            table.t.send("2\n")
            table.expect("await name 0")
            table.t.send("Ann\n")
            table.expect("await name 1")
            table.tell("away 1")
            self.assertEqual(table.players(), [
                "player 0 person Ann", "player 1 person Player-2", "player 2 computer Computer-1"])
            self.assertIn("[What is player 2's name][?]: Player-2\n", table.t.out)


class Seats(unittest.TestCase):
    def test_keys_typed_ahead_by_one_seat_never_answer_the_next(self):
        # Typed ahead on the same line (left in the game's own buffer) and on a line of its own
        # (left in the terminal).
        for ahead in ("e b\n", "e\nb\n"):
            with self.subTest(ahead=ahead), Table("-c", "1", "--level", "easy") as table:
                table.start("Ann", "Bob")
                table.expect("turn 0 1")
                table.expect("await line 0")
                table.t.send("b\n")
                table.expect("await line 0")
                table.t.send("E2\n")
                table.expect("await key 0")
                table.t.send(" ")
                table.expect("await line 0")
                table.t.send(ahead)  # "e" ends Ann's stock stage; "b" must not build for Bob
                table.expect("turn 1 1")
                self.assertNotIn(BUILD_PROMPT, table.expect("await line 1"))
                table.t.send("s\n")
                screen = table.expect("await line 1")
                self.assertIn("Stock Owned", screen)
                self.assertNotIn(BUILD_PROMPT, screen)

    def test_the_host_quits_and_the_game_ends(self):
        with Table() as table:
            table.expect("await menu")
            table.t.send("q\n")
            self.assertEqual(table.finish(), 0)
        with Table("-c", "1", "--level", "easy") as table:
            table.start("Ann")
            table.expect("turn 0 1")
            table.expect("await line 0")
            table.t.send("q\n")
            table.expect("await line 0")
            table.t.send("y\n")
            self.assertEqual(table.finish(), 0)
            self.assertNotIn("[Your Choice][?] ", table.t.out[table.t.pos:])


class Resume(unittest.TestCase):
    def test_a_killed_table_goes_on_from_its_save_with_its_players(self):
        saves = os.path.join(HOME.name, "kessandor")
        for name in os.listdir(saves) if os.path.isdir(saves) else ():
            os.remove(os.path.join(saves, name))  # what the killed games before left
        with Table("-c", "1", "--level", "easy") as table:
            table.start("Ann", "Bob")
            table.expect("turn 0 1")
            table.answer(0)
            table.expect("turn 1 1")
            table.expect("await line 1")
            os.kill(table.t.pid(), signal.SIGKILL)
            table.t.finish()
        with Table("--resume") as table:
            self.assertEqual(table.players(), [
                "player 0 person Ann", "player 1 person Bob", "player 2 computer Computer-1"])
            table.expect("turn 1 1")
            table.expect("await line 1")
            table.t.send("q\n")
            table.expect("await line 1")
            table.t.send("y\n")
            self.assertEqual(table.finish(), 0)
        self.assertEqual(os.listdir(saves), [])  # a confirmed quit removes the save


    def test_a_server_that_has_gone_ends_the_game_and_leaves_its_save(self):
        saves = os.path.join(HOME.name, "kessandor")
        for name in os.listdir(saves) if os.path.isdir(saves) else ():
            os.remove(os.path.join(saves, name))
        with Table("-c", "1", "--level", "easy") as table:
            table.start("Ann", "Bob")
            table.expect("turn 0 1")
            table.expect("await line 0")
            # Shut down, not just closed: the terminal's shell holds a copy from its fork.
            table.server.shutdown(socket.SHUT_RDWR)
            self.assertEqual(table.t.finish(), 0)
        self.assertEqual(len([name for name in os.listdir(saves) if name.endswith(".save")]), 1)


class Descriptor(unittest.TestCase):
    def test_anything_but_a_connected_stream_socket_is_a_usage_error(self):
        read_end, write_end = os.pipe()
        datagram = socket.socket(socket.AF_UNIX, socket.SOCK_DGRAM)
        unconnected = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        cases = {"99": "not an open descriptor", "1": "is a standard stream",
                 str(read_end): "is not a socket", str(datagram.fileno()): "not a stream socket",
                 str(unconnected.fileno()): "not a connected socket",
                 "x": "needs a descriptor number", "-3": "needs a descriptor number"}
        for fd, why in cases.items():
            with self.subTest(fd=fd):
                run = subprocess.run([BINARY, "--table", fd], capture_output=True, text=True,
                                     stdin=subprocess.DEVNULL, timeout=DEADLINE,
                                     pass_fds=(read_end, datagram.fileno(), unconnected.fileno()))
                self.assertEqual(run.returncode, 2, run.stderr)
                self.assertIn(why, run.stderr)
                self.assertEqual(run.stdout, "")
        for fd in (read_end, write_end):
            os.close(fd)
        datagram.close()
        unconnected.close()


if __name__ == "__main__":
    unittest.main()
