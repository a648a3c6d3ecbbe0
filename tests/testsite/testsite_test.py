#!/usr/bin/python3
"""Tests of the test site itself (tests/testsite/testsite.py): its result pages, read back by
the program's own parser (turnbell-parse, given with --parse), its scripted answers,
its request log, its stop, and the same over HTTPS with the test CA (tests/testsite/test-ca.sh).

  testsite_test.py --parse PATH_TO_TURNBELL_PARSE [unittest arguments]
"""

import http.client
import json
import os
import shutil
import signal
import socket
import ssl
import subprocess
import sys
import tempfile
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
SITE = os.path.join(HERE, "testsite.py")
PARSE = None

sys.path.insert(0, HERE)
import testsite  # noqa: E402

SCENARIO = {
    "sections": [
        {"type": "Ploc", "games": [
            {"id": 12, "players": [{"id": 1, "name": "Ann"}, {"id": 2, "name": "Bob", "emphasised": True}],
             "active": "Ann"},
            {"id": 34, "link": "Partie.php?id=34&Vue=2", "players": [{"id": 3, "name": "Cyd"}],
             "active": "Cyd"},
        ]},
        {"type": "Mahjong des Monts", "games": [
            {"id": 56, "players": [{"id": 1, "name": "Ann"}], "cycle": ["Bob", "Ann"], "period": 1000},
        ]},
    ],
}


class Site:
    """One running test site, stopped by its pid. With tls (certificate file, key
    file) it speaks HTTPS, and requests go to "localhost" through the ssl context."""

    def __init__(self, scenario, log_path=None, tls=None, context=None):
        self.dir = tempfile.mkdtemp()
        self.context = context
        path = os.path.join(self.dir, "scenario.json")
        with open(path, "w", encoding="utf-8") as f:
            json.dump(scenario, f)
        args = [sys.executable, SITE, "--port", "0", "--scenario", path]
        if log_path:
            args += ["--log", log_path]
        if tls:
            args += ["--tls", *tls]
        self.process = subprocess.Popen(args, stdout=subprocess.PIPE, text=True)
        line = self.process.stdout.readline().split()
        assert line[:2] == ["listening", "127.0.0.1"], line
        self.port = int(line[2])

    def request(self, method, path, body=None, timeout=10):
        if self.context:
            conn = http.client.HTTPSConnection("localhost", self.port, timeout=timeout, context=self.context)
        else:
            conn = http.client.HTTPConnection("127.0.0.1", self.port, timeout=timeout)
        try:
            conn.request(method, path, body=body)
            reply = conn.getresponse()
            return reply.status, reply.getheaders(), reply.read()
        finally:
            conn.close()

    def search(self, body=b"pJeu=&pLoginJ=Ann&pidP=&pLibP=&pEtat=2&pPage=1"):
        return self.request("POST", "/index.php?p=recherche", body)

    def control(self, method, name, body=None):
        status, _, data = self.request(method, "/_control/" + name, body)
        assert status == 200, (name, status, data)
        return data

    def stop(self):
        if self.process.poll() is None:
            self.process.send_signal(signal.SIGTERM)
            try:
                self.process.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
                raise
        self.process.stdout.close()
        return self.process.returncode


def parse(page, user):
    with tempfile.NamedTemporaryFile(delete=False) as f:
        f.write(page)
    try:
        out = subprocess.run([PARSE, f.name, user], capture_output=True, check=True, text=True).stdout
    finally:
        os.unlink(f.name)
    return [line.split("\t") for line in out.splitlines() if not line.startswith("user\t")]


class SitePages(unittest.TestCase):
    def setUp(self):
        self.site = Site(SCENARIO)

    def tearDown(self):
        self.assertEqual(self.site.stop(), 0)

    def test_result_page_carries_every_game_for_the_parser(self):
        status, _, page = self.site.search()
        self.assertEqual(status, 200)
        self.assertEqual(parse(page, "Ann"), [
            ["game", "12", "1", "Ploc", "partie.php?id=12"],
            ["player", "1", "0", "Ann"],
            ["player", "2", "1", "Bob"],
            ["game", "34", "0", "Ploc", "partie.php?id=34&vue=2"],
            ["player", "3", "0", "Cyd"],
            ["game", "56", "0", "Mahjong des Monts", "partie.php?id=56"],
            ["player", "1", "0", "Ann"],
        ])

    def test_english_title_and_pages_without_games(self):
        english = dict(SCENARIO, title="Games search")
        self.site.control("POST", "scenario", json.dumps(english).encode())
        self.assertEqual(len([r for r in parse(self.site.search()[2], "Cyd") if r[0] == "game"]), 3)
        for kind in ("nogames", "other"):
            self.site.control("POST", "scenario", json.dumps(dict(SCENARIO, default={"body": kind})).encode())
            status, _, page = self.site.search()
            self.assertEqual(status, 200)
            self.assertGreaterEqual(len(page), 100, kind)
            self.assertEqual(parse(page, "Ann"), [], kind)

    def test_a_search_without_its_form_lists_no_games(self):
        # As a real site answers a search that a redirect sent on without its form; a
        # scripted answer waits for the next real search.
        self.site.control("POST", "scenario", json.dumps(dict(SCENARIO, responses=[{"status": 500}])).encode())
        for method, path, body in (("GET", "/index.php?p=recherche", None),
                                   ("POST", "/moved/index.php?p=recherche", b""),
                                   ("POST", "/index.php?p=recherche", b"pJeu=&pEtat=2&pPage=1")):
            status, _, page = self.site.request(method, path, body)
            self.assertEqual(status, 200, (method, path, body))
            self.assertIn(b"Recherche de parties", page)
            self.assertGreaterEqual(len(page), 100)
            self.assertEqual(parse(page, "Ann"), [], (method, path, body))
        self.assertEqual(self.site.search()[0], 500)

    def test_turn_follows_the_cycle(self):
        self.assertEqual(testsite.active_text({"cycle": ["A", "B", "C"], "period": 10}, 0), "A")
        self.assertEqual(testsite.active_text({"cycle": ["A", "B", "C"], "period": 10}, 10), "B")
        self.assertEqual(testsite.active_text({"cycle": ["A", "B", "C"], "period": 10, "offset": 25}, 0), "C")
        self.assertEqual(testsite.active_text({"cycle": ["A", "B", "C"], "period": 10}, 31), "A")
        shifted = json.loads(json.dumps(SCENARIO))
        shifted["sections"][1]["games"][0]["offset"] = 1000
        self.site.control("POST", "scenario", json.dumps(shifted).encode())
        games = [r for r in parse(self.site.search()[2], "Ann") if r[0] == "game"]
        self.assertEqual(games[2][:3], ["game", "56", "1"])

    def test_browser_pages(self):
        for path, status, text in (("/index.php", 200, b"Accueil"),
                                   ("/index.php?p=encours", 200, b"Parties en cours"),
                                   ("/partie.php?id=34&vue=2", 200, b"Partie 34"),
                                   ("//partie.php?id=12", 200, b"Partie 12"),
                                   ("/nothing", 404, b"Not found")):
            got_status, _, page = self.site.request("GET", path)
            self.assertEqual(got_status, status, path)
            self.assertIn(text, page, path)


class ScriptedAnswers(unittest.TestCase):
    def setUp(self):
        self.site = Site({"sections": SCENARIO["sections"], "responses": [
            {"status": 404}, {"body": "bytes", "size": 1000, "framing": "chunked", "chunk_size": 300},
            {"body": "bytes", "size": 700, "framing": "close"}, {"body": "text", "text": "caf\u00e9"},
        ], "default": {"status": 503, "body": "bytes", "size": 99}})

    def tearDown(self):
        self.assertEqual(self.site.stop(), 0)

    def test_answers_are_used_in_order_then_the_default(self):
        status, headers, page = self.site.search()
        self.assertEqual(status, 404)
        self.assertIn(b"Recherche de parties", page)

        status, headers, page = self.site.search()
        self.assertEqual(dict(headers).get("Transfer-Encoding"), "chunked")
        self.assertEqual(page, testsite.pattern_bytes(1000))

        status, headers, page = self.site.search()
        self.assertNotIn("Content-Length", dict(headers))
        self.assertEqual(page, testsite.pattern_bytes(700))

        self.assertEqual(self.site.search()[2], b"caf\xe9")
        for _ in range(2):
            status, _, page = self.site.search()
            self.assertEqual((status, len(page)), (503, 99))

    def test_close_mid_body_and_stall_are_seen_by_the_client(self):
        self.site.control("POST", "scenario", json.dumps({"responses": [
            {"body": "bytes", "size": 5000, "close_after": 1234},
            {"body": "bytes", "size": 5000, "stall_after": 100},
            {"silent": True},
        ]}).encode())
        with self.assertRaises(http.client.IncompleteRead) as caught:
            self.site.search()
        self.assertEqual(len(caught.exception.partial), 1234)

        start = time.monotonic()
        with self.assertRaises(socket.timeout):
            self.site.request("POST", "/index.php?p=recherche", b"pLoginJ=x", timeout=0.5)
        with self.assertRaises(socket.timeout):
            self.site.request("POST", "/index.php?p=recherche", b"pLoginJ=x", timeout=0.5)
        self.assertLess(time.monotonic() - start, 5)


class RequestLog(unittest.TestCase):
    def test_requests_are_logged_byte_for_byte_and_control_requests_are_not(self):
        log_path = os.path.join(tempfile.mkdtemp(), "requests.jsonl")
        site = Site({}, log_path)
        try:
            body = b"pJeu=&pLoginJ=Ren\xe9\xff&pidP="
            site.search(body)
            site.request("GET", "/index.php")
            self.assertEqual(site.control("GET", "count"), b"2")
            self.assertTrue(site.control("GET", "last").startswith(b"GET /index.php HTTP/1.1\r\n"))
            entries = json.loads(site.control("GET", "log"))
            self.assertEqual([(e["method"], e["path"]) for e in entries],
                             [("POST", "/index.php?p=recherche"), ("GET", "/index.php")])
            self.assertEqual(entries[0]["body"].encode("latin-1"), body)
            self.assertEqual(entries[0]["version"], "HTTP/1.1")
            self.assertIn(["Content-Length", str(len(body))], entries[0]["headers"])

            # A request line that is not HTTP is refused and still logged.
            with socket.create_connection(("127.0.0.1", site.port)) as s:
                s.sendall(b"POST /index.php?p=recherche 1.0\r\n\r\n")
                self.assertTrue(s.recv(100).startswith(b"HTTP/1.1 400"))
            refused = json.loads(site.control("GET", "log"))[-1]
            self.assertEqual((refused["version"], refused["refused"]), ("1.0", True))
            # So is a Host that is not host[:port], as real servers refuse it.
            for host, answer in ((b"[::1]:80", b"HTTP/1.1 200"), (b"::1:80", b"HTTP/1.1 400")):
                with socket.create_connection(("127.0.0.1", site.port)) as s:
                    s.sendall(b"GET /index.php HTTP/1.1\r\nHost: " + host + b"\r\n\r\n")
                    self.assertTrue(s.recv(100).startswith(answer), host)
            self.assertTrue(json.loads(site.control("GET", "log"))[-1]["refused"])

            site.control("POST", "clear")
            self.assertEqual(site.control("GET", "count"), b"0")
        finally:
            self.assertEqual(site.stop(), 0)
        with open(log_path, encoding="utf-8") as f:
            lines = [json.loads(line) for line in f]
        self.assertEqual(len(lines), 5)
        self.assertEqual(lines[0]["body"].encode("latin-1"), body)

    def test_bad_scenario_is_refused_and_the_old_one_kept(self):
        site = Site(SCENARIO)
        try:
            status, _, _ = site.request("POST", "/_control/scenario", b"[1, 2")
            self.assertEqual(status, 400)
            self.assertEqual(json.loads(site.control("GET", "scenario")), SCENARIO)
        finally:
            self.assertEqual(site.stop(), 0)


class Stopping(unittest.TestCase):
    def test_stop_releases_held_connections_at_once(self):
        site = Site({"default": {"silent": True}})
        held = []
        try:
            for _ in range(3):
                s = socket.create_connection(("127.0.0.1", site.port))
                s.sendall(b"POST /index.php?p=recherche HTTP/1.0\r\nContent-Length: 9\r\n\r\npLoginJ=x")
                held.append(s)
            deadline = time.monotonic() + 5
            while site.control("GET", "count") != b"3" and time.monotonic() < deadline:
                time.sleep(0.05)
            self.assertEqual(site.control("GET", "count"), b"3")
            start = time.monotonic()
            self.assertEqual(site.stop(), 0)
            self.assertLess(time.monotonic() - start, 3)
            for s in held:
                s.settimeout(5)
                self.assertEqual(s.recv(10), b"")
        finally:
            for s in held:
                s.close()
            site.stop()

    def test_only_loopback_addresses_are_served(self):
        result = subprocess.run([sys.executable, SITE, "--host", "0.0.0.0"], capture_output=True, text=True,
                                timeout=20)
        self.assertNotEqual(result.returncode, 0)
        self.assertIn("not a loopback address", result.stderr)


class Https(unittest.TestCase):
    def test_https_site_serves_clients_that_trust_the_test_ca_and_drops_the_others(self):
        certs = tempfile.mkdtemp()
        self.addCleanup(shutil.rmtree, certs)
        subprocess.run([os.path.join(HERE, "test-ca.sh"), "make", certs], check=True, timeout=30)

        def pair(name):
            return os.path.join(certs, name + ".pem"), os.path.join(certs, name + ".key")

        trusting = ssl.create_default_context(cafile=os.path.join(certs, "ca.pem"))
        site = Site(SCENARIO, tls=pair("localhost"), context=trusting)
        try:
            status, _, page = site.search()
            self.assertEqual(status, 200)
            self.assertEqual([r[1] for r in parse(page, "Ann") if r[0] == "game"], ["12", "34", "56"])

            # A client that does not know the CA gives up in the handshake, and one
            # that never starts its handshake holds only its own connection: the site
            # goes on serving, and logs neither.
            with socket.create_connection(("127.0.0.1", site.port)):
                stranger = http.client.HTTPSConnection("localhost", site.port, timeout=10,
                                                       context=ssl.create_default_context())
                with self.assertRaises(ssl.SSLCertVerificationError):
                    stranger.request("GET", "/index.php")
                stranger.close()
                self.assertEqual(site.control("GET", "count"), b"1")

            # A held answer is held over TLS too (the site waits on a TLS socket).
            site.control("POST", "scenario", json.dumps({"default": {"silent": True}}).encode())
            with self.assertRaises(socket.timeout):
                site.request("POST", "/index.php?p=recherche", b"pLoginJ=x", timeout=0.5)
        finally:
            self.assertEqual(site.stop(), 0)


class DemoScenario(unittest.TestCase):
    def test_demo_turns_move_with_the_searches(self):
        # Turnbell searches twice at start, then once a minute: the first search must
        # find a game waiting for Ottilie, the second change nothing, and every later
        # one bring a newly waiting game or the end of the last wait.
        with open(os.path.join(HERE, "scenarios", "demo.json"), encoding="utf-8") as f:
            site = Site(json.load(f))
        try:
            waiting = []
            for _ in range(9):
                page = site.search(b"pJeu=&pLoginJ=Ottilie&pidP=&pLibP=&pEtat=2&pPage=1")[2]
                waiting.append({r[1] for r in parse(page, "Ottilie") if r[0] == "game" and r[2] == "1"})
        finally:
            self.assertEqual(site.stop(), 0)
        self.assertTrue(waiting[0])
        self.assertEqual(waiting[1], waiting[0])
        changes = [(bool(now - before), bool(before) and not now) for before, now in zip(waiting[1:], waiting[2:])]
        self.assertTrue(all(newly or stop for newly, stop in changes), waiting)
        self.assertTrue(any(newly for newly, _ in changes) and any(stop for _, stop in changes), waiting)


if __name__ == "__main__":
    if "--parse" in sys.argv:
        i = sys.argv.index("--parse")
        PARSE = sys.argv[i + 1]
        del sys.argv[i:i + 2]
    if not PARSE:
        sys.exit("usage: testsite_test.py --parse TURNBELL_PARSE [unittest args]")
    unittest.main()
