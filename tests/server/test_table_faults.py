"""Nothing of a table is lost when something fails: a client that leaves comes back to its
seat and its screen, an absent seat is played by the computer until its person returns, and
a killed server or game process brings every table back at the turn it had reached."""
import json
import os
import re
import signal
import time
import unittest
import urllib.request

from tables import (BUILD, CLEAR, DEADLINE, TITLE_MENU, Robot, Server, join)

NAMES = ["Ann", "Bob"]
JOIN_LINK = re.compile(rb"Join link, one friend a seat:  (\S+)")
SEAT_LINK = re.compile(rb"Your seat's link, to return:   (\S+)")
GAME_PID = re.compile(r"event=game-started table=\S+ pid=(\d+)")


class Table:
    """A table of two friends, Ann the host and Bob, with a robot playing for both."""

    def __init__(self, test, server):
        self.test, self.server = test, server
        self.ann = self.client(join(server.url, "--seed", "5"))
        self.ann.wait_for_raw(b"Press any key to sit down")
        self.ann.type(b"\r")
        self.ann.wait_for(TITLE_MENU)
        self.bob = self.client(join(JOIN_LINK.search(self.ann.output).group(1).decode()))
        self.bob.wait_for(TITLE_MENU)
        self.bob_away = False
        self.robot = Robot(self.ann, self.typist, NAMES)

    def client(self, terminal):
        self.test.addCleanup(terminal.close)
        return terminal

    def typist(self, kind, whose):
        if kind == "count":
            return None
        if whose == "Bob" and kind != "standings":
            if not self.bob_away:
                return self.bob
            return self.ann if kind == "key" else None  # the computer plays for Bob
        return self.ann  # the host, and anyone for a computer's key waits

    def play_until_turn(self, turns):
        while self.robot.turns < turns:
            self.robot.play(until="turn")

    def bob_leaves(self):
        """Ctrl-C: Bob leaves and keeps his seat; returns his link."""
        self.bob.type(b"\x03")
        self.test.assertEqual(self.bob.wait_exit(), 0)
        return SEAT_LINK.search(self.bob.output).group(1).decode()

    def bob_returns(self, link):
        self.bob = self.client(join(link))
        self.bob.wait_for(CLEAR.encode())
        self.bob_away = False

    def finish(self):
        self.robot.play()
        self.server.wait_for_log("event=game-recorded")
        with urllib.request.urlopen(self.server.url + "/api/hall-of-fame") as answer:
            fame = json.loads(answer.read())["hall_of_fame"]
        self.test.assertEqual(sorted(e["name"] for e in fame[0]["best"]), NAMES)


def wait_until(condition, what):
    end = time.monotonic() + DEADLINE
    while not condition():
        if time.monotonic() > end:
            raise AssertionError(f"never: {what}")
        time.sleep(0.05)


def alive(pid):
    try:
        os.kill(pid, 0)
    except ProcessLookupError:
        return False
    with open(f"/proc/{pid}/stat") as f:
        return f.read().split(") ")[1][0] != "Z"


class TablesSurviveFailures(unittest.TestCase):
    def test_a_friend_who_leaves_comes_back_to_the_screen_everyone_sees(self):
        server = Server()
        self.addCleanup(server.stop)
        table = Table(self, server)
        table.play_until_turn(4)  # Bob has chosen to build
        table.ann.wait_for(BUILD, after=table.robot.at)  # and the screen waits for his spot
        link = table.bob_leaves()
        shown = table.ann.game_bytes()
        table.bob_returns(link)
        # He gets the screen since its last clear, exactly as Ann has it.
        screen = shown[shown.rindex(CLEAR.encode()):]
        table.bob.wait_for(screen[-40:])
        returned = table.bob.game_bytes()
        self.assertEqual(returned[returned.rindex(CLEAR.encode()):], screen)
        table.finish()

    def test_an_absent_seat_is_played_by_the_computer_until_its_person_returns(self):
        server = Server("--away-minutes", "0.02")  # 1.2 seconds
        self.addCleanup(server.stop)
        table = Table(self, server)
        table.play_until_turn(4)  # Bob has chosen to build: the offers wait for him
        at = len(table.ann.game_bytes())
        link = table.bob_leaves()
        table.bob_away = True
        server.wait_for_log("event=seat-away")
        table.robot.play(until="turn")  # Ann's next turn comes, Bob's having been played
        self.assertIn(b"[Built on ", table.ann.game_bytes()[at:])  # the computer's account
        wait_until(lambda: table.ann.read_some(0.05) or
                   any("Bob (away, cpu)" in s for s in table.ann.statuses()[-3:]),
                   "Ann's status row says the computer plays Bob's seat")
        table.bob_returns(link)
        server.wait_for_log("event=seat-back")
        turn = table.robot.turns
        table.play_until_turn(turn + 3)  # Bob types his own turns again
        self.assertNotIn(b"[Built on ", table.ann.game_bytes()[table.robot.at - 4000:])
        table.finish()

    def test_a_server_killed_mid_game_brings_the_table_back_on_the_same_links(self):
        server = Server()
        self.addCleanup(server.stop)
        table = Table(self, server)
        table.play_until_turn(5)
        game = int(GAME_PID.findall(server.log())[-1])
        server.kill(signal.SIGKILL)
        wait_until(lambda: not alive(game), "the game dies with its server")
        at = len(table.ann.game_bytes())
        server.start()  # the same port and state folder
        server.wait_for_log("resume=yes")
        # Both clients come back by themselves to the turn the table had reached.
        table.ann.wait_for(b"'s Turn]", after=at)
        table.bob.wait_for(b"'s Turn]", after=len(table.bob.game_bytes()) - 2000)
        table.finish()

    def test_a_killed_game_process_is_started_again_from_its_save(self):
        server = Server()
        self.addCleanup(server.stop)
        table = Table(self, server)
        table.play_until_turn(4)
        at = len(table.ann.game_bytes())
        os.kill(int(GAME_PID.findall(server.log())[-1]), signal.SIGKILL)
        server.wait_for_log("how=signal-9")
        server.wait_for_log("resume=yes")
        table.ann.wait_for(b"'s Turn]", after=at)
        table.finish()


if __name__ == "__main__":
    unittest.main()
