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

Every file is served as nginx serves it: "Accept-Ranges: bytes", a strong ETag and
Last-Modified, and "Range: bytes=N-" answered with "206 Partial Content" when "If-Range" (if
sent) names the ETag or the date. The second request for a URI given a "cut" fault (the first is
Setup's probe of its length) ends after half the file; later requests are answered in full, but:
  "cut"          as described;
  "cut-plain"    the server offers no ranges and answers every request with the whole file;
  "cut-weak"     the ETag is weak and there is no Last-Modified, so nothing can be resumed;
  "cut-replaced" the file changes on the server after the cut (other bytes, another ETag);
  "cut-bad-rest" the first range answered comes from other bytes than the file's.
A fault ("cut-to-nginx", url, path) serves the file as nginx serves its copy at path (the same
ETag and Last-Modified), cuts it on the second request, and sends every later one on to url
with a 302, so that nginx itself answers the resumed request.

    with FaultHost(folder, {"/Case/Product.dat": "stall"}) as host:
        url = f"http://{host.host}/Case/Product.dat"
        host.requests()   # [(uri, what was answered, connection number, request number on it), ...]

It listens on a port the system picks on 127.0.0.1 and answers each connection on a thread of
its own; leaving the block stops it and ends every held connection.
"""
import email.utils
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
CUT_FAULTS = ("cut", "cut-plain", "cut-weak", "cut-replaced", "cut-bad-rest")
LAST_MODIFIED = "Wed, 09 Dec 2026 10:00:00 GMT"


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
        self.counts = {}  # requests per URI
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
        """The fault this request gets, None for a full answer, and the request's number for its URI."""
        fault = self.faults.get(uri)
        with self.lock:
            number = self.counts[uri] = self.counts.get(uri, 0) + 1
            if fault in KEPT_FAULTS:
                fault = KEPT_FAULTS[fault] if handler.served > 1 and uri not in self.used else None
        return fault, number

    def _answer(self, handler):
        uri = handler.path
        fault, number = self._fault(handler, uri)
        path = os.path.join(self.root, uri.lstrip("/"))
        try:
            if isinstance(fault, tuple):
                self._serve_as_nginx(handler, uri, fault, number)
                return
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
            if fault in CUT_FAULTS:
                self._serve_cut(handler, uri, data, fault, number)
                return
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

    def _serve_cut(self, handler, uri, data, fault, number):
        """A file served with ranges, cut on its second request, and what each fault changes."""
        etag = '"%x-%x"' % (len(data), sum(data[:64]))
        if fault == "cut-replaced" and number > 2:
            data = bytes(b ^ 0x5A for b in data)
            etag = '"replaced-%x"' % len(data)
        headers = {"Accept-Ranges": "bytes", "ETag": etag, "Last-Modified": LAST_MODIFIED}
        if fault == "cut-weak":
            headers = {"Accept-Ranges": "bytes", "ETag": "W/" + etag}
        elif fault == "cut-plain":
            headers = {}
        start = self._range_start(handler, headers, len(data))
        if fault == "cut-bad-rest" and start and number == 3:
            data = bytes(b ^ 0x5A for b in data)
        status, body = (206, data[start:]) if start else (200, data)
        self._record(handler, uri, f"{status} from {start}" if start else status)
        if start:
            headers["Content-Range"] = f"bytes {start}-{len(data) - 1}/{len(data)}"
        self._send(handler, status, headers, body, len(data) // 2 if number == 2 else None)

    @staticmethod
    def _send(handler, status, headers, body, cut_at=None):
        """One answer with its headers and length; cut_at ends the body and the connection early."""
        handler.send_response(status)
        for name, value in headers.items():
            handler.send_header(name, value)
        handler.send_header("Content-Length", str(len(body)))
        handler.end_headers()
        handler.wfile.write(body if cut_at is None else body[:cut_at])
        handler.wfile.flush()
        if cut_at is not None:
            handler.close_connection = True

    def _serve_as_nginx(self, handler, uri, fault, number):
        """nginx's validators for its copy; the cut second answer, then a redirect to nginx."""
        _, url, path = fault
        if number > 2:
            self._record(handler, uri, 302)
            self._send(handler, 302, {"Location": url}, b"")
            return
        with open(path, "rb") as f:
            data = f.read()
        mtime = int(os.stat(path).st_mtime)
        self._record(handler, uri, 200)
        headers = {"Accept-Ranges": "bytes", "ETag": '"%x-%x"' % (mtime, len(data)),
                   "Last-Modified": email.utils.formatdate(mtime, usegmt=True)}
        self._send(handler, 200, headers, data, len(data) // 2 if number == 2 else None)

    @staticmethod
    def _range_start(handler, headers, size):
        """Where a "Range: bytes=N-" the server honours starts; 0 for the whole file."""
        asked, if_range = handler.headers.get("Range", ""), handler.headers.get("If-Range")
        if "Accept-Ranges" not in headers or not asked.startswith("bytes=") or not asked.endswith("-"):
            return 0
        if if_range is not None and if_range not in (headers.get("ETag"), headers.get("Last-Modified")):
            return 0
        start = int(asked[len("bytes="):-1] or 0)
        return start if 0 < start < size else 0

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
