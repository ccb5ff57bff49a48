#!/usr/bin/env python3
"""SHA-256 of every blend lookup table, computed from the mode formulas alone.

The engine builds the same tables in C++; tests/pixel/blend_tables_test.cpp holds the digests
printed here and checks the engine's tables against them. Run:

    python3 tests/pixel/tools/blend_table_sha256.py

Layout: 2-D tables are 256 x 256 bytes indexed [s][d] (byte s*256 + d); the 16-bit tables are
little-endian; entries a rule does not cover are 0.
"""

import hashlib
import math
import struct


def tdiv(a, b):
    """Integer division truncating toward zero (Python's // floors)."""
    q = abs(a) // abs(b)
    return q if (a >= 0) == (b >= 0) else -q


def clamp(v):
    return max(0, min(255, v))


def soft_light(s, d):
    k_const = 16384.0
    root = math.sqrt(256 - d)
    if s < 128:
        k = int(k_const - root)
        f = d + (((s - 128) * k) >> 15)
    elif d <= 32:
        k = int(k_const - root * (768 - 8 * d))
        f = d + (((s - 128) * k) >> 15)
    else:
        k = int(k_const - root)
        f = d + (((s - 128) * k) >> 16)
    return clamp(f)


def vivid_light(s, d):
    if s < 128:
        return 0 if s == 0 else max(tdiv(255 * (2 * s + d - 255), 2 * s), 0)
    return 255 if s == 255 else min(tdiv(255 * d, 510 - 2 * s), 255)


def divide(s, d):
    if d == 0:
        return 255 if s > 0 else 0
    return min(255 * s // d, 255)


def overlay(s, d):
    if d < 128:
        return 2 * s * d // 255
    if d == 128:
        return s
    return 2 * d - 257 + s * (512 - 2 * d) // 255


def hard_light(s, d):
    if s < 128:
        return 2 * s * d // 255
    if s == 128:
        return d
    return 2 * s - 257 + d * (512 - 2 * s) // 255


def pin_light(s, d):
    return min(d, 2 * s) if s < 128 else max(d, 2 * s - 255)


FORMULAS = [
    ("multiply", lambda s, d: s * d // 255),
    ("divide", divide),
    ("screen", lambda s, d: s + d - s * d // 255),
    ("difference", lambda s, d: abs(s - d)),
    ("exclusion", lambda s, d: s + d - 2 * (s * d // 255)),
    ("overlay", overlay),
    ("colour_dodge", lambda s, d: min(256 * d // (256 - s), 255)),
    ("colour_burn", lambda s, d: max(255 - 256 * (255 - d) // (s + 1), 0)),
    ("linear_burn", lambda s, d: min(max(s + d - 255, 0), 255)),
    ("hard_light", hard_light),
    ("soft_light", soft_light),
    ("vivid_light", vivid_light),
    ("linear_light", lambda s, d: min(max(2 * s + d - 256, 0), 255)),
    ("pin_light", pin_light),
    ("maximum", max),
    ("minimum", min),
]


def tables():
    out = []
    out.append(("saturating_add", bytes(min(i, 255) if i < 511 else 0 for i in range(512))))
    out.append(("floor_subtract", bytes(max(i - 255, 0) if i < 511 else 0 for i in range(512))))
    for name, f in FORMULAS:
        values = [f(s, d) for s in range(256) for d in range(256)]
        assert all(0 <= v <= 255 for v in values), name
        out.append((name, bytes(values)))
    recip = [0 if k == 0 else 256 * j // k for k in range(256) for j in range(256)]
    out.append(("reciprocal", struct.pack("<%dH" % len(recip), *recip)))
    rounded = [tdiv(k * (j - 255), 256) for k in range(257) for j in range(512)]
    out.append(("rounded_product", struct.pack("<%dh" % len(rounded), *rounded)))
    alpha = [tdiv(k * (j - 255), 255) for k in range(257) for j in range(512)]
    out.append(("alpha_product", struct.pack("<%dh" % len(alpha), *alpha)))
    return out


def main():
    for name, data in tables():
        print("%-16s %s" % (name, hashlib.sha256(data).hexdigest()))


if __name__ == "__main__":
    main()
