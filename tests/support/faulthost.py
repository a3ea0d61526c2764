"""A loopback HTTP server for whole runs that misbehaves on purpose where nginx cannot.

Serves the files of a folder with their exact Content-Length over HTTP/1.1, keeping each
connection for further requests as real servers do, except the URIs given a fault:

  "stall"  declares the whole file, sends the first half and then nothing, holding the
           connection open until the client leaves or the server stops;
  "drop"   the same, but closes the connection after the first half;
  407      answers "407 Proxy Authentication Required", as a proxy on the way would;
  "stall-kept", "stall-head-kept"
           a request that comes on a kept connection (not the first on it) gets a "stall", or
           no answer at all (a server that takes the request and says nothing), until one such
           silence has held the client for HOLD_USED_S; later requests are answered in full.

    with FaultHost(folder, {"/Case/Product.dat": "stall"}) as host:
        url = f"http://{host.host}/Case/Product.dat"
        host.requests()   # [(uri, what was answered, connection number, request number on it), ...]

It listens on a port the system picks on 127.0.0.1 and answers each connection on a thread of
its own; leaving the block stops it and ends every held connection.
"""
import http.server
import itertools
import os
import select
import socket
import sys
import threading
import time

# How often a held connection looks at whether the client left or the server is stopping.
HOLD_POLL_S = 0.2
JOIN_TIMEOUT_S = 10
# A client that stayed this long in a silence of a "-kept" fault has shown that it waits (a probe
# that reads only the headers leaves at once); the fault is then used up. Half of Setup's 20 s
# stall limit.
HOLD_USED_S = 10
PROXY_AUTH_PAGE = b"<html><head><title>Proxy Authentication Required</title></head><body></body></html>\n"
KEPT_FAULTS = {"stall-kept": "stall", "stall-head-kept": "stall-head"}


class _Server(http.server.ThreadingHTTPServer):
    daemon_threads = True

    def handle_error(self, request, client_address):
        # A client that closes a kept connection while it waits for the next request is normal.
        if not isinstance(sys.exc_info()[1], (ConnectionResetError, BrokenPipeError)):
            super().handle_error(request, client_address)


class FaultHost:
    def __init__(self, root, faults):
        self.root, self.faults = os.path.abspath(root), dict(faults)
        self.stopping = threading.Event()
        self.lock = threading.Lock()
        self.log = []
        self.used = set()  # URIs whose "-kept" fault has held a client long enough
        self.connections = itertools.count(1)
        self.server = None
        self.thread = None

    @property
    def host(self):
        return f"127.0.0.1:{self.server.server_address[1]}"

    def requests(self):
        with self.lock:
            return list(self.log)

    def __enter__(self):
        owner = self

        class Handler(http.server.BaseHTTPRequestHandler):
            protocol_version = "HTTP/1.1"  # keeps connections unless a response closes them

            def setup(self):
                super().setup()
                self.number, self.served = next(owner.connections), 0

            def log_message(self, *args):
                pass

            def do_GET(self):
                self.served += 1
                owner._answer(self)

        self.server = _Server(("127.0.0.1", 0), Handler)
        self.thread = threading.Thread(target=self.server.serve_forever, kwargs={"poll_interval": HOLD_POLL_S},
                                       daemon=True)
        self.thread.start()
        return self

    def __exit__(self, *exc):
        self.stopping.set()
        self.server.shutdown()
        self.server.server_close()
        self.thread.join(timeout=JOIN_TIMEOUT_S)

    def _record(self, handler, uri, what):
        with self.lock:
            self.log.append((uri, what, handler.number, handler.served))

    def _fault(self, handler, uri):
        """The fault this request gets, None for a full answer."""
        fault = self.faults.get(uri)
        if fault not in KEPT_FAULTS:
            return fault
        with self.lock:
            return KEPT_FAULTS[fault] if handler.served > 1 and uri not in self.used else None

    def _answer(self, handler):
        uri = handler.path
        fault = self._fault(handler, uri)
        path = os.path.join(self.root, uri.lstrip("/"))
        try:
            if fault == 407:
                self._record(handler, uri, 407)
                handler.send_response(407, "Proxy Authentication Required")
                handler.send_header("Proxy-Authenticate", 'Basic realm="websetup"')
                handler.send_header("Content-Length", str(len(PROXY_AUTH_PAGE)))
                handler.end_headers()
                handler.wfile.write(PROXY_AUTH_PAGE)
                return
            if ".." in uri.split("/") or not os.path.isfile(path):
                self._record(handler, uri, 404)
                handler.send_error(404)
                return
            with open(path, "rb") as f:
                data = f.read()
            self._record(handler, uri, fault or 200)
            if fault == "stall-head":
                self._hold_once(handler, uri)
                return
            handler.send_response(200)
            handler.send_header("Content-Length", str(len(data)))
            handler.end_headers()
            handler.wfile.write(data if fault is None else data[:len(data) // 2])
            handler.wfile.flush()
            if fault == "stall":
                self._hold_once(handler, uri)
            elif fault == "drop":
                handler.close_connection = True
        except (BrokenPipeError, ConnectionResetError):
            handler.close_connection = True  # the client left early, as a probe does after the headers

    def _hold_once(self, handler, uri):
        """Holds the connection silent; a hold the client sat through uses up a "-kept" fault."""
        began = time.monotonic()
        self._hold(handler.connection)
        handler.close_connection = True
        if time.monotonic() - began >= HOLD_USED_S:
            with self.lock:
                self.used.add(uri)

    def _hold(self, connection):
        """Keeps the connection open and silent until the client closes it or the server stops."""
        while not self.stopping.is_set():
            readable, _, _ = select.select([connection], [], [], HOLD_POLL_S)
            if readable:
                try:
                    if not connection.recv(4096, socket.MSG_PEEK):
                        return
                    connection.recv(4096)
                except OSError:
                    return
