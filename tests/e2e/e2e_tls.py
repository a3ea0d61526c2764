"""The https hosts of the end-to-end runs: a throwaway test CA made with openssl for each run,
certificates for the hosts (genuine, from another CA, for another name), and the trusted roots
a wine run sees."""
import os
import random
import subprocess


def read(path):
    with open(path, "rb") as f:
        return f.read()


def openssl(*args):
    subprocess.run(["openssl", *args], check=True, capture_output=True, timeout=60)


# RSA, not ECDSA: wine 8's crypt32 rejects an ECDSA signature whose r or s is shorter than the
# curve's size (a DER integer of 31 bytes or fewer, about one signature in 128), so a run whose
# random certificate drew one failed every https request under wine.
KEY = "rsa:2048"


class TestCertificates:
    """A throwaway test CA, another CA nobody trusts, and certificates for the https hosts."""

    # libcurl matches a host written as an address against the IP entries, wine's WinINet only
    # against the DNS names.
    LOOPBACK_NAMES = "IP:127.0.0.1,DNS:127.0.0.1"

    def __init__(self, folder):
        self.folder = folder
        os.makedirs(folder)
        self.ca = self._ca("test-ca")
        other_ca = self._ca("other-ca")
        self.genuine = self._server("genuine", self.ca, self.LOOPBACK_NAMES)
        self.other_ca = self._server("other-ca-host", other_ca, self.LOOPBACK_NAMES)
        self.other_name = self._server("other-name", self.ca, "DNS:elsewhere.websetup.test")

    def _ca(self, name):
        cert, key = (os.path.join(self.folder, f"{name}.{kind}") for kind in ("pem", "key"))
        openssl("req", "-x509", "-newkey", KEY, "-nodes", "-days", "2",
                "-subj", f"/CN=websetup {name}", "-keyout", key, "-out", cert)
        return cert, key

    def _server(self, name, ca, names):
        cert, key, csr, ext = (os.path.join(self.folder, f"{name}.{kind}") for kind in ("pem", "key", "csr", "ext"))
        openssl("req", "-newkey", KEY, "-nodes", "-subj",
                f"/CN=websetup {name}", "-keyout", key, "-out", csr)
        with open(ext, "w") as f:
            f.write(f"subjectAltName={names}\nbasicConstraints=CA:FALSE\nextendedKeyUsage=serverAuth\n")
        openssl("x509", "-req", "-in", csr, "-CA", ca[0], "-CAkey", ca[1], "-set_serial",
                str(random.getrandbits(64)), "-days", "2", "-extfile", ext, "-out", cert)
        return cert, key

    def for_role(self, role):
        """The certificate a host serves; none for the plain http mirror."""
        return {"u": self.other_ca, "n": self.other_name, "h": None}.get(role, self.genuine)

    def wine_roots(self):
        """A folder to mount over /etc/ssl/certs: the host's roots and the test CA."""
        folder = os.path.join(self.folder, "wine-roots")
        os.makedirs(folder)
        system = "/etc/ssl/certs/ca-certificates.crt"
        roots = read(system) if os.path.exists(system) else b""
        with open(os.path.join(folder, "ca-certificates.crt"), "wb") as f:
            f.write(roots + read(self.ca[0]))
        return folder


def in_namespace_with_roots(roots, cmd):
    """cmd in a mount namespace of its own whose /etc/ssl/certs is the folder roots."""
    return ["unshare", "--mount", "sh", "-c", 'mount --bind "$0" /etc/ssl/certs && exec "$@"', roots, *cmd]
