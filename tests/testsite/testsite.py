#!/usr/bin/python3
"""A stand-in for the game site on a loopback address: a real HTTP server that
answers the search form with a result page built from a scenario, and that can be
told to fail in every way a real server fails. Python 3 standard library only.

Command line
  tests/testsite/testsite.py [--host 127.0.0.1] [--port N] [--scenario FILE] [--log FILE] [--ipv6]
                    [--tls CERTFILE KEYFILE]
    --host      a loopback address (127.x.x.x, ::1 or "localhost"); anything else is refused
    --port      0 (the default) picks a free port
    --scenario  JSON file, see below; without it the site lists no games
    --log       every request received (control requests excepted) is appended
                as one JSON line
    --ipv6      also listen on ::1 on the same port (for clients that try ::1 first)
    --tls       speak HTTPS on every listening socket, with the certificate (or chain)
                in CERTFILE and its key in KEYFILE, both PEM (tests/testsite/test-ca.sh makes
                them; clients then connect to "localhost", the certificate's name).
                Everything below, the control requests included, is the same over
                TLS. Each handshake happens in its connection's own thread: a client
                that refuses the certificate or never completes the handshake is
                dropped without holding up the others, and is not logged (no request
                arrived). A connection is closed with a TLS close_notify first.
    --watch-parent  stop when the process that started the site goes away (so a
                wrapper killed outright does not leave the site behind)
  As soon as it listens it prints one line "listening HOST PORT" on stdout and
  flushes. SIGTERM or SIGINT stops it: held connections are released and it exits 0.

Scenario (JSON object; every key is optional)
  "title":    the page title, "Recherche de parties" (default) or "Games search"
  "sections": [{"type": "Ploc", "games": [GAME, ...]}, ...]
      GAME: {"id": 1234,
             "link": "partie.php?id=1234"        (default: partie.php?id=<id>)
             "players": [{"id": 17, "name": "Ann", "emphasised": false}, ...],
             "active": "Ann"                     (the text in the game's bold marker)
             "cycle": ["Ann", "Bob"], "period": 30, "offset": 0}
      With "cycle", the bold marker holds cycle[((clock + offset) // period) % len(cycle)]:
      the turn moves by itself. The clock is set by "cycle_by". Texts are placed in the
      page verbatim and sent as latin-1 bytes.
  "cycle_by":  what the clock of the cycles counts
      "seconds"   seconds since the scenario was loaded (default; "period" defaults to 30)
      "searches"  searches that carried the form, the first two as one, since the
                  scenario was loaded: the first two searches see 0 and each later one
                  1 more ("period" defaults to 1). Turnbell searches twice at start, back
                  to back, and then once a minute, so every turn it can see lasts a minute
  "responses": [RESPONSE, ...]  answers to the next search requests, one each, in order
  "default":   RESPONSE          the answer once the list is used up (default {})

  RESPONSE (how one search request is answered; all keys optional):
    "status": 200               any status code; the reason phrase is the standard one
    "body":   "page"            the result page of the scenario (default)
              "nogames"         the result page with its sections but no games
              "other"           a page that is not the search result page
              "bytes"           exactly "size" bytes; the byte at offset i is i % 251
              "text"            the latin-1 bytes of "text"
    "framing": "length"         Content-Length, HTTP/1.1 status line (default)
               "close"          HTTP/1.0 status line, no Content-Length, the end of the
                                body is the close of the connection
               "chunked"        HTTP/1.1 chunked transfer encoding, chunks of
                                "chunk_size" bytes (default 4096)
    "headers": [["Location", "https://localhost/"], ...]   further header lines, as given
    "silent": true              read the request, then never answer: the connection is
                                held until the client closes it or the site stops
    "stall_after": N            send the headers and N body bytes, then hold as above
    "close_after": N            send the headers and N body bytes, then close
                                (with "chunked", N counts the bytes on the wire, chunk
                                sizes included)
    "drip": {"bytes": K, "interval": S}   send the body K bytes every S seconds
    "delay": S                  wait S seconds before answering at all

Requests
  POST /index.php?p=recherche   the search: answered as the scenario says; the same at
                                any folder (/moved/index.php?p=recherche), for a site that
                                sends the search on to another address. A search without
                                its form (a GET, or a POST whose body has no pLoginJ, as a
                                redirect may leave it) is answered as a real site answers
                                it: with the result page's title and no games, whatever
                                the scenario says, and no scripted response is used up
  GET /index.php, /index.php?p=encours, partie.php?id=N (any path holding ?id=N)
                                plain pages for the browser; other paths give 404
  POST /_control/scenario       replace the scenario with the JSON body; the list of
                                responses starts again and the cycle clock restarts
                                (from 0 seconds and 0 searches)
  GET  /_control/scenario       the scenario in force
  GET  /_control/log            every request so far as a JSON array (as in --log)
  GET  /_control/last           the raw bytes of the last request, exactly as received
  GET  /_control/count          the number of requests so far, as decimal text
  POST /_control/clear          forget the requests so far
  Control requests are neither logged nor counted.

Log line (one JSON object per request)
  {"time": seconds since the epoch (float), "client": address, "method": "POST",
   "path": "/index.php?p=recherche", "version": "HTTP/1.0",
   "headers": [[name, value], ...] in the order received,
   "body": the body bytes decoded as latin-1 (byte 0xE9 is "\\u00e9": lossless)}
  A request with a malformed request line is answered 400 and logged with
  "refused": true, the words of its request line, and no headers or body. So is, as
  real servers do, one whose Host header is not host[:port] (a name, an IPv4 address
  or an IPv6 address in brackets): that one is logged whole, with "refused": true.
"""

import argparse
import ipaddress
import json
import os
import re
import signal
import socket
import ssl
import sys
import threading
import time
import urllib.parse
from http import HTTPStatus
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

SEARCH_PATH = "/index.php?p=recherche"
HOLD_POLL_SECONDS = 0.2
HOST_HEADER = re.compile(r"(?:\[([0-9A-Fa-f:.]+)\]|[A-Za-z0-9._~%!$&'()*+,;=-]*)(?::[0-9]*)?")


def valid_host_header(value):
    """Whether a Host header reads host[:port]. A request without one (HTTP/1.0) passes;
    "::1:8080", an IPv6 address without its brackets, does not."""
    if value is None:
        return True
    match = HOST_HEADER.fullmatch(value)
    if not match or match.group(1) is None:
        return bool(match)
    try:
        ipaddress.IPv6Address(match.group(1))
        return True
    except ValueError:
        return False


class SiteState:
    """The scenario, the queue of scripted responses and the request log, shared by
    every connection thread under one lock."""

    def __init__(self, scenario, log_path, stopping):
        self.lock = threading.Lock()
        self.stopping = stopping
        self.log_file = open(log_path, "a", encoding="utf-8") if log_path else None
        self.requests = []
        self.last_raw = b""
        self.set_scenario(scenario)

    def set_scenario(self, scenario):
        if not isinstance(scenario, dict):
            raise ValueError("a scenario is a JSON object")
        with self.lock:
            self.scenario = scenario
            self.pending = list(scenario.get("responses", []))
            self.loaded_at = time.time()
            self.searches = 0

    def next_response(self):
        with self.lock:
            self.searches += 1
            if self.pending:
                return self.pending.pop(0)
            return self.scenario.get("default", {})

    def record(self, entry, raw):
        line = json.dumps(entry)
        with self.lock:
            self.requests.append(entry)
            self.last_raw = raw
            if self.log_file:
                self.log_file.write(line + "\n")
                self.log_file.flush()


def pattern_bytes(size):
    """The body of a "bytes" response: byte i is i % 251, so a shifted, truncated or
    repeated stretch shows up in a byte-for-byte comparison."""
    period = bytes(range(251))
    whole, rest = divmod(size, 251)
    return period * whole + period[:rest]


def cycle_clock(scenario, elapsed, searches):
    """The clock of the scenario's cycles when the site answers a search: elapsed
    seconds, or the searches answered so far (this one included) with the first two
    counted as one."""
    if scenario.get("cycle_by") == "searches":
        return max(searches - 2, 0)
    return elapsed


def active_text(game, clock, period=30):
    """The text of the game's bold marker at this clock; period is the scenario's
    default for a cycle that gives none."""
    cycle = game.get("cycle")
    if cycle:
        period = max(float(game.get("period", period)), 1.0)
        step = int((clock + float(game.get("offset", 0))) // period)
        return cycle[step % len(cycle)]
    return game.get("active", "")


def default_period(scenario):
    return 1 if scenario.get("cycle_by") == "searches" else 30


def game_html(game, clock, period):
    game_id = game.get("id", 0)
    link = game.get("link", "partie.php?id=%s" % game_id)
    parts = [
        '<tr class=clListe>\n<td><img src="img/ico_encours.gif" alt="en cours"></td>\n',
        '<td><a href="%s">Partie %s</a></td>\n' % (link, game_id),
        '<td>Au tour de : <span style="font-weight:bold">%s</span></td>\n<td>'
        % active_text(game, clock, period),
    ]
    for player in game.get("players", []):
        css = "\"joueur actif\"" if player.get("emphasised") else "joueur"
        parts.append('<a href="#" onclick="detailjoueur(%s)"><span class=%s>%s</span></a> '
                     % (player.get("id", 0), css, player.get("name", "")))
    parts.append("</td>\n</tr>\n")
    return "".join(parts)


def result_page(scenario, clock, with_games=True):
    title = scenario.get("title", "Recherche de parties")
    period = default_period(scenario)
    parts = ["<html><head><title>%s</title></head>\n<body>\n<h1>%s</h1>\n<table>\n" % (title, title)]
    for section in scenario.get("sections", []):
        parts.append('<tr><td class=clListeEntete colspan=4>&nbsp;&nbsp;%s</td></tr>\n'
                     % section.get("type", ""))
        if with_games:
            parts.extend(game_html(game, clock, period) for game in section.get("games", []))
    parts.append("</table>\n</body></html>\n")
    return "".join(parts).encode("latin-1", "replace")


def plain_page(title, text):
    return ("<html><head><title>%s</title></head><body><h1>%s</h1><p>%s</p></body></html>\n"
            % (title, title, text)).encode("latin-1", "replace")


class RecordingReader:
    """Wraps the connection's input so that the request is kept byte for byte."""

    def __init__(self, inner):
        self.inner = inner
        self.data = bytearray()

    def readline(self, size=-1):
        chunk = self.inner.readline(size)
        self.data += chunk
        return chunk

    def read(self, size=-1):
        chunk = self.inner.read(size)
        self.data += chunk
        return chunk

    def close(self):
        self.inner.close()


class SiteHandler(BaseHTTPRequestHandler):
    server_version = "TestSite/1.0"
    protocol_version = "HTTP/1.1"

    def setup(self):
        super().setup()
        self.rfile = RecordingReader(self.rfile)

    def log_message(self, format, *args):
        pass

    @property
    def state(self):
        return self.server.state

    def parse_request(self):
        self.parsing = True
        try:
            return super().parse_request()
        finally:
            self.parsing = False

    def send_error(self, code, message=None, explain=None):
        # A request refused while it is read (a malformed request line, say) is
        # logged before the answer goes out, so that a test sees what arrived.
        if getattr(self, "parsing", False):
            words = self.raw_requestline.decode("latin-1").rstrip("\r\n").split(" ")
            self.state.record({
                "time": time.time(),
                "client": self.client_address[0],
                "method": words[0] if words else "",
                "path": words[1] if len(words) > 1 else "",
                "version": " ".join(words[2:]),
                "headers": [],
                "body": "",
                "refused": True,
            }, bytes(self.rfile.data))
        # The base class leaves out the status line when it could not read the
        # request's version; a client must see that it was refused.
        if self.request_version == "HTTP/0.9":
            self.request_version = "HTTP/1.1"
        super().send_error(code, message, explain)

    def do_GET(self):
        self.handle_request(b"")

    def do_POST(self):
        length = int(self.headers.get("Content-Length", "0") or "0")
        body = self.rfile.read(length) if length > 0 else b""
        self.handle_request(body)

    def do_HEAD(self):
        self.handle_request(b"")

    def handle_request(self, body):
        self.close_connection = True
        host_ok = valid_host_header(self.headers.get("Host"))
        if self.path.startswith("/_control/") and host_ok:
            self.control(body)
            return
        entry = {
            "time": time.time(),
            "client": self.client_address[0],
            "method": self.command,
            "path": self.path,
            "version": self.request_version,
            "headers": [[k, v] for k, v in self.headers.items()],
            "body": body.decode("latin-1"),
        }
        if not host_ok:
            entry["refused"] = True
        self.state.record(entry, bytes(self.rfile.data))
        if not host_ok:
            self.send_simple(400, plain_page("Bad Request", "Invalid Host header."), "text/html")
        elif self.path.startswith("/") and self.path.endswith(SEARCH_PATH):
            form = urllib.parse.parse_qs(body.decode("latin-1"), keep_blank_values=True)
            if self.command == "POST" and "pLoginJ" in form:
                self.answer_search(self.state.next_response())
            else:
                self.answer_formless_search()
        else:
            self.answer_browser_page()

    # Control interface

    def control(self, body):
        state = self.state
        path = self.path
        if self.command == "POST" and path == "/_control/scenario":
            try:
                state.set_scenario(json.loads(body.decode("utf-8")))
            except (ValueError, UnicodeDecodeError) as error:
                self.send_simple(400, ("bad scenario: %s\n" % error).encode(), "text/plain")
                return
            self.send_simple(200, b"ok\n", "text/plain")
        elif self.command == "GET" and path == "/_control/scenario":
            with state.lock:
                text = json.dumps(state.scenario)
            self.send_simple(200, text.encode(), "application/json")
        elif self.command == "GET" and path == "/_control/log":
            with state.lock:
                text = json.dumps(state.requests)
            self.send_simple(200, text.encode(), "application/json")
        elif self.command == "GET" and path == "/_control/last":
            with state.lock:
                raw = state.last_raw
            self.send_simple(200, raw, "application/octet-stream")
        elif self.command == "GET" and path == "/_control/count":
            with state.lock:
                count = len(state.requests)
            self.send_simple(200, b"%d" % count, "text/plain")
        elif self.command == "POST" and path == "/_control/clear":
            with state.lock:
                state.requests = []
                state.last_raw = b""
            self.send_simple(200, b"ok\n", "text/plain")
        else:
            self.send_simple(404, b"no such control\n", "text/plain")

    # Browser pages

    def answer_browser_page(self):
        path = self.path.lstrip("/")
        if self.command == "GET" and path in ("", "index.php"):
            self.send_simple(200, plain_page("Accueil", "The game site's main page."), "text/html")
        elif self.command == "GET" and path == "index.php?p=encours":
            self.send_simple(200, plain_page("Parties en cours", "Your games in progress."), "text/html")
        elif self.command == "GET" and "?id=" in path:
            game_id = path.split("?id=", 1)[1].split("&", 1)[0]
            self.send_simple(200, plain_page("Partie %s" % game_id, "The board of game %s." % game_id),
                             "text/html")
        else:
            self.send_simple(404, plain_page("Not found", "Nothing here."), "text/html")

    def answer_formless_search(self):
        with self.state.lock:
            title = self.state.scenario.get("title", "Recherche de parties")
        self.send_simple(200, result_page({"title": title}, 0), "text/html; charset=iso-8859-1")

    def send_simple(self, status, body, content_type):
        head = self.status_line("HTTP/1.1", status)
        head += "Content-Type: %s\r\nContent-Length: %d\r\nConnection: close\r\n\r\n" % (
            content_type, len(body))
        self.write(head.encode("latin-1") + body)

    # The search answer, with its scripted faults

    def answer_search(self, response):
        state = self.state
        if "delay" in response and state.stopping.wait(float(response["delay"])):
            return
        if response.get("silent"):
            self.hold()
            return
        body = self.search_body(response)
        status = int(response.get("status", 200))
        framing = response.get("framing", "length")
        if framing == "close":
            head = self.status_line("HTTP/1.0", status)
        else:
            head = self.status_line("HTTP/1.1", status)
        head += "Content-Type: text/html; charset=iso-8859-1\r\nConnection: close\r\n"
        if framing == "chunked":
            head += "Transfer-Encoding: chunked\r\n"
        elif framing != "close":
            head += "Content-Length: %d\r\n" % len(body)
        for name, value in response.get("headers", []):
            head += "%s: %s\r\n" % (name, value)
        head += "\r\n"
        if not self.write(head.encode("latin-1")):
            return

        if framing == "chunked":
            size = max(int(response.get("chunk_size", 4096)), 1)
            wire = b"".join(b"%x\r\n%s\r\n" % (len(body[i:i + size]), body[i:i + size])
                            for i in range(0, len(body), size)) + b"0\r\n\r\n"
        else:
            wire = body

        if "stall_after" in response:
            self.write(wire[:int(response["stall_after"])])
            self.hold()
        elif "close_after" in response:
            self.write(wire[:int(response["close_after"])])
        elif "drip" in response:
            step = max(int(response["drip"].get("bytes", 1)), 1)
            interval = float(response["drip"].get("interval", 1.0))
            for i in range(0, len(wire), step):
                if i > 0 and state.stopping.wait(interval):
                    return
                if not self.write(wire[i:i + step]):
                    return
        else:
            self.write(wire)

    def search_body(self, response):
        state = self.state
        kind = response.get("body", "page")
        with state.lock:
            scenario = state.scenario
            clock = cycle_clock(scenario, time.time() - state.loaded_at, state.searches)
        if kind == "page":
            return result_page(scenario, clock)
        if kind == "nogames":
            return result_page(scenario, clock, with_games=False)
        if kind == "other":
            return plain_page("Connexion", "Please log in to see your games.")
        if kind == "bytes":
            return pattern_bytes(int(response.get("size", 0)))
        if kind == "text":
            return response.get("text", "").encode("latin-1", "replace")
        raise ValueError("unknown body kind %r" % kind)

    # Helpers

    def status_line(self, version, status):
        try:
            reason = HTTPStatus(status).phrase
        except ValueError:
            reason = "Status"
        return "%s %d %s\r\n" % (version, status, reason)

    def write(self, data):
        """Sends data; False when the client has gone away."""
        try:
            self.wfile.write(data)
            self.wfile.flush()
            return True
        except OSError:
            return False

    def hold(self):
        """Keeps the connection open without answering until the client closes it or
        the site stops. Checks a few times a second; never spins."""
        conn = self.connection
        conn.settimeout(0)
        while not self.state.stopping.wait(HOLD_POLL_SECONDS):
            try:
                if conn.recv(4096) == b"":
                    return
            except (BlockingIOError, ssl.SSLWantReadError):
                continue
            except OSError:
                return


class SiteServer(ThreadingHTTPServer):
    daemon_threads = True
    allow_reuse_address = True
    request_queue_size = 64

    def __init__(self, address, family, state, tls=None):
        self.address_family = family
        self.state = state
        self.tls = tls
        super().__init__(address, SiteHandler)

    def server_bind(self):
        if self.address_family == socket.AF_INET6:
            self.socket.setsockopt(socket.IPPROTO_IPV6, socket.IPV6_V6ONLY, 1)
        super().server_bind()

    def process_request_thread(self, request, client_address):
        # Runs in the connection's own thread, so a slow or failed handshake holds up
        # no other client. A client that does not trust the certificate is expected
        # (tests refuse it on purpose): it is dropped without a word.
        if self.tls:
            try:
                request = self.tls.wrap_socket(request, server_side=True)
            except OSError:
                request.close()
                return
        super().process_request_thread(request, client_address)

    def shutdown_request(self, request):
        # Sends close_notify before the TCP close, as a real HTTPS server does, so
        # that a body ended by the close is a clean end for the client. Non-blocking,
        # so that the site does not wait for the client's own close_notify.
        if isinstance(request, ssl.SSLSocket):
            try:
                request.setblocking(False)
                request.unwrap()
            except OSError:
                pass
        super().shutdown_request(request)

    def handle_error(self, request, client_address):
        # A client that went away mid-answer, or broke off its TLS session, is normal
        # here; anything else is a fault of the site itself and is shown.
        error = sys.exc_info()[1]
        if not isinstance(error, (ConnectionError, TimeoutError, ssl.SSLError)):
            super().handle_error(request, client_address)


def loopback_only(host):
    if host == "localhost":
        return "127.0.0.1"
    try:
        if ipaddress.ip_address(host).is_loopback:
            return host
    except ValueError:
        pass
    raise SystemExit("testsite: %s is not a loopback address" % host)


def tls_context(cert_file, key_file):
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    try:
        context.load_cert_chain(cert_file, key_file)
    except (OSError, ssl.SSLError) as error:
        raise SystemExit("testsite: cannot use %s and %s: %s" % (cert_file, key_file, error))
    return context


def main():
    parser = argparse.ArgumentParser(description="Game site stand-in for tests and the demo.")
    parser.add_argument("--host", default="127.0.0.1")
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--scenario")
    parser.add_argument("--log")
    parser.add_argument("--ipv6", action="store_true", help="also listen on ::1")
    parser.add_argument("--tls", nargs=2, metavar=("CERTFILE", "KEYFILE"),
                        help="speak HTTPS with this certificate and key (PEM)")
    parser.add_argument("--watch-parent", action="store_true",
                        help="stop when the parent process goes away")
    args = parser.parse_args()

    # Installed first, so that a stop during start-up also ends the site cleanly.
    stopping = threading.Event()

    def stop(signum, frame):
        stopping.set()

    signal.signal(signal.SIGTERM, stop)
    signal.signal(signal.SIGINT, stop)

    host = loopback_only(args.host)
    scenario = {}
    if args.scenario:
        with open(args.scenario, encoding="utf-8") as f:
            scenario = json.load(f)
    tls = tls_context(*args.tls) if args.tls else None
    state = SiteState(scenario, args.log, stopping)

    family = socket.AF_INET6 if ":" in host else socket.AF_INET
    servers = [SiteServer((host, args.port), family, state, tls)]
    port = servers[0].server_address[1]
    if args.ipv6 and family == socket.AF_INET:
        servers.append(SiteServer(("::1", port), socket.AF_INET6, state, tls))

    threads = [threading.Thread(target=s.serve_forever, kwargs={"poll_interval": 0.2}, daemon=True)
               for s in servers]
    for t in threads:
        t.start()

    print("listening %s %d" % (host, port), flush=True)

    parent = os.getppid()
    while not state.stopping.wait(1.0):
        if args.watch_parent and os.getppid() != parent:
            break
    for s in servers:
        s.shutdown()
        s.server_close()
    if state.log_file:
        state.log_file.close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
