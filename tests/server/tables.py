"""Runs a real table server, the real game and real terminal clients on loopback, as friends
would: the server in a folder of its own, each client on a pseudo-terminal of 80 x 25 that the
test types into and reads from, waiting with a deadline for what it expects."""
import fcntl
import json
import os
import pty
import re
import select
import signal
import socket
import struct
import subprocess
import tempfile
import termios
import time
import urllib.request

BIN = os.environ["KESSANDOR_BIN_DIR"]
DEADLINE = float(os.environ.get("KESSANDOR_DEADLINE", "15"))
CLEAR = "\x1b[H\x1b[2J\x1b[3J"
# The client's status row, drawn as one write; the game's bytes are everything else.
STATUS_WRITE = re.compile(rb"\x1b7\x1b\[25;1H\x1b\[2K[^\x1b]*\x1b8")
CLIENT_FRAME = re.compile(rb"\x1b7\x1b\[1;24r\x1b8|\x1b7\x1b\[r\x1b8|\x1b\[2[23];2t|"
                          rb"\x1b\[r\x1b\[25;1H\x1b\[2K|\x1b\]2;[^\x07]*\x07")


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def as_user_args():
    """A server never runs as root; CI does, so it asks the server to become nobody."""
    return ["--user", "nobody"] if os.geteuid() == 0 else []


class Server:
    def __init__(self, *extra, state=None):
        self.folder = state or tempfile.mkdtemp(prefix="kessandor-serve-")
        if os.geteuid() == 0:
            os.chmod(self.folder, 0o755)  # nobody must reach its state folder inside
        self.state = os.path.join(self.folder, "state")
        self.port = free_port()
        self.extra = list(extra)
        self.log_path = os.path.join(self.folder, "server.log")
        self.process = None
        self.start()

    def start(self):
        """Starts the server (again, after a stop): returns once this start is listening."""
        starts = self.log().count("event=listening") if os.path.exists(self.log_path) else 0
        with open(self.log_path, "ab") as log:
            self.process = subprocess.Popen(
                [os.path.join(BIN, "kessandor-serve"), "--listen", f"127.0.0.1:{self.port}",
                 "--state", self.state, *as_user_args(), *self.extra],
                stdin=subprocess.DEVNULL, stdout=log, stderr=log)
        self.wait_for_log("event=listening", count=starts + 1)

    @property
    def url(self):
        return f"http://127.0.0.1:{self.port}"

    def log(self):
        with open(self.log_path, "rb") as f:
            return f.read().decode(errors="replace")

    def wait_for_log(self, text, count=1):
        end = time.monotonic() + DEADLINE
        while self.log().count(text) < count:
            if time.monotonic() > end or (self.process and self.process.poll() is not None):
                raise AssertionError(f"server never logged {text!r}:\n{self.log()}")
            time.sleep(0.02)

    def create(self, **fields):
        request = urllib.request.Request(self.url + "/api/tables", data=json.dumps(fields).encode(),
                                         headers={"Content-Type": "application/json"})
        with urllib.request.urlopen(request, timeout=DEADLINE) as answer:
            return json.loads(answer.read())

    def kill(self, sig=signal.SIGKILL):
        self.process.send_signal(sig)
        self.process.wait(timeout=DEADLINE)

    def stop(self):
        if self.process and self.process.poll() is None:
            self.kill(signal.SIGTERM)


LIVE = []  # every terminal still open, drained together


class Terminal:
    """A program on a pseudo-terminal of 80 x `rows`: what it wrote, and keys to type."""

    def __init__(self, argv, rows=25, env=None):
        self.pid, self.fd = pty.fork()
        if self.pid == 0:
            fcntl.ioctl(0, termios.TIOCSWINSZ, struct.pack("HHHH", rows, 80, 0, 0))
            os.execve(argv[0], argv, env or {"TERM": "xterm-256color", "PATH": "/usr/bin:/bin",
                                             "HOME": tempfile.gettempdir()})
        self.output = b""
        self.status = None
        LIVE.append(self)

    def read_some(self, timeout):
        """Reads what any live terminal has written, waiting up to `timeout` for this one:
        every terminal is drained, so no client ever blocks on a full terminal."""
        end = time.monotonic() + timeout
        got = False
        while True:
            live = [t for t in LIVE if t.status is None]
            ready, _, _ = select.select([t.fd for t in live], [], [],
                                        max(0.0, end - time.monotonic()))
            for terminal in live:
                if terminal.fd in ready:
                    got |= terminal._read() and terminal is self
            if got or not ready or time.monotonic() >= end:
                return got

    def _read(self):
        try:
            data = os.read(self.fd, 65536)
        except OSError:
            data = b""
        if not data:
            self.reap(DEADLINE)
            return False
        self.output += data
        return True

    def wait_for(self, text, after=0, deadline=DEADLINE):
        """Reads until `text` (bytes or a compiled pattern) shows after offset `after` of the
        game's bytes; returns the offset just past it."""
        end = time.monotonic() + deadline
        while True:
            game = self.game_bytes()
            found = (text.search(game, after) if hasattr(text, "search")
                     else re.compile(re.escape(text)).search(game, after))
            if found:
                return found.end()
            if time.monotonic() > end or self.status is not None:
                raise AssertionError(f"never saw {text!r}; the screen ends with:\n"
                                     f"{game[-1500:].decode(errors='replace')}")
            self.read_some(0.05)

    def wait_for_raw(self, text, deadline=DEADLINE):
        end = time.monotonic() + deadline
        while text not in self.output:
            if time.monotonic() > end or self.status is not None:
                raise AssertionError(f"never saw {text!r}:\n{self.output[-1500:]!r}")
            self.read_some(0.05)

    def type(self, keys):
        os.write(self.fd, keys.encode() if isinstance(keys, str) else keys)

    def game_bytes(self):
        """What the game wrote, the client's own status writes and frame taken out."""
        return CLIENT_FRAME.sub(b"", STATUS_WRITE.sub(b"", self.output))

    def statuses(self):
        return [m.group(0).decode(errors="replace") for m in STATUS_WRITE.finditer(self.output)]

    def reap(self, timeout=None):
        if self.status is None:
            end = time.monotonic() + (timeout if timeout is not None else 0)
            while True:
                pid, status = os.waitpid(self.pid, os.WNOHANG)
                if pid:
                    self.status = status
                    break
                if time.monotonic() >= end:
                    break
                time.sleep(0.02)
        return self.status

    def wait_exit(self, deadline=DEADLINE):
        end = time.monotonic() + deadline
        while self.reap() is None:
            if time.monotonic() > end:
                raise AssertionError("the program did not end")
            self.read_some(0.05)
        self._read_rest()
        return self.status

    def _read_rest(self):
        """What an ended program wrote last and nobody has read yet: it stays in the terminal
        until read (then the terminal reports its end)."""
        while select.select([self.fd], [], [], 0)[0]:
            try:
                data = os.read(self.fd, 65536)
            except OSError:
                return
            if not data:
                return
            self.output += data

    def close(self):
        if self.reap() is None:
            os.kill(self.pid, signal.SIGKILL)
            self.reap(DEADLINE)
        if self in LIVE:
            LIVE.remove(self)
        os.close(self.fd)


def join(link, *extra, rows=25):
    return Terminal([os.path.join(BIN, "kessandor"), "join", link, *extra], rows=rows)


def local_game(*args):
    """The game itself at a terminal of 80 x 24, for the bytes a table must reproduce."""
    home = tempfile.mkdtemp(prefix="kessandor-local-")
    return Terminal([os.path.join(BIN, "kessandor"), *args], rows=24,
                    env={"TERM": "xterm-256color", "PATH": "/usr/bin:/bin", "HOME": home,
                         "XDG_STATE_HOME": home, "XDG_DATA_HOME": home, "KESSANDOR_SAVE": "0"})


OFFERS = re.compile(rb"\[Here are coordinates you can build on\]\[:\]\r\n((?:[A-L][1-9] ){5})")


def first_offer(terminal, after):
    """The first spot offered on the build screen shown after offset `after`."""
    end = terminal.wait_for(OFFERS, after)
    found = OFFERS.search(terminal.game_bytes(), after)
    return found.group(1).split()[0].decode(), end


# The prompts a player answers, as the game writes them (line ends as a terminal shows them).
TITLE_MENU = b"[Your Choice][?] "
COUNT = b"[How many people are playing][?]: "
NAME = re.compile(rb"\[What is player (\d)'s name\]\[\?\]: ")
TURN_MENU = b"[Choice][?]  "
BUILD = b"[Where Do you Wish to Build][?] "
KEY = b"[Press Any Key to Continue]\r\n"
STOCK_MENU = b"[Choice]?  "
BUY = re.compile(rb" each, Can buy \d+\]: ")
STANDINGS = b"Press Any key to continue\r\n"
WHOSE = re.compile(rb"\[([^\]\r\n]{1,19})'s (?:Turn|available money)\]")
# Any key for a key wait. Ctrl-U does not echo: in the key wait it is a key, and should it
# reach a line prompt (the key wait had already ended), it erases an empty line, showing
# nothing. So pressing it again until the screen moves on changes no byte of the game.
ANY_KEY = b"\x15"


class Robot:
    """Plays a game from what `screen` shows, typing each answer into the terminal of the
    person it belongs to: `typist(kind, name)` returns it, or None when nobody types (a
    table answers the player count itself). Founds companies where it can, buys a few
    shares in each stock stage, and presses a key at every announcement."""

    def __init__(self, screen, typist, names):
        self.screen, self.typist, self.names = screen, typist, names
        self.at = 0  # how far the game's bytes have been answered
        self.bought = False
        self.whose = None
        self.hooks = []  # (turns, function) to run once that many turns have been answered
        self.turns = 0

    PROMPTS = [("title", TITLE_MENU), ("count", COUNT), ("name", NAME), ("turn", TURN_MENU),
               ("build", BUILD), ("key", KEY), ("stock", STOCK_MENU), ("buy", BUY),
               ("standings", STANDINGS)]

    def next_prompt(self):
        """Waits for the next prompt after what was answered; returns (kind, match end, match)."""
        end = time.monotonic() + DEADLINE
        while True:
            game = self.screen.game_bytes()
            best = None
            for kind, pattern in self.PROMPTS:
                found = (pattern.search(game, self.at) if hasattr(pattern, "search")
                         else re.compile(re.escape(pattern)).search(game, self.at))
                if found and (best is None or found.start() < best[2].start()):
                    best = (kind, found.end(), found)
            if best:
                for whose in WHOSE.finditer(game, self.at, best[2].start()):
                    self.whose = whose.group(1).decode()
                return best
            if time.monotonic() > end or self.screen.status is not None:
                raise AssertionError("no prompt came; the screen ends with:\n"
                                     + game[-1500:].decode(errors="replace"))
            self.screen.read_some(0.05)

    def press_key(self, terminal, after):
        """Presses a key until the game's bytes move on past `after`."""
        end = time.monotonic() + DEADLINE
        while time.monotonic() < end:
            terminal.type(ANY_KEY)
            stop = time.monotonic() + 0.5
            while time.monotonic() < stop:
                if len(self.screen.game_bytes()) > after:
                    return
                self.screen.read_some(0.05)
        raise AssertionError("a key wait never ended")

    def wait_for_turn(self, person):
        """At a table, waits until the person's status row says it is their turn: the prompt
        can reach their screen before the server has heard whose answer the game awaits, and
        keys that come first are dropped as out of turn."""
        end = time.monotonic() + DEADLINE
        while person.statuses() and "your turn" not in person.statuses()[-1]:
            if time.monotonic() > end:
                raise AssertionError(f"never their turn: {person.statuses()[-1]!r}")
            self.screen.read_some(0.05)

    def play(self, until="standings"):
        """Answers prompts until `until` has been answered; returns the offset past it."""
        while True:
            kind, end, found = self.next_prompt()
            self.at = end
            for hook in [h for h in self.hooks if h[0] <= self.turns]:
                self.hooks.remove(hook)
                hook[1]()
            answer = self.answer(kind, found)
            person = self.typist(kind, self.whose)
            if os.environ.get("KESSANDOR_ROBOT_TRACE"):
                print(f"robot: {kind} {self.whose} {answer!r} at {end}", flush=True)
            if answer is not None and person is not None:
                if answer == ANY_KEY and kind != "standings":  # a table ends after that key
                    self.press_key(person, end)
                else:
                    if answer != ANY_KEY:
                        self.wait_for_turn(person)
                    person.type(answer)
            if kind == until:
                return end

    def answer(self, kind, found):
        if kind == "title":
            return b"s\r"
        if kind == "count":
            return str(len(self.names)).encode() + b"\r"
        if kind == "name":
            self.whose = self.names[int(found.group(1)) - 1]
            return self.whose.encode() + b"\r"
        if kind == "turn":
            self.bought = False
            self.turns += 1
            return b"b\r"
        if kind == "build":
            offers = OFFERS.findall(self.screen.game_bytes(), 0, found.end())
            return offers[-1].split()[0] + b"\r"
        if kind == "stock":
            if self.bought:
                return b"e\r"
            self.bought = True
            return b"b\r"
        if kind == "buy":
            return b"1\r"
        return ANY_KEY  # key, standings


def last_screen(terminal, end):
    """The game's screen that ends at offset `end` of its bytes: from the last clear before."""
    game = terminal.game_bytes()
    return game[game.rindex(CLEAR.encode(), 0, end):end]


TABLE_NAMES = ["Ann", "Bob"]
# A client's status row while it is not at its table.
RECONNECTING = re.compile(r"connection lost|trying|server closing")


class Table:
    """A table as the server created it (`created`, its answer to a new table), Ann at its host
    seat and Bob at its join link, each on a terminal client, and a robot to play it."""

    def __init__(self, test, created):
        self.id = created["table"]
        self.link = created["host"]
        self.host = join(created["host"])
        test.addCleanup(self.host.close)
        self.guest = join(created["join"])
        test.addCleanup(self.guest.close)
        people = {"Ann": self.host, "Bob": self.guest}

        def typist(kind, whose):
            if kind == "count":
                return None  # the table answers: the people seated
            return self.host if kind in ("title", "standings") else people[whose]

        self.robot = Robot(self.host, typist, TABLE_NAMES)

    def play_turns(self, turns):
        """Plays on until `turns` more turns have begun, and stops at that turn's menu with
        nothing typed: the game waits there, saved at the start of the turn."""
        target = self.robot.turns + turns
        while True:
            kind, end, found = self.robot.next_prompt()
            if kind == "turn" and self.robot.turns == target:
                return end
            self.robot.play(until=kind)

    def status_counts(self):
        return len(self.host.statuses()), len(self.guest.statuses())

    def statuses_since(self, counts):
        return [s for t, n in zip((self.host, self.guest), counts) for s in t.statuses()[n:]]
