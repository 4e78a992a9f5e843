"""A graceful restart: SIGTERM in the middle of two games tells every client why, saves every
table and ends the server promptly with status 0; the next start brings every table back on
the turn it had reached, and the clients come back by themselves and play on."""
import glob
import json
import os
import signal
import time
import unittest

from tables import DEADLINE, STANDINGS, TURN_MENU, Server, Table, last_screen

CLOSING = b"server closing: The server is restarting"


class GracefulRestart(unittest.TestCase):
    def setUp(self):
        self.server = Server()
        self.addCleanup(self.server.stop)

    def test_every_table_is_saved_told_and_back_after_a_restart(self):
        tables = [Table(self, self.server.create(seed=seed)) for seed in (5, 6)]
        waiting = [table.play_turns(turns) for table, turns in zip(tables, (3, 2))]
        screens = [last_screen(t.host, at) for t, at in zip(tables, waiting)]
        told_before = [t.host.output.count(CLOSING) + t.guest.output.count(CLOSING)
                       for t in tables]

        began = time.monotonic()
        self.server.process.send_signal(signal.SIGTERM)
        status = self.server.process.wait(timeout=DEADLINE)
        took = time.monotonic() - began
        self.assertEqual(status, 0, self.server.log())
        self.assertLess(took, 4.5, "the server waited for its grace period to run out")
        self.assertIn("event=server-stopping tables=2", self.server.log())
        self.assertIn("event=stopped", self.server.log())
        for table, before in zip(tables, told_before):
            for terminal in (table.host, table.guest):
                terminal.wait_for_raw(CLOSING)  # the status row says why, at once
            self.assertEqual(before, 0)

        # Every table's game is saved in its own folder, and the table list names them all.
        with open(os.path.join(self.server.state, "tables.json")) as f:
            listed = json.dumps(json.load(f))
        for table in tables:
            self.assertIn(table.id, listed)
            saves = glob.glob(os.path.join(self.server.state, "tables", table.id, "kessandor",
                                           "*.save"))
            self.assertEqual(len(saves), 1, saves)
            self.assertGreater(os.path.getsize(saves[0]), 0)

        # The next start: each table on the turn it had reached, its clients back on their own.
        resumed_from = [len(t.host.game_bytes()) for t in tables]
        self.server.start()
        self.server.wait_for_log("event=tables-resumed count=2")
        for table, screen, start in zip(tables, screens, resumed_from):
            self.server.wait_for_log(f"event=joined table={table.id}", count=4)
            end = table.host.wait_for(TURN_MENU, start)
            self.assertEqual(last_screen(table.host, end), screen)
            table.robot.at = start
        tables[0].robot.play()
        tables[0].guest.wait_for(STANDINGS)
        tables[1].play_turns(2)
        self.server.wait_for_log("event=game-recorded")


if __name__ == "__main__":
    unittest.main()
