"""Two table servers behind the sample nginx site (deploy/nginx/kessandor.conf), as a
community would run them: new tables spread over both, each table's link reaches the server
that holds it, a whole game plays through nginx exactly as at one terminal, and a server
killed mid-game costs the other server's game nothing and its own tables nothing but a wait."""
import json
import os
import shutil
import signal
import subprocess
import tempfile
import time
import unittest
import urllib.error
import urllib.request

from tables import (DEADLINE, RECONNECTING, STANDINGS, TURN_MENU, Server, Table, free_port,
                    last_screen)
from test_table_game import from_first_clear, reference_game, up_to_standings

SITE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "deploy", "nginx",
                    "kessandor.conf")
SEED = 3
NGINX = shutil.which("nginx") or shutil.which("nginx", path="/usr/sbin:/usr/local/sbin")
# The addresses the sample site is written for: nginx's own and its two servers'.
SITE_ADDRESSES = ("127.0.0.1:8080", "127.0.0.1:8475", "127.0.0.1:8476")


class Nginx:
    """nginx as this test's own process, in a prefix of its own, serving the sample site with
    the test's ports put in for the sample's."""

    def __init__(self, port, backends):
        self.prefix = tempfile.mkdtemp(prefix="kessandor-nginx-")
        os.chmod(self.prefix, 0o755)  # started as root, nginx's workers are nobody
        self.port = port
        with open(SITE) as f:
            site = f.read()
        for sample, ours in zip(SITE_ADDRESSES, [f"127.0.0.1:{port}"] + backends):
            assert sample in site, f"the sample site no longer uses {sample}"
            site = site.replace(sample, ours)
        with open(os.path.join(self.prefix, "kessandor.conf"), "w") as f:
            f.write(site)
        self.conf = os.path.join(self.prefix, "nginx.conf")
        temp = "".join(f"{kind}_temp_path {self.prefix}/{kind}_temp;\n"
                       for kind in ("client_body", "proxy", "fastcgi", "uwsgi", "scgi"))
        with open(self.conf, "w") as f:
            f.write(f"worker_processes 1;\n{'user nobody nogroup;' if os.geteuid() == 0 else ''}\n"
                    f"error_log {self.prefix}/error.log info;\n"
                    "events { worker_connections 256; }\n"
                    f"http {{\naccess_log {self.prefix}/access.log;\n{temp}"
                    f"include {self.prefix}/kessandor.conf;\n}}\n")
        self.process = subprocess.Popen(
            [NGINX, "-p", self.prefix, "-c", self.conf, "-e",
             f"{self.prefix}/error.log", "-g", f"daemon off; pid {self.prefix}/nginx.pid;"],
            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.wait_until_up()

    @property
    def url(self):
        return f"http://127.0.0.1:{self.port}"

    def wait_until_up(self):
        end = time.monotonic() + DEADLINE
        while True:
            try:
                self.status_of("/healthz")
                return
            except (ConnectionError, urllib.error.URLError):
                if time.monotonic() > end or self.process.poll() is not None:
                    with open(os.path.join(self.prefix, "error.log")) as f:
                        raise AssertionError("nginx did not start:\n" + f.read())
                time.sleep(0.05)

    def status_of(self, path, base=None):
        try:
            with urllib.request.urlopen((base or self.url) + path, timeout=DEADLINE) as answer:
                return answer.status
        except urllib.error.HTTPError as error:
            return error.code

    def create(self, **fields):
        request = urllib.request.Request(self.url + "/api/tables", data=json.dumps(fields).encode(),
                                         headers={"Content-Type": "application/json"})
        with urllib.request.urlopen(request, timeout=DEADLINE) as answer:
            return json.loads(answer.read())

    def stop(self):
        if self.process.poll() is None:
            self.process.send_signal(signal.SIGQUIT)  # nginx's graceful stop
            try:
                self.process.wait(timeout=DEADLINE)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()


def table_path(link):
    """/t/ID of a link BASE/t/ID#TOKEN."""
    return "/t/" + link.split("/t/", 1)[1].split("#", 1)[0]


@unittest.skipUnless(NGINX, "nginx is not installed (Debian: nginx-light)")
class TwoServersBehindNginx(unittest.TestCase):
    def setUp(self):
        port = free_port()
        public = ["--public-url", f"http://127.0.0.1:{port}"]
        self.s1 = Server("--name", "s1", *public)
        self.addCleanup(self.s1.stop)
        self.s2 = Server("--name", "s2", *public)
        self.addCleanup(self.s2.stop)
        self.nginx = Nginx(port, [f"127.0.0.1:{self.s1.port}", f"127.0.0.1:{self.s2.port}"])
        self.addCleanup(self.nginx.stop)

    def create_on_both(self):
        """Creates tables through nginx until each server holds some; returns one of each."""
        made = {"s1": [], "s2": []}
        for _ in range(8):
            if min(len(tables) for tables in made.values()) >= 2:
                break
            created = self.nginx.create(seed=SEED)
            self.assertTrue(created["host"].startswith(self.nginx.url + "/t/"), created)
            made[created["table"].split("-")[0]].append(created)
        self.assertEqual([len(made["s1"]), len(made["s2"])], [2, 2])  # round-robin: 4 tries
        for name, server, other in (("s1", self.s1, self.s2), ("s2", self.s2, self.s1)):
            for created in made[name]:
                path = table_path(created["host"])
                self.assertEqual(self.nginx.status_of(path), 200)
                self.assertEqual(self.nginx.status_of(path, server.url), 200)
                self.assertEqual(self.nginx.status_of(path, other.url), 404)  # not elsewhere
        return made["s1"][0], made["s2"][0]

    def test_tables_spread_keep_their_server_and_outlive_a_killed_one(self):
        # What nginx never passes on, and what it cannot route.
        self.assertEqual(self.nginx.status_of("/metrics"), 404)
        self.assertEqual(self.nginx.status_of("/t/s9-abcdefghij"), 404)
        self.assertEqual(self.nginx.status_of("/"), 200)
        expected = reference_game()
        on_s1, on_s2 = self.create_on_both()
        doomed, survivor = Table(self, on_s1), Table(self, on_s2)
        screen = last_screen(doomed.host, doomed.play_turns(3))
        survivor.play_turns(2)
        survivor_joins = self.s2.log().count(f"event=joined table={survivor.id}")
        seen = survivor.status_counts()

        # s1 dies mid-game; s2's game goes on to its standings, its clients never disturbed.
        self.s1.kill()
        doomed_at = len(doomed.host.game_bytes())
        survivor.robot.play()
        survivor.guest.wait_for(STANDINGS)
        for terminal in (survivor.host, survivor.guest):
            self.assertEqual(up_to_standings(from_first_clear(terminal.game_bytes())), expected)
        self.assertEqual([s for s in survivor.statuses_since(seen) if RECONNECTING.search(s)], [])
        self.assertEqual(self.s2.log().count(f"event=joined table={survivor.id}"), survivor_joins)
        self.assertEqual(self.nginx.status_of(table_path(doomed.link)), 502)  # waits for s1
        doomed.host.wait_for_raw(b"connection lost")

        # s1 comes back: its table resumes on the same link, its clients back by themselves.
        self.s1.start()
        self.assertEqual(self.nginx.status_of(table_path(doomed.link)), 200)
        self.s1.wait_for_log(f"event=joined table={doomed.id}", count=4)
        resumed_at = doomed.host.wait_for(TURN_MENU, doomed_at, deadline=2 * DEADLINE)
        self.assertEqual(last_screen(doomed.host, resumed_at), screen)  # the turn it reached
        doomed.robot.at = doomed_at
        doomed.robot.play()
        doomed.guest.wait_for(STANDINGS)
        self.s1.wait_for_log("event=game-recorded")


if __name__ == "__main__":
    unittest.main()
