#!/usr/bin/env python3
"""The build's signing-key setting: websetup_read_ed25519_public_key, run by cmake -P on PEM
files made here, takes a genuine key and stops configuring, naming the file and the reason,
for a key that is no point of the curve, not in its one encoding, or of small order.

Usage: signing_key_config_test.py CMAKE SIGNING_KEY_MODULE
"""
import base64
import pathlib
import subprocess
import sys
import tempfile

# SubjectPublicKeyInfo of an Ed25519 key up to the 32 key bytes (RFC 8410).
DER_PREFIX = bytes.fromhex("302a300506032b6570032100")

# (key, what configuring must say, or None for a key it takes)
CASES = [
    ("d75a980182b10ab7d54bfed3c964073a0ee172f3daa62325af021a68f707511a", None),  # RFC 8032, test 1
    ("0100000000000000000000000000000000000000000000000000000000000000", "small order"),  # identity
    ("c7176a703d4dd84fba3c0b760d10670f2a2053fa2c39ccc64ec7fd7792ac037a", "small order"),  # order 8
    ("ecffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff7f", "small order"),  # order 2
    ("0200000000000000000000000000000000000000000000000000000000000000", "no point of the curve"),
    ("eeffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff7f", "not below 2^255 - 19"),
    ("0100000000000000000000000000000000000000000000000000000000000080", "x = 0 with the sign bit"),
]

DRIVER = """include("${MODULE}")
websetup_read_ed25519_public_key("${KEY_FILE}" key)
message(STATUS "key ${key}")
"""


def main(cmake, module):
    failures = []
    with tempfile.TemporaryDirectory() as temp:
        folder = pathlib.Path(temp)
        driver = folder / "driver.cmake"
        driver.write_text(DRIVER)
        for number, (key, reason) in enumerate(CASES):
            pem = folder / f"key{number}.pem"
            body = base64.b64encode(DER_PREFIX + bytes.fromhex(key)).decode()
            pem.write_text(f"-----BEGIN PUBLIC KEY-----\n{body}\n-----END PUBLIC KEY-----\n")
            run = subprocess.run([cmake, f"-DMODULE={module}", f"-DKEY_FILE={pem}", "-P", str(driver)],
                                 capture_output=True, text=True, check=False)
            output = " ".join((run.stdout + run.stderr).split())
            if reason is None:
                ok = run.returncode == 0 and f"key {key}" in output
            else:
                ok = run.returncode != 0 and str(pem) in output and reason in output
            if not ok:
                failures.append(f"{key}: expected {reason or 'accepted'}, got status {run.returncode}: {output}")
    for failure in failures:
        print(failure)
    print(f"{len(CASES) - len(failures)} of {len(CASES)} keys judged right")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2]))
