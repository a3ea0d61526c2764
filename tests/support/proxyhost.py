"""A private squid on loopback that asks for a user name and password, Basic or Digest, and
passes every request it lets through to one parent (the tests' nginx, which picks the host
from the absolute URI).

    with AuthProxy(scratch, "digest", "user", "password", parent_port=web.port) as proxy:
        env["http_proxy"] = proxy.url("user", "password")

squid runs in the foreground (-N) with a config, password file, logs and pid written under
a folder of its own, and is stopped on leaving the block. Started as root, squid drops to its
own user, so that folder is made readable (the password is a throwaway) and its logs writable
for that user.
"""
import os
import pwd
import shutil
import signal
import socket
import subprocess
import tempfile
import time

SQUID = "/usr/sbin/squid"
HELPERS = "/usr/lib/squid"
START_TIMEOUT_S = 30
STOP_TIMEOUT_S = 15
# A free port picked here can be taken before squid binds it; try a few.
START_ATTEMPTS = 3
SQUID_USER = "proxy"  # Debian's user for squid


class AuthProxyError(RuntimeError):
    pass


def available():
    return os.access(SQUID, os.X_OK) and os.access(os.path.join(HELPERS, "digest_file_auth"), os.X_OK)


def _free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class AuthProxy:
    def __init__(self, scheme, user, password, parent_port):
        if scheme not in ("basic", "digest"):
            raise ValueError(scheme)
        self.scheme, self.user, self.password, self.parent_port = scheme, user, password, parent_port
        self.folder = None
        self.port = None
        self.process = None

    def url(self, user=None, password=None):
        """The http_proxy value, with user:password@ when given."""
        login = f"{user}:{password}@" if user is not None else ""
        return f"http://{login}127.0.0.1:{self.port}"

    def _write_files(self):
        users = os.path.join(self.folder, "users")
        if self.scheme == "basic":
            digest = subprocess.run(["openssl", "passwd", "-apr1", "-stdin"], input=self.password, text=True,
                                    check=True, capture_output=True, timeout=30).stdout.strip()
            line, helper = f"{self.user}:{digest}", f"{HELPERS}/basic_ncsa_auth {users}"
        else:
            line, helper = f"{self.user}:{self.password}", f"{HELPERS}/digest_file_auth {users}"
        with open(users, "w") as f:
            f.write(line + "\n")
        f = self.folder
        config = f"""http_port 127.0.0.1:{self.port}
pid_filename {f}/squid.pid
cache_log {f}/cache.log
access_log stdio:{f}/access.log
coredump_dir {f}
cache deny all
pinger_enable off
shutdown_lifetime 0 seconds
visible_hostname websetup-test-proxy
auth_param {self.scheme} program {helper}
auth_param {self.scheme} children 2
auth_param {self.scheme} realm websetup
acl authenticated proxy_auth REQUIRED
http_access allow authenticated
http_access deny all
cache_peer 127.0.0.1 parent {self.parent_port} 0 no-query no-digest name=web
never_direct allow all
"""
        if os.geteuid() == 0:
            config += f"cache_effective_user {SQUID_USER}\n"
        with open(os.path.join(f, "squid.conf"), "w") as out:
            out.write(config)
        for name in ("users", "squid.conf"):
            os.chmod(os.path.join(f, name), 0o644)
        os.chmod(f, 0o755)
        if os.geteuid() == 0:
            entry = pwd.getpwnam(SQUID_USER)
            os.chown(f, entry.pw_uid, entry.pw_gid)

    def __enter__(self):
        if not available():
            raise AuthProxyError("squid is not installed (scripts/deps.sh installs it)")
        for _ in range(START_ATTEMPTS):
            self.folder = tempfile.mkdtemp(prefix="websetup-proxy-")
            self.port = _free_port()
            self._write_files()
            self.process = subprocess.Popen([SQUID, "-N", "-f", os.path.join(self.folder, "squid.conf")],
                                            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                            stderr=subprocess.DEVNULL, start_new_session=True)
            if self._wait_listening():
                return self
            log = self.log()
            self.__exit__()
        raise AuthProxyError(f"squid did not start: {log[-2000:]}")

    def _wait_listening(self):
        deadline = time.monotonic() + START_TIMEOUT_S
        while time.monotonic() < deadline:
            if self.process.poll() is not None:
                return False
            try:
                with socket.create_connection(("127.0.0.1", self.port), timeout=1):
                    return True
            except OSError:
                time.sleep(0.1)
        return False

    def log(self):
        try:
            with open(os.path.join(self.folder, "cache.log")) as f:
                return f.read()
        except (FileNotFoundError, TypeError):
            return "(no log)"

    def access_log(self):
        try:
            with open(os.path.join(self.folder, "access.log")) as f:
                return f.read()
        except FileNotFoundError:
            return ""

    def __exit__(self, *exc):
        if self.process is not None:
            self.process.send_signal(signal.SIGTERM)
            try:
                self.process.wait(timeout=STOP_TIMEOUT_S)
            except subprocess.TimeoutExpired:
                os.killpg(self.process.pid, signal.SIGKILL)
                self.process.wait(timeout=STOP_TIMEOUT_S)
            self.process = None
        if self.folder is not None:
            shutil.rmtree(self.folder, ignore_errors=True)
            self.folder = None
