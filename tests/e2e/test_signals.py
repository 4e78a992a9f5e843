"""Signals during a key wait: the game dies of any signal that ends a program, stops and
resumes on Ctrl-Z, dies when stopped in the background, and every way out leaves the
terminal with echo and line input on, even with two copies of the game on one terminal."""
import os
import signal
import termios
import unittest

from driver import CLEAR, KEY_PROMPT, LINE_MODE, STOCK_MENU, TO_KEY_WAIT, Terminal, died_of

# Every signal whose default action ends a program, and that comes from outside it, but the
# two the game ignores: a closed pipe and a file-size limit are failed writes it reports.
ENDING = [signal.SIGINT, signal.SIGQUIT, signal.SIGTERM, signal.SIGHUP, signal.SIGUSR1,
          signal.SIGUSR2, signal.SIGALRM, signal.SIGVTALRM, signal.SIGPROF, signal.SIGXCPU,
          signal.SIGPOLL, signal.SIGPWR, signal.SIGRTMIN, signal.SIGRTMAX]
IGNORED = [signal.SIGPIPE, signal.SIGXFSZ]
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

    def test_a_closed_pipe_or_a_file_size_limit_does_not_end_the_wait(self):
        with Terminal() as t:
            t.send(TO_KEY_WAIT)
            t.wait_key_wait()
            for number in IGNORED:
                os.kill(t.pid(), number)
            t.wait_key_wait()
            t.send(" ")
            t.expect(STOCK_MENU)

    def test_a_stop_and_continue_from_outside_take_the_keyboard_back(self):
        # SIGSTOP reaches no handler; whoever has the terminal meanwhile may set line mode.
        with Terminal() as t:
            t.send(TO_KEY_WAIT)
            t.expect(KEY_PROMPT)
            t.wait_key_wait()
            os.kill(t.pid(), signal.SIGSTOP)
            t.wait_until(lambda: signal.SIGSTOP in t.stops, "SIGSTOP to stop the game")
            mode = termios.tcgetattr(t.fd)
            mode[3] |= LINE_MODE
            termios.tcsetattr(t.fd, termios.TCSANOW, mode)
            os.kill(t.pid(), signal.SIGCONT)
            t.wait_key_wait()  # echo and line input off again
            t.send("x")  # one key, no Enter
            self.assertTrue(t.expect(STOCK_MENU).startswith(CLEAR), "the key was echoed")
            self.assertTrue(t.line_mode(), "echo or line input left off")

    def test_a_signal_ignored_at_the_start_stays_ignored(self):
        with Terminal(ignored=[signal.SIGHUP]) as t:  # as nohup starts it
            t.send(TO_KEY_WAIT)
            t.wait_key_wait()
            os.kill(t.pid(), signal.SIGHUP)
            t.send(" ")
            t.expect(STOCK_MENU)

    def test_a_copy_started_in_the_background_waits_in_front_and_resumes_after_ctrl_z(self):
        with Terminal(TO_KEY_WAIT, background=True) as t:
            t.wait_until(lambda: signal.SIGTTOU in t.stops, "the game to stop for the terminal")
            t.fg()  # the wait starts from the terminal's settings in front, not the shell's
            t.wait_key_wait()
            t.send(b"\x1a")
            t.wait_until(lambda: signal.SIGTSTP in t.stops, "Ctrl-Z to stop the game")
            self.assertTrue(t.line_mode(), "echo or line input left off")
            os.kill(t.pid(), signal.SIGCONT)  # still in the front: as fg does
            t.wait_key_wait()
            t.send(" ")
            self.assertEqual(t.finish(), 0)  # its input ends at the stock stage
            self.assertIn(STOCK_MENU, t.out)
            self.assertTrue(t.line_mode(), "echo or line input left off")

    def test_a_copy_stopped_in_the_background_dies_of_a_signal(self):
        # Started as `kessandor <script &`, or sent there by Ctrl-Z and bg: either way it stops
        # (tty output) when it wants the keyboard, and the shell's kill must end it.
        for number in (signal.SIGTERM, signal.SIGHUP, signal.SIGINT):
            for started_there in (True, False):
                with self.subTest(signal.Signals(number).name, started_there=started_there):
                    self.stop_in_background_and_kill(started_there, number)

    def stop_in_background_and_kill(self, started_there, number):
        with Terminal(TO_KEY_WAIT if started_there else None, background=started_there,
                      take_back=True) as t:
            if not started_there:
                t.send(TO_KEY_WAIT)
                t.wait_key_wait()
                t.send(b"\x1a")
                t.wait_until(lambda: signal.SIGTSTP in t.stops, "Ctrl-Z to stop the game")
                os.kill(t.pid(), signal.SIGCONT)  # the shell has the terminal: as bg does
            t.wait_until(lambda: signal.SIGTTOU in t.stops, "the game to stop for the terminal")
            shell_mode = termios.tcgetattr(t.fd)
            shell_mode[3] &= ~LINE_MODE  # as the shell's line editor sets it
            termios.tcsetattr(t.fd, termios.TCSANOW, shell_mode)
            os.kill(t.pid(), number)
            os.kill(t.pid(), signal.SIGCONT)  # as a shell's kill does for a stopped job
            self.assertTrue(died_of(t.finish(), number), t.finish())
            self.assertEqual(termios.tcgetattr(t.fd)[3], shell_mode[3], "the shell's mode changed")

    def test_two_copies_on_one_terminal_leave_it_with_echo_on(self):
        # The second copy starts its wait while the first holds the terminal in cbreak mode,
        # so the settings it finds are the first copy's, not the terminal's own.
        with Terminal(TO_KEY_WAIT, TO_KEY_WAIT) as t:
            t.expect(KEY_PROMPT)
            t.wait_key_wait(0)
            t.start_next()
            t.wait_key_wait(1)
            for index in (0, 1):
                os.kill(t.pid(index), signal.SIGTERM)
                self.assertTrue(died_of(t.finish(index), signal.SIGTERM))
            self.assertTrue(t.line_mode(), "echo or line input left off")


if __name__ == "__main__":
    unittest.main()
