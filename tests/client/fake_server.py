"""A table server for the client's tests: it speaks the tables' HTTP and WebSocket protocol on
loopback, records everything a client sends, and answers as the test tells it. One asyncio
loop in a thread of its own; the test talks to it through thread-safe calls and a queue."""
import asyncio
import http
import json
import queue
import re
import threading
import time

from websockets.frames import Opcode
from websockets.server import ServerConnection

DEADLINE = 10  # seconds for anything awaited


class FakeServer:
    def __init__(self, table="abc-123"):
        self.table = table
        self.events = queue.Queue()  # (kind, connection number, data)
        self.greet = lambda number, token: []  # what to send after a hello: dicts and bytes
        self.created = (201, {})  # the answer to POST /api/tables
        self._links = {}
        self._count = 0
        self.loop = asyncio.new_event_loop()
        started = threading.Event()
        self.thread = threading.Thread(target=self._run, args=(started,), daemon=True)
        self.thread.start()
        started.wait(DEADLINE)

    def __enter__(self):
        return self

    def __exit__(self, *_):
        asyncio.run_coroutine_threadsafe(self._shut_down(), self.loop).result(DEADLINE)
        self.loop.call_soon_threadsafe(self.loop.stop)
        self.thread.join(DEADLINE)
        self.loop.close()

    async def _shut_down(self):
        self.server.close()
        for _, writer in self._links.values():
            writer.close()
        for task in asyncio.all_tasks():
            if task is not asyncio.current_task():
                task.cancel()

    def _run(self, started):
        asyncio.set_event_loop(self.loop)
        self.server = self.loop.run_until_complete(
            asyncio.start_server(self._serve, "127.0.0.1", 0))
        self.port = self.server.sockets[0].getsockname()[1]
        started.set()
        self.loop.run_forever()

    def url(self, path=""):
        return f"http://127.0.0.1:{self.port}{path}"

    # What the test does to a connection, from its own thread.
    def send(self, number, *messages):
        self.loop.call_soon_threadsafe(self._send, number, messages)

    def drop(self, number):
        """Ends the connection without a closing handshake, as a lost network does."""
        self.loop.call_soon_threadsafe(lambda: self._links[number][1].transport.abort())

    def next(self, kind):
        """Waits for the next event of `kind`, dropping others; returns (number, data)."""
        deadline = time.monotonic() + DEADLINE
        while True:
            try:
                got, number, data = self.events.get(timeout=max(0, deadline - time.monotonic()))
            except queue.Empty:
                raise AssertionError(f"the fake server saw no {kind} within {DEADLINE} s")
            if got == kind:
                return number, data

    def keys(self, count):
        """Waits until `count` bytes of keys have come; returns them and the frames' sizes."""
        typed, sizes = b"", []
        while len(typed) < count:
            data = self.next("keys")[1]
            typed, sizes = typed + data, sizes + [len(data)]
        return typed, sizes

    def _send(self, number, messages):
        connection, writer = self._links[number]
        for message in messages:
            if isinstance(message, bytes):
                connection.send_binary(message)
            else:
                connection.send_text(json.dumps(message).encode())
        for data in connection.data_to_send():
            writer.write(data)

    async def _serve(self, reader, writer):
        try:
            head = await reader.readuntil(b"\r\n\r\n")
        except (asyncio.IncompleteReadError, asyncio.LimitOverrunError):
            writer.close()
            return
        if head.startswith(b"POST "):
            await self._create(head, reader, writer)
            return
        connection = ServerConnection()
        connection.receive_data(head)
        request = connection.events_received()[0]
        if request.path != f"/t/{self.table}/ws":
            connection.send_response(connection.reject(http.HTTPStatus.NOT_FOUND, "No such table.\n"))
            for data in connection.data_to_send():
                writer.write(data)
            writer.close()
            return
        connection.send_response(connection.accept(request))
        self._count += 1
        number = self._count
        self._links[number] = (connection, writer)
        self._send(number, [])
        await self._talk(number, connection, reader)
        self.events.put(("gone", number, None))
        writer.close()

    async def _talk(self, number, connection, reader):
        while True:
            data = await reader.read(65536)
            if not data:
                connection.receive_eof()
                return
            connection.receive_data(data)
            for frame in connection.events_received():
                if frame.opcode is Opcode.TEXT:
                    message = json.loads(frame.data)
                    self.events.put(("text", number, message))
                    if message.get("type") == "hello":
                        self.events.put(("hello", number, message.get("token")))
                        self._send(number, self.greet(number, message.get("token")))
                elif frame.opcode is Opcode.BINARY:
                    self.events.put(("keys", number, frame.data))
                elif frame.opcode is Opcode.CLOSE:
                    self.events.put(("close", number, None))
            self._send(number, [])  # pongs and the closing handshake's answer

    async def _create(self, head, reader, writer):
        length = re.search(rb"(?i)\r\ncontent-length: *(\d+)", head)
        body = await reader.readexactly(int(length[1])) if length else b""
        self.events.put(("post", 0, (head.decode("latin-1"), json.loads(body or b"null"))))
        status, answer = self.created
        payload = json.dumps(answer).encode()
        writer.write(b"HTTP/1.1 %d Answer\r\nContent-Type: application/json\r\n"
                     b"Content-Length: %d\r\nConnection: close\r\n\r\n%s"
                     % (status, len(payload), payload))
        await writer.drain()
        writer.close()
