"""What the game writes to each kind of terminal, and lines longer than a terminal takes."""
import unittest

from driver import (CLEAR, KEY_PROMPT, STOCK_MENU, TITLE_MENU, TO_KEY_WAIT, Terminal,
                    run_piped)


class Clearing(unittest.TestCase):
    def test_escape_codes_only_for_a_terminal_that_understands_them(self):
        shown = {}
        for term in ("xterm", "dumb", None):
            with self.subTest(term=term), Terminal(term=term) as t:
                t.expect(TITLE_MENU)
                t.send(TO_KEY_WAIT)
                t.expect(KEY_PROMPT)
                t.wait_key_wait()
                t.send(" ")
                t.expect(STOCK_MENU)
                t.send(b"\x04")  # Ctrl-D: the input ends, and so does the game
                self.assertEqual(t.finish(), 0)
                shown[term] = t.out
        # Five screens, each cleared first: title, map, build map, announcement, stock stage.
        self.assertEqual(shown["xterm"].count(CLEAR), 5)
        self.assertTrue(shown["xterm"].startswith(CLEAR + "\n\n\n\n\n\n      "))
        self.assertNotIn("\x1b", shown["dumb"].replace("\f", ""))
        for term in ("dumb", None):
            self.assertEqual(shown[term], shown["xterm"].replace(CLEAR, "\f"), term)


class LongLine(unittest.TestCase):
    def test_a_megabyte_on_one_line_is_read_in_bounded_memory(self):
        # A terminal cuts lines at 4096 bytes, so these come through a pipe. One case per kind
        # of read: a character, a number, a word.
        cases = {
            "menu choice": (b"", b" ", b"h\n", "Hall of fame is not implemented"),
            "player count": (b"s\n", b"9", b"\n", "[Please Choose a Number Between 1 and 5]: "),
            "player name": (b"s\n1\n", b"N", b"\n", "[" + "N" * 19 + "'s Turn]"),
        }
        for name, (head, fill, tail, expected) in cases.items():
            with self.subTest(name):
                peak = {}
                for length in (20, 1 << 20):  # 20: already longer than any answer
                    shown, status, peak[length] = run_piped(head + fill * length + tail, expected)
                    self.assertEqual(status, 0)
                    self.assertIn(expected, shown)
                # Keeping the line would cost a megabyte or more.
                self.assertLess(peak[1 << 20] - peak[20], 512, "kilobytes more")


if __name__ == "__main__":
    unittest.main()
