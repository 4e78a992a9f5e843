"""What the server does with what it must not trust: links nobody was given, first messages
that are not a hello, oversized messages, floods of keys, too many tables, pages of other
sites. Each gets a refusal and a log line, and the table being played meanwhile never notices."""
import base64
import json
import os
import socket
import struct
import time
import unittest
import urllib.error
import urllib.request

from tables import DEADLINE, TITLE_MENU, Server, join


class WebSocket:
    """Just enough of a WebSocket client to send what no well-behaved client would."""

    def __init__(self, port, path, origin=None):
        self.sock = socket.create_connection(("127.0.0.1", port), timeout=DEADLINE)
        key = base64.b64encode(os.urandom(16)).decode()
        headers = [f"GET {path} HTTP/1.1", f"Host: 127.0.0.1:{port}", "Upgrade: websocket",
                   "Connection: Upgrade", f"Sec-WebSocket-Key: {key}",
                   "Sec-WebSocket-Version: 13"]
        if origin:
            headers.append(f"Origin: {origin}")
        self.sock.sendall(("\r\n".join(headers) + "\r\n\r\n").encode())
        self.answer = b""
        while b"\r\n\r\n" not in self.answer:
            data = self.sock.recv(4096)
            if not data:
                break
            self.answer += data
        self.rest = self.answer.split(b"\r\n\r\n", 1)[1] if b"\r\n\r\n" in self.answer else b""

    @property
    def accepted(self):
        return self.answer.startswith(b"HTTP/1.1 101")

    def send(self, payload, text=True):
        mask = os.urandom(4)
        head = bytes([0x81 if text else 0x82])
        size = len(payload)
        if size < 126:
            head += bytes([0x80 | size])
        elif size < 65536:
            head += bytes([0xFE]) + struct.pack("!H", size)
        else:
            head += bytes([0xFF]) + struct.pack("!Q", size)
        masked = bytes(b ^ mask[i % 4] for i, b in enumerate(payload))
        self.sock.sendall(head + mask + masked)

    def messages(self):
        """Every message until the server closes the connection: (opcode, payload)."""
        data, found = self.rest, []
        while True:
            while len(data) >= 2:
                size, at = data[1] & 0x7F, 2
                if size == 126:
                    size, at = struct.unpack("!H", data[2:4])[0], 4
                elif size == 127:
                    size, at = struct.unpack("!Q", data[2:10])[0], 10
                if len(data) < at + size:
                    break
                found.append((data[0] & 0x0F, data[at:at + size]))
                data = data[at + size:]
                if found[-1][0] == 8:
                    return found
            try:
                chunk = self.sock.recv(65536)
            except (socket.timeout, ConnectionResetError):
                return found
            if not chunk:
                return found
            data += chunk


def refusal(ws):
    texts = [json.loads(p) for op, p in ws.messages() if op == 1]
    return next((t["reason"] for t in texts if t.get("type") == "refused"), None)


class AbuseIsRefused(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.server = Server("--max-tables", "3")
        cls.table = cls.server.create()
        cls.table_id = cls.table["table"]
        # A table in play: a person at its title menu, who must notice nothing of the rest.
        cls.host = join(cls.table["host"])
        cls.host.wait_for(TITLE_MENU)

    @classmethod
    def tearDownClass(cls):
        cls.host.close()
        cls.server.stop()

    def ws(self, origin=None):
        return WebSocket(self.server.port, f"/t/{self.table_id}/ws", origin)

    def test_a_guessed_token_or_a_first_message_that_is_no_hello_is_refused(self):
        for first in (json.dumps({"type": "hello", "token": "a" * 26}).encode(),
                      b'{"type":"hello"}', b"not json at all"):
            ws = self.ws()
            self.assertTrue(ws.accepted)
            ws.send(first)
            self.assertIsNotNone(refusal(ws), first)
        ws = self.ws()
        ws.send(b"\x00\xff")  # a text message that is not UTF-8: the connection just ends
        self.assertEqual(ws.messages()[-1][0], 8)
        self.server.wait_for_log("event=refused why=token")
        self.server.wait_for_log("event=refused why=hello")

    def test_an_oversized_message_and_a_flood_of_keys_end_the_connection(self):
        ws = self.ws()
        ws.send(b"x" * 100000)
        self.assertEqual(ws.messages()[-1][0], 8)  # closed
        self.server.wait_for_log("why=message-too-big")
        ws = self.ws()
        ws.send(json.dumps({"type": "hello", "token": self.table["watch"].split("#")[1]}).encode())
        flooding = time.monotonic()
        for _ in range(2000):
            ws.send(b"q", text=False)
        messages = ws.messages()
        seconds = time.monotonic() - flooding
        self.assertTrue(any(op == 8 for op, _ in messages))
        # Keys over the rate are not typed, and the typist hears so at most once a second,
        # not once a frame (some 256 frames over the limit before the connection ends).
        notices = [json.loads(p)["text"] for op, p in messages
                   if op == 1 and json.loads(p).get("type") == "notice"]
        told = notices.count("Too many keys at once: some were not typed.")
        self.assertTrue(1 <= told <= 1 + int(seconds), (told, seconds))
        self.server.wait_for_log("why=keys-over-limit")
        self.server.wait_for_log("why=flood")

    def test_another_sites_page_may_not_open_a_table_or_make_one(self):
        ws = self.ws(origin="https://evil.example")
        self.assertFalse(ws.accepted)
        self.assertTrue(ws.answer.startswith(b"HTTP/1.1 403"))
        request = urllib.request.Request(self.server.url + "/api/tables", data=b"{}",
                                         headers={"Origin": "https://evil.example"})
        with self.assertRaises(urllib.error.HTTPError) as refused:
            urllib.request.urlopen(request, timeout=DEADLINE)
        self.assertEqual(refused.exception.code, 403)

    def test_bad_requests_and_too_many_tables_are_told_apart(self):
        for body in (b'{"computers":9}', b'{"players":2}', b"[", b"x" * 5000):
            request = urllib.request.Request(self.server.url + "/api/tables", data=body)
            with self.assertRaises(urllib.error.HTTPError) as refused:
                urllib.request.urlopen(request, timeout=DEADLINE)
            self.assertIn(refused.exception.code, (400, 413), body[:20])
        codes = []
        for _ in range(4):
            try:
                self.server.create()
                codes.append(201)
            except urllib.error.HTTPError as refused:
                codes.append(refused.code)
        self.assertIn(503, codes)  # three tables at most, one of them the table in play
        self.server.wait_for_log("why=too-many-tables")
        for path in ("/t/../../etc/passwd", "/t/nosuchtable", "/etc/passwd", "/assets/../x"):
            with self.assertRaises(urllib.error.HTTPError) as missing:
                urllib.request.urlopen(self.server.url + path, timeout=DEADLINE)
            self.assertEqual(missing.exception.code, 404, path)

    def test_the_table_in_play_noticed_nothing(self):
        self.host.type(b"c\r")  # the host still plays: credits, then the menu again
        self.host.wait_for(b"Programming: The Kessandor developers")
        self.assertIsNone(self.host.reap())


if __name__ == "__main__":
    unittest.main()
