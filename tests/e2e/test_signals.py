"""Signals during a key wait: the game dies of a signal that ends a program and stops and
resumes on Ctrl-Z, and every way out leaves the terminal with echo and line input on."""
import os
import signal
import unittest

from driver import STOCK_MENU, TO_KEY_WAIT, Terminal, died_of

# Ctrl-C, Ctrl-\, kill and hang-up.
ENDING = [signal.SIGINT, signal.SIGQUIT, signal.SIGTERM, signal.SIGHUP]
TYPED = {signal.SIGINT: b"\x03", signal.SIGQUIT: b"\x1c"}  # Ctrl-C and Ctrl-\


class Signals(unittest.TestCase):
    def test_a_signal_that_ends_the_game_puts_the_terminal_back_first(self):
        for number in ENDING:
            with self.subTest(signal.Signals(number).name), Terminal() as t:
                t.send(TO_KEY_WAIT)
                t.wait_key_wait()
                if number in TYPED:
                    t.send(TYPED[number])
                else:
                    os.kill(t.pid(), number)
                self.assertTrue(died_of(t.finish(), number), t.finish())
                self.assertTrue(t.line_mode(), "echo or line input left off")

    def test_ctrl_z_stops_with_the_terminal_back_and_fg_resumes_the_wait(self):
        with Terminal() as t:
            t.send(TO_KEY_WAIT)
            t.wait_key_wait()
            t.send(b"\x1a")
            t.wait_until(lambda: signal.SIGTSTP in t.stops, "Ctrl-Z to stop the game")
            self.assertTrue(t.line_mode(), "echo or line input left off")
            os.kill(t.pid(), signal.SIGCONT)  # still in the foreground: as fg does
            t.wait_key_wait()
            t.send(" ")
            t.expect(STOCK_MENU)
            self.assertTrue(t.line_mode(), "echo or line input left off")
            t.send(b"\x04")
            self.assertEqual(t.finish(), 0)


if __name__ == "__main__":
    unittest.main()
