"""Two friends at one table through the real server and the real terminal client: they see
byte for byte what the same game shows at one terminal, keys typed out of turn change
nothing, a spectator sees every screen, and the finished game joins the server's record."""
import json
import re
import time
import unittest
import urllib.request

from tables import (CLEAR, DEADLINE, STANDINGS, TITLE_MENU, Robot, Server, join, local_game)

SEED = "3"
NAMES = ["Ann", "Bob"]
JOIN_LINK = re.compile(rb"Join link, one friend a seat:  (\S+)")
WATCH_LINK = re.compile(rb"Watch link, for spectators:    (\S+)")


def from_first_clear(data):
    """From the game's first screen: a client that came before the game had written anything
    was sent a clear of its own first."""
    start = data.index(CLEAR.encode())
    while data.startswith(CLEAR.encode() * 2, start):
        start += len(CLEAR)
    return data[start:]


def up_to_standings(data):
    return data[:data.index(STANDINGS) + len(STANDINGS)]


def reference_game():
    """The same galaxy and the same answers at one terminal."""
    local = local_game("--seed", SEED)
    try:
        Robot(local, lambda kind, whose: local, NAMES).play()
        return up_to_standings(from_first_clear(local.game_bytes()))
    finally:
        local.close()


class TwoFriendsAtOneTable(unittest.TestCase):
    def setUp(self):
        self.server = Server()
        self.addCleanup(self.server.stop)

    def seat_host(self):
        host = join(self.server.url, "--seed", SEED)
        self.addCleanup(host.close)
        host.wait_for_raw(b"Press any key to sit down")  # time to copy the links first
        host.type(b"\r")
        host.wait_for(TITLE_MENU)
        return host

    def test_they_see_what_one_terminal_shows_and_only_the_turns_keys_count(self):
        expected = reference_game()
        host = self.seat_host()
        join_link = JOIN_LINK.search(host.output).group(1).decode()
        watch_link = WATCH_LINK.search(host.output).group(1).decode()
        guest = join(join_link)
        self.addCleanup(guest.close)
        guest.wait_for(TITLE_MENU)
        people = {"Ann": host, "Bob": guest}
        spectators = []

        def typist(kind, whose):
            if kind == "count":
                return None  # the table answers: the people seated
            if kind in ("title", "standings"):
                return host
            return people[whose]

        robot = Robot(host, typist, NAMES)

        def out_of_turn():
            # Bob tries to quit during Ann's turn, and answers her prompt: nothing happens.
            other = guest if robot.whose == "Ann" else host
            told = len(other.statuses())
            other.type(b"q\ry\rd\r")
            # The turn moves on only once the server has refused them and said so: keys that
            # reached it after the turn had passed to Bob would be his answers.
            notice = f"It is {robot.whose}'s turn."
            end = time.monotonic() + DEADLINE
            while not any(notice in status for status in other.statuses()[told:]):
                if time.monotonic() > end:
                    raise AssertionError(f"no notice {notice!r}: {other.statuses()[told:]}")
                other.read_some(0.05)

        def spectator_arrives():
            watcher = join(watch_link)
            self.addCleanup(watcher.close)
            watcher.wait_for(CLEAR.encode())
            watcher.type(b"q\ry\r")  # a spectator types nothing into the game
            spectators.append(watcher)

        robot.hooks += [(3, out_of_turn), (6, spectator_arrives), (9, out_of_turn)]
        robot.play()
        seen = up_to_standings(from_first_clear(host.game_bytes()))
        self.assertEqual(seen.decode(errors="replace"), expected.decode(errors="replace"))
        guest.wait_for(STANDINGS)
        self.assertEqual(up_to_standings(from_first_clear(guest.game_bytes())), expected)
        watcher = spectators[0]
        watcher.wait_for(STANDINGS)
        watched = up_to_standings(from_first_clear(watcher.game_bytes()))
        self.assertTrue(expected.endswith(watched) and len(watched) < len(expected))
        # The table is over: the server keeps the game in its record and hall of fame.
        self.server.wait_for_log("event=game-recorded")
        with urllib.request.urlopen(self.server.url + "/api/hall-of-fame") as answer:
            fame = json.loads(answer.read())["hall_of_fame"]
        self.assertEqual([(f["players"], f["computers"]) for f in fame], [(2, False)])
        self.assertEqual(sorted(entry["name"] for entry in fame[0]["best"]), NAMES)


if __name__ == "__main__":
    unittest.main()
