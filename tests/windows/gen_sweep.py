#!/usr/bin/env python3
"""Writes a packet file whose samples sweep every light value 0..65535 and
take random values for every other field, so that a table made from it
exercises the exponential, the salinity formula and the number formatting
over their whole input range. Every sample is written with absolute values
(0xFA escapes): seven samples per packet. Deterministic for a given seed.

    gen_sweep.py OUT [SEED]
"""
import random
import struct
import sys

PACKET_SIZE = 128
SAMPLES_PER_PACKET = 7


def packet(rng, number, samples):
    header = struct.pack(">IBI", rng.getrandbits(32), rng.randint(1, 254), rng.randint(1, 2**32 - 1))
    payload = bytearray(number.to_bytes(3, "big"))
    payload += bytes([3]) + struct.pack(">H", rng.getrandbits(16)) + bytes([0xFC])
    payload += struct.pack(">5H", *samples[0])
    for s in samples[1:]:
        for v in s:
            payload += bytes([0xFA]) + struct.pack(">H", v)
    payload += bytes([0xFD])
    blk = header + payload
    return blk + bytes(PACKET_SIZE - len(blk))


def main():
    out = sys.argv[1]
    rng = random.Random(int(sys.argv[2]) if len(sys.argv) > 2 else 1)
    data = bytearray()
    light = list(range(65536))
    number = 0
    for start in range(0, len(light), SAMPLES_PER_PACKET):
        samples = []
        for logl in light[start:start + SAMPLES_PER_PACKET]:
            if rng.random() < 0.5:
                # Water as a logger sees it: 0..600 dbar, -2..35 C, 0..70 mS/cm.
                mbar = rng.randint(1000, 61000)
                temp = rng.randint(3000, 40000)
                cond = rng.randint(0, 65535)
            else:
                mbar, temp, cond = (rng.getrandbits(16) for _ in range(3))
            samples.append((mbar, temp, cond, rng.getrandbits(16), logl))
        data += packet(rng, number, samples)
        number += 1
        if number % 1000 == 0:
            data += b"\xff" * PACKET_SIZE  # an erased packet now and then
    with open(out, "wb") as f:
        f.write(data)


if __name__ == "__main__":
    main()
