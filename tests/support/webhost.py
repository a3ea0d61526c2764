#!/usr/bin/env python3
"""A private nginx on loopback that serves virtual hosts from folders.

The end-to-end tests, the demo and the benchmark run the real Setup against it. Every host is
keyed by the text a client writes in its URLs:

  "downloads1.websetup.test"  name-based, behind one free port that WebHost picks; clients
                              reach it through http_proxy (see proxy_env), and nginx picks
                              the host from the absolute URI of the proxied request.
  "127.0.0.1:47310"           a server of its own on that fixed port, for clients that ignore
                              http_proxy (WinINet under wine), and for https: a Site with a
                              certificate (tls) speaks only TLS on its port.

    with WebHost(scratch, {"downloads1.websetup.test": Site(folder, statuses={"/gone": 404})}) as web:
        subprocess.run(cmd, env={**os.environ, **web.proxy_env()})
        web.requests()   # [(host, uri, status), ...] from the access log
        web.connections()  # [(connection number, its request count so far), ...], in the same order

nginx runs in the foreground as one process (no master, so no worker user to switch to and
the scratch folder may stay private), with its config, logs, pid and temp files under the
scratch folder, and is always stopped on leaving the block.

As a command, it serves folders while another command runs, then stops:
    webhost.py --scratch DIR --site HOST=FOLDER [--site ...] -- COMMAND [ARG...]
The command gets http_proxy (when a host is name-based) and WEBHOST_PORT.
"""
import argparse
import dataclasses
import os
import re
import shutil
import signal
import socket
import subprocess
import sys
import time

# nginx is up well within this on a loaded machine; beyond it something is wrong.
START_TIMEOUT_S = 15
STOP_TIMEOUT_S = 10
# A port picked free can be taken by someone else before nginx binds it; try a few.
START_ATTEMPTS = 3
# The request line comes last and whole: it is what the client sent (nginx writes bytes beyond
# ASCII, the double quote and the backslash as \xHH), also for a request nginx refuses.
LOG_FORMAT = "$connection $connection_requests $host $server_port $status $request"


@dataclasses.dataclass
class Site:
    root: str = None  # folder served at "/"; None serves nothing (every file 404)
    statuses: dict = dataclasses.field(default_factory=dict)  # exact URI -> status with nginx's own page
    redirects: dict = dataclasses.field(default_factory=dict)  # exact URI -> URL answered with 302
    tls: tuple = None  # (certificate chain PEM, key PEM): TLS on the site's own port


class WebHostError(RuntimeError):
    pass


def port_is_free(port):
    with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as s:
        s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        try:
            s.bind(("127.0.0.1", port))
        except OSError:
            return False
    return True


def free_port():
    with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def _split_host(key):
    name, sep, port = key.rpartition(":")
    if sep and port.isdigit():
        return name, int(port)
    return key, None


class WebHost:
    def __init__(self, scratch, sites):
        self.scratch = os.path.abspath(scratch)
        self.sites = dict(sites)
        self.port = None  # the shared port of the name-based hosts
        self.process = None

    # -- configuration ---------------------------------------------------------------------
    def _server_block(self, listen, server_name, site, default=False):
        ssl = " ssl" if site is not None and site.tls else ""
        lines = [f"  server {{ listen 127.0.0.1:{listen}{ssl}{' default_server' if default else ''};",
                 f"    server_name {server_name};"]
        if ssl:
            lines += [f"    ssl_certificate {site.tls[0]};", f"    ssl_certificate_key {site.tls[1]};"]
        if site is None:
            lines.append("    return 444;")  # an unknown host: the connection closes unanswered
        else:
            lines.append(f"    root {site.root};" if site.root else "    location / { return 404; }")
            for uri, status in site.statuses.items():
                lines.append(f"    location = {uri} {{ return {int(status)}; }}")
            for uri, url in site.redirects.items():
                lines.append(f"    location = {uri} {{ return 302 {url}; }}")
        lines.append("  }")
        return "\n".join(lines)

    def _config(self):
        s = self.scratch
        temp = "\n".join(f"  {kind}_temp_path {s}/temp-{kind};"
                         for kind in ("client_body", "proxy", "fastcgi", "uwsgi", "scgi"))
        servers = []
        named = {k: v for k, v in self.sites.items() if _split_host(k)[1] is None}
        if any(site.tls for site in named.values()):
            raise WebHostError("a name-based host cannot have TLS: give it a port of its own")
        if named:
            servers.append(self._server_block(self.port, "_", None, default=True))
            servers += [self._server_block(self.port, k, v) for k, v in named.items()]
        for key, site in self.sites.items():
            name, port = _split_host(key)
            if port is not None:
                servers.append(self._server_block(port, name, site, default=True))
        return f"""daemon off;
master_process off;
pid {s}/nginx.pid;
error_log {s}/error.log warn;
events {{ worker_connections 512; }}
http {{
  default_type application/octet-stream;
  log_format websetup '{LOG_FORMAT}';
  access_log {s}/access.log websetup;
{temp}
  sendfile on;
  server_tokens off;
{chr(10).join(servers)}
}}
"""

    # -- life ------------------------------------------------------------------------------
    def _ports(self):
        fixed = [p for p in (_split_host(k)[1] for k in self.sites) if p is not None]
        return fixed + ([self.port] if self.port is not None else [])

    def start(self):
        nginx = shutil.which("nginx") or "/usr/sbin/nginx"
        if not os.path.exists(nginx):
            raise WebHostError("nginx is not installed (scripts/deps.sh installs it)")
        busy = [p for p in self._ports() if not port_is_free(p)]
        if busy:
            raise WebHostError(f"loopback port(s) {busy} already in use; pick another port base")
        os.makedirs(self.scratch, exist_ok=True)
        named = any(_split_host(k)[1] is None for k in self.sites)
        for _ in range(START_ATTEMPTS):
            self.port = free_port() if named else None
            if self._start_once(nginx):
                return self
        raise WebHostError(f"nginx did not start: {self._error_log()}")

    def _start_once(self, nginx):
        conf = os.path.join(self.scratch, "nginx.conf")
        with open(conf, "w") as f:
            f.write(self._config())
        self.process = subprocess.Popen(
            [nginx, "-p", self.scratch, "-c", conf, "-e", os.path.join(self.scratch, "error.log")],
            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        deadline = time.monotonic() + START_TIMEOUT_S
        while time.monotonic() < deadline:
            if self.process.poll() is not None:
                self.process = None
                return False
            if all(self._accepts(p) for p in self._ports()):
                return True
            time.sleep(0.05)
        self.stop()
        raise WebHostError(f"nginx did not listen within {START_TIMEOUT_S} s: {self._error_log()}")

    @staticmethod
    def _accepts(port):
        try:
            with socket.create_connection(("127.0.0.1", port), timeout=1):
                return True
        except OSError:
            return False

    def stop(self):
        if self.process is None:
            return
        self.process.send_signal(signal.SIGTERM)
        try:
            self.process.wait(timeout=STOP_TIMEOUT_S)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait(timeout=STOP_TIMEOUT_S)
        self.process = None

    def __enter__(self):
        return self.start()

    def __exit__(self, *exc):
        self.stop()

    # -- what clients need and what happened ------------------------------------------------
    def proxy_env(self):
        """Environment for a client of the name-based hosts; nothing bypasses the proxy."""
        env = {"no_proxy": "", "NO_PROXY": "", "https_proxy": "", "HTTPS_PROXY": "", "all_proxy": "", "ALL_PROXY": ""}
        if self.port is not None:
            env["http_proxy"] = f"http://127.0.0.1:{self.port}"
        return env

    def _log(self):
        try:
            with open(os.path.join(self.scratch, "access.log")) as f:
                lines = f.read().splitlines()
        except FileNotFoundError:
            return []
        return [line.split(" ", 5) for line in filter(None, lines)]

    def requests(self):
        """(host as keyed in sites, URI, status) of every request so far, in order. The URI is
        the request line's, as sent: a proxy's absolute URI without its scheme and host."""
        found = []
        for _, _, host, port, status, line in self._log():
            target = line[line.find(" ") + 1:line.rfind(" ")]
            absolute = re.match(r"^https?://([^/?#]*)(.*)$", target)
            if absolute:
                host, target = absolute[1], absolute[2] or "/"
            found.append((host if int(port) == self.port else f"{host}:{port}", target, status))
        return found

    def connections(self):
        """(nginx's connection number, requests on it so far) of every request, in the order of
        requests()."""
        return [(int(number), int(count)) for number, count, *_ in self._log()]

    def _error_log(self):
        try:
            with open(os.path.join(self.scratch, "error.log")) as f:
                return f.read().strip()[-2000:]
        except FileNotFoundError:
            return "(no error log)"


def main(argv):
    parser = argparse.ArgumentParser(description="Serve folders from a private nginx while a command runs.")
    parser.add_argument("--scratch", required=True, help="folder for nginx's config, logs and temp files")
    parser.add_argument("--site", action="append", default=[], metavar="HOST=FOLDER")
    parser.add_argument("command", nargs="+")
    args = parser.parse_args(argv)
    sites = {}
    for item in args.site:
        host, sep, folder = item.partition("=")
        if not sep:
            parser.error(f"--site {item}: expected HOST=FOLDER")
        sites[host] = Site(os.path.abspath(folder))
    with WebHost(args.scratch, sites) as web:
        env = {**os.environ, **web.proxy_env(), "WEBHOST_PORT": str(web.port or "")}
        # Ctrl-C reaches the command too; the server is stopped once it has ended.
        signal.signal(signal.SIGINT, signal.SIG_IGN)
        return subprocess.run(args.command, env=env).returncode


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
