"""The key wait on a real terminal: one key, without Enter and without echo, whatever bytes
the key sends; keys typed before the announcement showed do not count."""
import unittest

from driver import (CLEAR, KEY_PROMPT, STOCK_MENU, TO_KEY_WAIT, TURN_MENU, Terminal)


class KeyWait(unittest.TestCase):
    def test_one_key_of_any_kind_ends_the_wait_and_leaves_nothing_behind(self):
        keys = {
            "a letter": [b"x"],
            "a UTF-8 letter": ["\u00e9".encode()],
            "cursor up": [b"\x1b[A"],
            "F1 on the Linux console": [b"\x1b[[A"],
            "cursor up split across reads": [b"\x1b", b"[A"],
        }
        for name, parts in keys.items():
            with self.subTest(name), Terminal() as t:
                t.send(TO_KEY_WAIT)
                t.expect(KEY_PROMPT)
                t.wait_key_wait()
                for part in parts:
                    t.send_read(part)
                # Neither echoed nor left over: the stock stage's screen comes straight after.
                self.assertTrue(t.expect(STOCK_MENU).startswith(CLEAR), t.screen())
                self.assertTrue(t.line_mode(), "echo or line input left off")
                t.send("e\n")
                self.assertNotIn("Sorry", t.expect(TURN_MENU))
                t.send(b"\x04")  # Ctrl-D: the input ends, and so does the game
                self.assertEqual(t.finish(), 0)

    def test_keys_typed_ahead_of_the_announcement_do_not_end_its_wait(self):
        with Terminal() as t:
            t.send(TO_KEY_WAIT + b"\n")  # Enter pressed twice on the build answer
            t.expect("*** New Corporation Formed ***")
            t.expect(KEY_PROMPT)
            t.wait_key_wait()
            self.assertNotIn(STOCK_MENU, t.out)
            t.send(" ")
            t.expect(STOCK_MENU)


if __name__ == "__main__":
    unittest.main()
