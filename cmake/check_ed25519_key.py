#!/usr/bin/env python3
"""Checks an Ed25519 public key at configure time: check_ed25519_key.py HEX (64 hex digits).

Exits 0 for a key Setup may trust; otherwise prints one line saying why not and exits 1. A key
must be the one canonical encoding of a curve point (RFC 8032, 5.1.3), and not of small order:
for a point A with 8A the identity, [h]A takes at most eight values whatever the message, so
anyone can make a signature that verifies. CMake has no arithmetic for this, hence Python.
"""
import sys

P = 2**255 - 19
D = -121665 * pow(121666, P - 2, P) % P
IDENTITY = (0, 1)


def add(a, b):
    """a + b on -x^2 + y^2 = 1 + d x^2 y^2 (complete: doubling and the identity included)."""
    (x1, y1), (x2, y2) = a, b
    t = D * x1 * x2 * y1 * y2 % P
    x3 = (x1 * y2 + y1 * x2) * pow(1 + t, P - 2, P) % P
    y3 = (y1 * y2 + x1 * x2) * pow(1 - t, P - 2, P) % P
    return x3, y3


def decode(key):
    """The point a 32-byte key encodes, or raises ValueError with the reason."""
    number = int.from_bytes(key, "little")
    y, sign = number & ((1 << 255) - 1), number >> 255
    if y >= P:
        raise ValueError("its y is not below 2^255 - 19, so not the key's one encoding")
    u, v = (y * y - 1) % P, (D * y * y + 1) % P
    x = u * pow(v, 3, P) * pow(u * pow(v, 7, P), (P - 5) // 8, P) % P
    if v * x * x % P == (P - u) % P:
        x = x * pow(2, (P - 1) // 4, P) % P
    if v * x * x % P != u:
        raise ValueError("it is no point of the curve (no x for its y)")
    if x == 0 and sign:
        raise ValueError("it has x = 0 with the sign bit set, so not the key's one encoding")
    if x & 1 != sign:
        x = P - x
    return x, y


def main(argv):
    try:
        key = bytes.fromhex(argv[1]) if len(argv) == 2 else b""
        if len(key) != 32:
            raise ValueError("it is not 32 bytes")
        point = decode(key)
        for _ in range(3):
            point = add(point, point)
        if point == IDENTITY:
            raise ValueError("it is a point of small order, for which anyone can make a valid signature")
    except ValueError as reason:
        print(f"not a usable Ed25519 public key: {reason}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
