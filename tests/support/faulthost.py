"""A loopback HTTP server for whole runs that misbehaves on purpose where nginx cannot.

Serves the files of a folder with their exact Content-Length, except the URIs given a fault:

  "stall"  declares the whole file, sends the first half and then nothing, holding the
           connection open until the client leaves or the server stops;
  "drop"   the same, but closes the connection after the first half;
  407      answers "407 Proxy Authentication Required", as a proxy on the way would.

    with FaultHost(folder, {"/Case/Product.dat": "stall"}) as host:
        url = f"http://{host.host}/Case/Product.dat"
        host.requests()   # [(uri, what was answered), ...]

It listens on a port the system picks on 127.0.0.1 and answers each connection on a thread of
its own; leaving the block stops it and ends every held connection.
"""
import http.server
import os
import select
import socket
import threading

# How often a held connection looks at whether the client left or the server is stopping.
HOLD_POLL_S = 0.2
JOIN_TIMEOUT_S = 10
PROXY_AUTH_PAGE = b"<html><head><title>Proxy Authentication Required</title></head><body></body></html>\n"


class FaultHost:
    def __init__(self, root, faults):
        self.root, self.faults = os.path.abspath(root), dict(faults)
        self.stopping = threading.Event()
        self.lock = threading.Lock()
        self.log = []
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
            def log_message(self, *args):
                pass

            def do_GET(self):
                owner._answer(self)

        self.server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
        self.server.daemon_threads = True
        self.thread = threading.Thread(target=self.server.serve_forever, kwargs={"poll_interval": HOLD_POLL_S},
                                       daemon=True)
        self.thread.start()
        return self

    def __exit__(self, *exc):
        self.stopping.set()
        self.server.shutdown()
        self.server.server_close()
        self.thread.join(timeout=JOIN_TIMEOUT_S)

    def _record(self, uri, what):
        with self.lock:
            self.log.append((uri, what))

    def _answer(self, handler):
        uri = handler.path
        fault = self.faults.get(uri)
        path = os.path.join(self.root, uri.lstrip("/"))
        try:
            if fault == 407:
                self._record(uri, 407)
                handler.send_response(407, "Proxy Authentication Required")
                handler.send_header("Proxy-Authenticate", 'Basic realm="websetup"')
                handler.send_header("Content-Length", str(len(PROXY_AUTH_PAGE)))
                handler.end_headers()
                handler.wfile.write(PROXY_AUTH_PAGE)
                return
            if ".." in uri.split("/") or not os.path.isfile(path):
                self._record(uri, 404)
                handler.send_error(404)
                return
            with open(path, "rb") as f:
                data = f.read()
            self._record(uri, fault or 200)
            handler.send_response(200)
            handler.send_header("Content-Length", str(len(data)))
            handler.end_headers()
            handler.wfile.write(data if fault is None else data[:len(data) // 2])
            handler.wfile.flush()
            if fault == "stall":
                self._hold(handler.connection)
            handler.close_connection = True
        except (BrokenPipeError, ConnectionResetError):
            pass  # the client left early, as a probe does after the headers

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
