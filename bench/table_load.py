#!/usr/bin/python3
"""Load benchmark of the table server: N tables of two seats on loopback, each seat a scripted
WebSocket client, playing whole games from the screen bytes as two people would.

Starts a kessandor-serve with a state folder of its own (or, with --through, aims at a proxy
in front of servers started elsewhere), keeps N tables playing for --duration seconds (a
finished game is replaced by a new table), and reports keystroke-to-screen latency (from
sending a key to the first screen bytes that follow on the same connection), tables held,
games finished, CPU seconds of the server and of its game processes, and resident memory per
table. Needs Debian's python3-websockets: run it with /usr/bin/python3."""
import argparse
import asyncio
import json
import os
import random
import re
import resource
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time
import urllib.parse
import urllib.request

import websockets

# The prompts a seat answers, as the game writes them (see tests/server/tables.py).
PROMPTS = [("title", re.compile(rb"\[Your Choice\]\[\?\] ")),
           ("name", re.compile(rb"\[What is player (\d)'s name\]\[\?\]: ")),
           ("turn", re.compile(rb"\[Choice\]\[\?\]  ")),
           ("build", re.compile(rb"\[Where Do you Wish to Build\]\[\?\] ")),
           ("key", re.compile(rb"\[Press Any Key to Continue\]\r\n")),
           ("stock", re.compile(rb"\[Choice\]\?  ")),
           ("buy", re.compile(rb" each, Can buy \d+\]: ")),
           ("standings", re.compile(rb"Press Any key to continue\r\n"))]
ANY_PROMPT = re.compile(b"|".join(b"(?P<" + k.encode() + b">" + p.pattern + b")"
                                  for k, p in PROMPTS))
PROMPT = dict(PROMPTS)
OFFERS = re.compile(rb"\[Here are coordinates you can build on\]\[:\]\r\n((?:[A-L][1-9] ){5})")
WHOSE = re.compile(rb"\[([^\]\r\n]{1,19})'s (?:Turn|available money)\]")
NAMES = ["Ann", "Bob"]
# Ctrl-U: a key in a key wait, and at a line prompt it erases an empty line, showing nothing,
# so pressing it again when a key wait did not move on changes no byte of the game.
ANY_KEY = b"\x15"
TRACE = os.environ.get("KESSANDOR_TRACE")
KEY_AGAIN = 2.0
LINE_AGAIN = 5.0  # seconds without even an echo before a line answer is typed again  # seconds without screen bytes before a key wait is pressed again


class Stats:
    def __init__(self):
        self.latencies = []
        self.games = 0
        self.tables_created = 0
        self.refusals = {}
        self.failures = 0
        self.retyped = 0
        self.concurrent = 0
        self.most_concurrent = 0


class Seat:
    def __init__(self, table, index):
        self.table, self.index = table, index
        self.ws = None
        self.sent_at = None  # when the key now waiting for the screen was sent

    async def send(self, keys):
        self.sent_at = time.monotonic()
        await self.ws.send(keys)

    async def run(self):
        stats = self.table.stats
        async for message in self.ws:
            if isinstance(message, bytes):
                if self.sent_at is not None:
                    stats.latencies.append(time.monotonic() - self.sent_at)
                    self.sent_at = None
                if self.index == 0:  # both seats see the same bytes; one copy is read
                    self.table.screen += message
                    self.table.moved.set()
            else:
                self.table.on_message(self, json.loads(message))


class Table:
    """One table: its two seats and the robot that answers its prompts."""

    def __init__(self, stats, links, ws_base, think):
        self.stats, self.links, self.ws_base, self.think = stats, links, ws_base, think
        self.seats = [Seat(self, 0), Seat(self, 1)]
        self.screen = b""
        self.at = 0
        self.whose = None
        self.bought = False
        self.awaiting = None  # the latest status's "awaiting"
        self.state = None
        self.moved = asyncio.Event()
        self.dropped = asyncio.Event()

    def on_message(self, seat, message):
        kind = message.get("type")
        if kind == "status":
            self.awaiting = message.get("awaiting")
            self.state = message.get("state")
            self.moved.set()
        elif kind == "notice" and seat.sent_at is not None:
            seat.sent_at = None  # the keys were dropped: no screen follows them
            self.dropped.set()
        elif kind in ("refused", "closing"):
            self.stats.refusals[message.get("reason")] = \
                self.stats.refusals.get(message.get("reason"), 0) + 1

    async def connect(self, seat, token):
        table_id = urllib.parse.urlsplit(self.links["host"]).path.split("/")[-1]
        seat.ws = await websockets.connect(f"{self.ws_base}/t/{table_id}/ws", compression=None,
                                           ping_interval=None, max_size=1 << 20,
                                           open_timeout=60, close_timeout=5)
        await seat.ws.send(json.dumps({"type": "hello", "token": token}))
        while True:
            message = await seat.ws.recv()
            if isinstance(message, str) and json.loads(message).get("type") == "welcome":
                return
            if isinstance(message, str) and json.loads(message).get("type") == "refused":
                raise RuntimeError(message)

    def may_type(self, seat):
        a = self.awaiting or {}
        who = a.get("who")
        return (who == "any" or (who == "host" and seat == 0) or
                (who == "player" and a.get("seat") == seat))

    async def wait_moved(self, timeout):
        self.moved.clear()
        try:
            await asyncio.wait_for(self.moved.wait(), timeout)
        except asyncio.TimeoutError:
            pass

    def next_prompt(self):
        found = ANY_PROMPT.search(self.screen, self.at)
        if not found:
            return None
        kind = found.lastgroup
        match = PROMPT[kind].match(self.screen, found.start())
        for whose in WHOSE.finditer(self.screen, self.at, found.start()):
            self.whose = whose.group(1).decode()
        return kind, match

    def answer(self, kind, match):
        """(seat, keys) for a prompt; keys None for a key wait."""
        if kind == "title":
            return 0, b"s\r"
        if kind == "name":
            person = int(match.group(1)) - 1
            return person, NAMES[person].encode() + b"\r"
        seat = NAMES.index(self.whose) if self.whose in NAMES else 0
        if kind == "turn":
            self.bought = False
            return seat, b"b\r"
        if kind == "build":
            offers = OFFERS.findall(self.screen, max(0, match.start() - 4096), match.end())
            return seat, offers[-1].split()[0] + b"\r"
        if kind == "stock":
            keys = b"e\r" if self.bought else b"b\r"
            self.bought = True
            return seat, keys
        if kind == "buy":
            return seat, b"1\r"
        return (0 if kind == "standings" else seat), None

    async def type_when_awaited(self, seat, keys, deadline):
        while not self.may_type(seat):
            if time.monotonic() > deadline:
                raise RuntimeError("the seat was never awaited")
            await self.wait_moved(1.0)
        self.dropped.clear()
        await self.seats[seat].send(keys)

    async def press_key(self, seat, after, deadline, until_finished=False):
        """Presses a key until the screen moves on past `after` (or the game is over)."""
        while True:
            await self.type_when_awaited(seat, ANY_KEY, deadline)
            stop = time.monotonic() + KEY_AGAIN
            while time.monotonic() < stop:
                if (self.state == "finished") if until_finished else len(self.screen) > after:
                    return
                await self.wait_moved(0.2)
            if time.monotonic() > deadline:
                raise RuntimeError("a key wait never ended")
            self.seats[seat].sent_at = None  # that key went nowhere: not a latency

    async def play(self, stop_at):
        """Plays the game to its end; False if the benchmark's time ran out first."""
        last = None  # the line answer typed last, to type again if it was dropped
        shown, typed = 0, 0.0  # the screen's length when it was typed, and when
        while True:
            deadline = time.monotonic() + 120
            prompt = self.next_prompt()
            while prompt is None:
                if time.monotonic() > stop_at:
                    if TRACE:
                        print(f"stopped at {self.screen[self.at - 300:]!r}", file=sys.stderr)
                    return False
                if time.monotonic() > deadline:
                    raise RuntimeError("no prompt came: " + repr(self.screen[-300:]))
                if self.dropped.is_set() and last:  # a notice: the keys were dropped
                    await self.type_when_awaited(*last, deadline)
                elif last and len(self.screen) == shown and time.monotonic() - typed > LINE_AGAIN:
                    # Not even echoed: the game lost them (see bench/README.md); again.
                    self.stats.retyped += 1
                    self.seats[last[0]].sent_at = None
                    await self.type_when_awaited(*last, deadline)
                    typed = time.monotonic()
                await self.wait_moved(1.0)
                prompt = self.next_prompt()
            if time.monotonic() > stop_at:
                return False
            kind, match = prompt
            self.at = match.end()
            seat, keys = self.answer(kind, match)
            if TRACE:
                print(f"{id(self) % 1000}: {kind} seat {seat} {keys!r} {self.awaiting}",
                      file=sys.stderr)
            if keys is None:
                last = None
                await self.press_key(seat, self.at, deadline, until_finished=kind == "standings")
                if kind == "standings":
                    return True
            else:
                last = (seat, keys)
                if self.think:  # a person takes a moment over each answer
                    await asyncio.sleep(random.uniform(0.5, 1.5) * self.think)
                await self.type_when_awaited(seat, keys, deadline)
                shown, typed = len(self.screen), time.monotonic()
            if self.at > 65536:  # keep the screen short; prompts lie after `at`
                cut = self.at - 8192
                self.screen, self.at = self.screen[cut:], self.at - cut


async def post_json(host, port, path, body, host_header):
    reader, writer = await asyncio.open_connection(host, port)
    data = json.dumps(body).encode()
    writer.write(f"POST {path} HTTP/1.1\r\nHost: {host_header}\r\nContent-Type: application/json"
                 f"\r\nContent-Length: {len(data)}\r\nConnection: close\r\n\r\n".encode() + data)
    answer = await reader.read()
    writer.close()
    head, _, payload = answer.partition(b"\r\n\r\n")
    status = int(head.split()[1])
    return status, payload


async def one_table(args, stats, k, stop_at):
    url = urllib.parse.urlsplit(args.urls[k % len(args.urls)])
    status, payload = await post_json(url.hostname, url.port, "/api/tables", {"seed": k},
                                      url.netloc)
    if status != 201:
        stats.refusals[f"create {status}"] = stats.refusals.get(f"create {status}", 0) + 1
        return False
    stats.tables_created += 1
    links = json.loads(payload)
    table = Table(stats, links, "ws://" + url.netloc, args.think)
    try:
        await table.connect(table.seats[0], links["host"].split("#")[1])
        await table.connect(table.seats[1], links["join"].split("#")[1])
        readers = [asyncio.ensure_future(s.run()) for s in table.seats]
        stats.concurrent += 1
        stats.most_concurrent = max(stats.most_concurrent, stats.concurrent)
        try:
            if await table.play(stop_at):
                stats.games += 1
        finally:
            stats.concurrent -= 1
            for reader in readers:
                reader.cancel()
    finally:
        for seat in table.seats:
            if seat.ws is not None:
                await seat.ws.close()
    return True


async def table_slot(args, stats, slot, stop_at):
    """Keeps one table playing until the time is up: a finished game makes way for a new one."""
    k = slot
    while time.monotonic() < stop_at:
        try:
            if not await one_table(args, stats, k, stop_at):
                await asyncio.sleep(1)
        except Exception as failure:  # noqa: BLE001 -- counted and reported, the run goes on
            stats.failures += 1
            if stats.failures <= 5:
                print(f"table {k}: {failure!r}", file=sys.stderr)
            await asyncio.sleep(1)
        k += args.tables


# ---------------------------------------------------------------------------------------
# The processes measured: CPU and resident memory from /proc.

TICK = os.sysconf("SC_CLK_TCK")
PAGE = os.sysconf("SC_PAGE_SIZE")


def proc_stat(pid):
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    # fields[0] is the state (field 3): utime is field 14, stime 15, cutime 16, cstime 17
    return {"ppid": int(fields[1]), "cpu": (int(fields[11]) + int(fields[12])) / TICK,
            "children": (int(fields[13]) + int(fields[14])) / TICK}


def rss(pid):
    with open(f"/proc/{pid}/statm") as f:
        return int(f.read().split()[1]) * PAGE


def pss(pid):
    """Proportional set size: shared pages (the program, the C library) divided among sharers."""
    with open(f"/proc/{pid}/smaps_rollup") as f:
        for line in f:
            if line.startswith("Pss:"):
                return int(line.split()[1]) * 1024
    return 0


def children_of(pids):
    found = []
    for name in os.listdir("/proc"):
        if name.isdigit():
            try:
                if proc_stat(int(name))["ppid"] in pids:
                    found.append(int(name))
            except (OSError, IndexError, ValueError):
                pass
    return found


def measure(servers):
    """CPU seconds of the servers, of their game processes (reaped and live), and RSS."""
    total = {"server_cpu": 0.0, "game_cpu": 0.0, "server_rss": 0, "game_rss": 0, "games": 0,
             "pss": 0}
    for pid in servers:
        s = proc_stat(pid)
        total["server_cpu"] += s["cpu"]
        total["game_cpu"] += s["children"]
        total["server_rss"] += rss(pid)
        total["pss"] += pss(pid)
    for pid in children_of(set(servers)):
        try:
            total["game_cpu"] += proc_stat(pid)["cpu"]
            total["game_rss"] += rss(pid)
            total["pss"] += pss(pid)
            total["games"] += 1
        except OSError:
            pass
    return total


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def start_server(args, folder, name=None, metrics_port=None):
    port = free_port()
    state = os.path.join(folder, f"state-{name or 'server'}")
    log = open(os.path.join(folder, f"{name or 'server'}.log"), "ab")
    argv = [args.server, "--listen", f"127.0.0.1:{port}", "--state", state,
            "--max-tables", str(args.tables * 2 + 10), "--tables-per-minute", "0"]
    if os.geteuid() == 0:
        argv += ["--user", "nobody"]
    if name:
        argv += ["--name", name]
    if metrics_port:
        argv += ["--metrics-listen", f"127.0.0.1:{metrics_port}"]
    process = subprocess.Popen(argv, stdin=subprocess.DEVNULL, stdout=log, stderr=log)
    end = time.monotonic() + 15
    while b"event=listening" not in open(log.name, "rb").read():
        if time.monotonic() > end or process.poll() is not None:
            raise SystemExit(f"the server did not start: {open(log.name, 'rb').read()!r}")
        time.sleep(0.05)
    return process, port


def percentile(values, p):
    ordered = sorted(values)
    return ordered[min(len(ordered) - 1, int(len(ordered) * p))] if ordered else float("nan")


def metrics_latency(port):
    """The server's own key-latency histogram from /metrics."""
    with urllib.request.urlopen(f"http://127.0.0.1:{port}/metrics", timeout=10) as answer:
        text = answer.read().decode()
    return [line for line in text.splitlines()
            if line.startswith(("kessandor_key_latency", "kessandor_refusals", "kessandor_keys_dropped"))]


async def sample_memory(servers, stats, samples, stop_at):
    while time.monotonic() < stop_at:
        await asyncio.sleep(5)
        if servers and stats.concurrent:
            m = await asyncio.get_running_loop().run_in_executor(None, measure, servers)
            samples.append((stats.concurrent, m))


async def run(args, servers):
    stats = Stats()
    started = time.monotonic()
    stop_at = started + args.duration
    samples = []
    before = measure(servers) if servers else None
    slots = []
    for slot in range(args.tables):  # spread the creations over the first seconds
        slots.append(asyncio.ensure_future(table_slot(args, stats, slot, stop_at)))
        if slot % 50 == 49:
            await asyncio.sleep(0.2)
    sampler = asyncio.ensure_future(sample_memory(servers, stats, samples, stop_at))
    await asyncio.gather(*slots)
    sampler.cancel()
    after = measure(servers) if servers else None
    return stats, time.monotonic() - started, before, after, samples


def report(args, stats, elapsed, before, after, samples, metrics_lines):
    ms = [x * 1000 for x in stats.latencies]
    print(f"tables asked {args.tables}, held at once at most {stats.most_concurrent}, "
          f"created {stats.tables_created}, games finished {stats.games}, "
          f"failures {stats.failures}, line answers typed again {stats.retyped}, refusals {stats.refusals or 'none'}")
    print(f"keystroke to screen over {len(ms)} keys: p50 {percentile(ms, 0.5):.1f} ms, "
          f"p99 {percentile(ms, 0.99):.1f} ms, max {max(ms, default=float('nan')):.1f} ms")
    print(f"elapsed {elapsed:.0f} s, think {args.think} s, keys {len(ms) / elapsed:.0f}/s")
    if before and after:
        print(f"CPU seconds: server {after['server_cpu'] - before['server_cpu']:.1f}, "
              f"game processes {after['game_cpu'] - before['game_cpu']:.1f}, "
              f"this benchmark's own client {time.process_time():.1f}")
    if samples:
        held, m = max(samples, key=lambda s: s[0])
        print(f"resident at {held} tables: server {m['server_rss'] / 2**20:.1f} MiB, "
              f"{m['games']} game processes {m['game_rss'] / 2**20:.1f} MiB, "
              f"per table {(m['server_rss'] + m['game_rss']) / held / 2**20:.2f} MiB "
              f"(proportional set size {m['pss'] / held / 2**20:.2f} MiB)")
    for line in metrics_lines:
        print(line)


NGINX_CONF = """\
worker_processes 1;
pid {folder}/nginx.pid;
error_log {folder}/nginx-error.log;
events {{ worker_connections {connections}; }}
worker_rlimit_nofile {files};
http {{
    access_log off;
    client_body_temp_path {folder}/body;
    proxy_temp_path {folder}/proxy;
    fastcgi_temp_path {folder}/fastcgi;
    uwsgi_temp_path {folder}/uwsgi;
    scgi_temp_path {folder}/scgi;
    map $http_upgrade $connection_upgrade {{ default upgrade; '' close; }}
    upstream s1 {{ server 127.0.0.1:{port1}; }}
    upstream s2 {{ server 127.0.0.1:{port2}; }}
    split_clients "$request_id" $new_table {{ 50% s1; * s2; }}
    map $uri $backend {{ ~^/t/s1- s1; ~^/t/s2- s2; default $new_table; }}
    server {{
        listen 127.0.0.1:{port};
        location / {{
            proxy_pass http://$backend;
            proxy_http_version 1.1;
            proxy_set_header Upgrade $http_upgrade;
            proxy_set_header Connection $connection_upgrade;
            proxy_set_header Host $host:$server_port;
            proxy_read_timeout 1h;
        }}
    }}
}}
"""


def start_nginx(args, folder, ports):
    port = free_port()
    conf = os.path.join(folder, "nginx.conf")
    with open(conf, "w") as f:
        f.write(NGINX_CONF.format(folder=folder, port=port, port1=ports[0], port2=ports[1],
                                  connections=args.tables * 6 + 100,
                                  files=args.tables * 8 + 200))
    process = subprocess.Popen([args.nginx, "-p", folder, "-c", conf, "-g", "daemon off;"],
                               stdin=subprocess.DEVNULL)
    end = time.monotonic() + 10
    while True:
        try:
            socket.create_connection(("127.0.0.1", port), timeout=1).close()
            return process, f"http://127.0.0.1:{port}"
        except OSError:
            if time.monotonic() > end:
                raise SystemExit("nginx did not start")
            time.sleep(0.05)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--tables", type=int, default=10)
    parser.add_argument("--duration", type=float, default=60, help="seconds, then it stops")
    parser.add_argument("--think", type=float, default=1.0,
                        help="mean seconds a seat takes before each line answer (0: none)")
    parser.add_argument("--server", default=os.path.join(here, "..", "build", "release", "src",
                                                         "kessandor-serve"))
    parser.add_argument("--metrics-listen", action="store_true",
                        help="give the server a /metrics port and print its latency histogram")
    parser.add_argument("--through", choices=["nginx"],
                        help="start two servers (--name s1, s2) and an nginx in front of them")
    parser.add_argument("--two-servers", action="store_true",
                        help="start the two servers of --through, and spread tables over them "
                             "directly: the same load without the proxy")
    parser.add_argument("--nginx", default=shutil.which("nginx") or "/usr/sbin/nginx")
    parser.add_argument("--url", help=argparse.SUPPRESS)
    args = parser.parse_args()
    if not 1 <= args.tables <= 5000 or not 1 <= args.duration <= 900:
        parser.error("--tables 1 to 5000, --duration 1 to 900 seconds")
    soft, hard = resource.getrlimit(resource.RLIMIT_NOFILE)
    resource.setrlimit(resource.RLIMIT_NOFILE, (hard, hard))
    folder = tempfile.mkdtemp(prefix="kessandor-load-")
    if os.geteuid() == 0:
        os.chmod(folder, 0o755)  # nobody must reach its state folder inside
    processes, servers, metrics_ports = [], [], []
    try:
        args.urls = []
        for name in (["s1", "s2"] if args.through or args.two_servers else [None]):
            mport = free_port() if args.metrics_listen else None
            process, port = start_server(args, folder, name, mport)
            processes.append(process)
            servers.append(process.pid)
            metrics_ports.append(mport)
            args.urls.append(f"http://127.0.0.1:{port}")
        if args.through:
            nginx, args.url = start_nginx(args, folder, [p.args[2].split(":")[1]
                                                         for p in processes])
            processes.append(nginx)
            args.urls = [args.url]
        stats, elapsed, before, after, samples = asyncio.run(run(args, servers))
        lines = []
        for mport in metrics_ports:
            if mport:
                lines += metrics_latency(mport)
        report(args, stats, elapsed, before, after, samples, lines)
    finally:
        for process in reversed(processes):
            process.send_signal(signal.SIGTERM)
        for process in processes:
            try:
                process.wait(timeout=20)
            except subprocess.TimeoutExpired:
                process.kill()
        if not os.environ.get("KESSANDOR_KEEP"):
            shutil.rmtree(folder, ignore_errors=True)
        else:
            print(f"kept {folder}")


if __name__ == "__main__":
    main()
