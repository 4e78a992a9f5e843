"""Runs the real kessandor on a pseudo-terminal as a player at a terminal would: type, then
read the screen until the awaited text shows, within a deadline. The terminal's session
leader acts as a small job-control shell, so a test can stop, continue and background the
game, or run two copies of it on the same terminal."""
import fcntl
import os
import re
import resource
import select
import signal
import struct
import subprocess
import tempfile
import termios
import time

BINARY = os.environ["KESSANDOR_BINARY"]
DEADLINE = 10  # seconds for anything awaited; generous for the sanitizer build
CLEAR = "\x1b[H\x1b[2J\x1b[3J"
TITLE_MENU = "[Your Choice][?] "
KEY_PROMPT = "[Press Any Key to Continue]\n"
STOCK_MENU = "[Choice]?  "
TURN_MENU = "[Choice][?]  "
# In the galaxy of seed 3, E2 is among the first spots offered and lies next to a star:
# building there forms a company, whose announcement waits for a key; the stock stage follows.
SEED = ("--seed", "3")
TO_KEY_WAIT = b"s\n1\nAnn\nb\nE2\n"
LINE_MODE = termios.ECHO | termios.ICANON
# The games' saves and record go here, never to the real home folder.
HOME = tempfile.TemporaryDirectory(prefix="kessandor-e2e-")


def died_of(status, number):
    return os.WIFSIGNALED(status) and os.WTERMSIG(status) == number


def _start_copy(argv, env, script, group, foreground, ignored):
    """Runs in a child of the shell and becomes one copy of the game, in process group
    `group` (0: a new one). `script` is its standard input, or None for the terminal."""
    os.setpgid(0, group)
    if foreground:
        os.tcsetpgrp(0, os.getpgrp())  # allowed: the shell ignores SIGTTOU, and so do we
    # Python ignores these three; a copy started by a shell has them at their defaults.
    for number in (signal.SIGTTOU, signal.SIGPIPE, signal.SIGXFSZ):
        signal.signal(number, signal.SIG_DFL)
    for number in ignored:
        signal.signal(number, signal.SIG_IGN)
    resource.setrlimit(resource.RLIMIT_CORE, (0, 0))  # no core files from the signals sent
    if script is not None:
        read_end, write_end = os.pipe()
        os.write(write_end, script)
        os.close(write_end)
        os.dup2(read_end, 0)
    os.execve(BINARY, [BINARY, *argv], env)


def _shell(copies, control, report, background, take_back, rows):
    """Runs in the terminal's session leader and does what a job-control shell does: starts
    the copies as one job (each after the first when the test says so), reports every stop
    and every end, and, when `take_back` is set, takes the terminal back when the job stops.
    On SIGUSR1 it brings the job to the front, as fg does."""
    signal.signal(signal.SIGTTOU, signal.SIG_IGN)
    fcntl.ioctl(0, termios.TIOCSWINSZ, struct.pack("HHHH", rows, 80, 0, 0))
    line_mode = termios.tcgetattr(0)
    if background:  # the shell's line editor has the terminal while the job runs behind it
        editing = termios.tcgetattr(0)
        editing[3] &= ~LINE_MODE
        termios.tcsetattr(0, termios.TCSANOW, editing)
    group = 0
    for index, copy in enumerate(copies):
        if index > 0:
            os.read(control, 1)
        pid = os.fork()
        if pid == 0:
            _start_copy(group=group, **copy)
        group = group or pid
        try:
            os.setpgid(pid, group)  # as the copy does itself: whichever comes first
        except OSError:
            pass  # the copy got there first and has started the game
        os.write(report, b"start %d\n" % pid)

    def bring_to_front(*_):
        termios.tcsetattr(0, termios.TCSANOW, line_mode)
        os.tcsetpgrp(0, group)
        os.killpg(group, signal.SIGCONT)

    signal.signal(signal.SIGUSR1, bring_to_front)
    for _ in range(len(copies)):
        while True:
            pid, status = os.waitpid(-1, os.WUNTRACED)
            if not os.WIFSTOPPED(status):
                break
            if take_back:
                os.tcsetpgrp(0, os.getpgrp())
            os.write(report, b"stop %d %d\n" % (pid, os.WSTOPSIG(status)))
        os.write(report, b"end %d %d\n" % (pid, status))


class Terminal:
    """An 80 x `rows` terminal with TERM set to `term` (None: unset) and one copy of the game
    per script: None types on the terminal, bytes are the copy's standard input."""

    def __init__(self, *scripts, term="xterm", args=SEED, background=False, take_back=False,
                 ignored=(), rows=24):
        env = {name: value for name, value in os.environ.items() if name != "TERM"}
        env.update(XDG_DATA_HOME=HOME.name, XDG_STATE_HOME=HOME.name)
        if term is not None:
            env["TERM"] = term
        copies = [dict(argv=args, env=env, script=script, foreground=not background,
                       ignored=ignored) for script in scripts or (None,)]
        master, slave = os.openpty()
        self.slave_name = os.ttyname(slave)
        control, self.control = os.pipe()
        self.reports, report = os.pipe()
        self.shell = os.fork()
        if self.shell == 0:
            try:
                os.setsid()
                fcntl.ioctl(slave, termios.TIOCSCTTY, 0)
                for fd in (0, 1, 2):
                    os.dup2(slave, fd)
                _shell(copies, control, report, background, take_back, rows)
            finally:
                os._exit(127)  # the shell, or a copy that could not start
        for fd in (slave, control, report):
            os.close(fd)
        self.fd, self.raw, self.pos, self.reported = master, b"", 0, b""
        self.open = {master, self.reports}
        self.pids, self.stops, self.ends = [], [], {}

    def __enter__(self):
        return self

    def __exit__(self, *_):
        for pid in [*self.pids, self.shell]:
            if pid not in self.ends:
                try:
                    os.kill(pid, signal.SIGKILL)
                except ProcessLookupError:
                    pass  # it has ended, and its end is not read yet
        os.waitpid(self.shell, 0)
        for fd in (self.fd, self.reports, self.control):
            os.close(fd)

    @property
    def out(self):
        """Everything the terminal showed, with its line ends as the game wrote them."""
        return self.raw.decode("latin-1").replace("\r\n", "\n")

    def screen(self):
        return self.out[-2000:].replace("\x1b", "^[")

    def _pump(self, timeout):
        ready = select.select(list(self.open), [], [], timeout)[0]
        for fd in ready:
            try:
                chunk = os.read(fd, 65536)
            except OSError:  # EIO: the last process on the terminal has gone
                chunk = b""
            if not chunk:
                self.open.discard(fd)
            elif fd == self.fd:
                self.raw += chunk
            else:
                self.reported += chunk
                *lines, self.reported = self.reported.split(b"\n")
                for kind, *numbers in (line.split() for line in lines):
                    numbers = [int(n) for n in numbers]
                    if kind == b"start":
                        self.pids.append(numbers[0])
                    elif kind == b"stop":
                        self.stops.append(numbers[1])
                    else:
                        self.ends[numbers[0]] = numbers[1]

    def wait_until(self, done, what):
        deadline = time.monotonic() + DEADLINE
        while not done():
            if time.monotonic() > deadline:
                raise AssertionError(f"gave up waiting for {what}\n--- screen ---\n"
                                     f"{self.screen()}\n--- end of screen ---")
            self._pump(0.005)

    def expect(self, text):
        """Waits for `text` after what earlier waits took; returns the output up to its end."""
        self.wait_until(lambda: text in self.out[self.pos:], repr(text))
        end = self.out.index(text, self.pos) + len(text)
        seen, self.pos = self.out[self.pos:end], end
        return seen

    def send(self, keys):
        keys = keys.encode() if isinstance(keys, str) else keys
        while keys:
            keys = keys[os.write(self.fd, keys):]

    def send_read(self, keys):
        """Sends `keys` and waits until the game has read them off the terminal."""
        goal = self._bytes_read() + len(keys)
        self.send(keys)
        self.wait_until(lambda: self._bytes_read() >= goal, f"the game to read {keys!r}")

    def _bytes_read(self):
        with open(f"/proc/{self.pid()}/io") as io:
            return int(re.search(r"rchar: (\d+)", io.read())[1])

    def pid(self, index=0):
        self.wait_until(lambda: len(self.pids) > index, "the game to start")
        return self.pids[index]

    def start_next(self):
        os.write(self.control, b"+")

    def fg(self):
        os.kill(self.shell, signal.SIGUSR1)

    def line_mode(self):
        return termios.tcgetattr(self.fd)[3] & LINE_MODE == LINE_MODE

    def in_key_wait(self, pid):
        """Whether `pid` sits in a key wait: the terminal in cbreak mode, and the process
        asleep with the keyboard open beside its standard streams."""
        try:
            with open(f"/proc/{pid}/stat") as file:
                stat = file.read()
            links = [os.readlink(f"/proc/{pid}/fd/{fd}") for fd in os.listdir(f"/proc/{pid}/fd")
                     if int(fd) > 2]
        except OSError:
            return False
        keyboard = any(link in ("/dev/tty", self.slave_name) for link in links)
        cbreak = termios.tcgetattr(self.fd)[3] & LINE_MODE == 0
        return cbreak and keyboard and stat[stat.rindex(")") + 2] == "S"

    def wait_key_wait(self, index=0):
        pid = self.pid(index)
        self.wait_until(lambda: self.in_key_wait(pid), f"copy {index + 1} to wait for a key")

    def finish(self, index=0):
        """Waits for the copy to end and returns its wait status."""
        pid = self.pid(index)
        self.wait_until(lambda: pid in self.ends, f"copy {index + 1} to end")
        # What it wrote before it ended is in the terminal already: take all of it.
        shown = -1
        while shown != len(self.raw):
            shown = len(self.raw)
            self._pump(0)
        return self.ends[pid]


def run_piped(script, shows, args=SEED):
    """Runs the game with `script` on a pipe and no terminal at all, so key waits end at once,
    until it shows `shows`; then ends its input. Returns what it wrote, its exit status and
    its peak resident memory in kilobytes until it showed that."""
    with subprocess.Popen([BINARY, *args], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                          start_new_session=True) as game:
        game.stdin.write(script)  # the few screens it writes meanwhile fit in the pipe
        game.stdin.flush()
        shown, deadline = b"", time.monotonic() + DEADLINE
        while shows.encode() not in shown and time.monotonic() < deadline:
            if select.select([game.stdout], [], [], 0.1)[0]:
                shown += os.read(game.stdout.fileno(), 65536)
        if shows.encode() not in shown:  # a prompt not flushed before its read shows too late
            game.kill()
            raise AssertionError(f"no {shows!r} within {DEADLINE} s; the game wrote:\n"
                                 + shown.decode("latin-1")[-2000:])
        with open(f"/proc/{game.pid}/status") as status:
            peak = int(re.search(r"VmHWM:\s*(\d+)", status.read())[1])
        game.stdin.close()
        shown += game.stdout.read()
        return shown.decode("latin-1"), game.wait(DEADLINE), peak
