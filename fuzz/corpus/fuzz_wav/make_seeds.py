#!/usr/bin/env python3
"""Writes the tiny seed inputs of fuzz_wav next to this script."""
import os
import struct

here = os.path.dirname(os.path.abspath(__file__))


def chunk(cid, body):
    return cid + struct.pack("<I", len(body)) + body


def fmt(rate, bits, channels):
    align = bits // 8 * channels
    return chunk(b"fmt ", struct.pack("<HHIIHH", 1, channels, rate, rate * align, align, bits))


def riff(*chunks):
    body = b"WAVE" + b"".join(chunks)
    return b"RIFF" + struct.pack("<I", len(body)) + body


seeds = {
    "mono8.bin": riff(fmt(11025, 8, 1), chunk(b"data", bytes((128 + (i % 40) - 20) for i in range(1200)))),
    "mono16.bin": riff(fmt(16000, 16, 1), chunk(b"data", b"".join(struct.pack("<h", (i * 397) % 30000 - 15000) for i in range(700)))),
    "stereo.bin": riff(fmt(22050, 16, 2), chunk(b"data", bytes(64))),
    "list.bin": riff(fmt(11025, 8, 1), chunk(b"LIST", b"INFOISFT" + bytes(6)), chunk(b"data", bytes([128]) * 300)),
    "listfirst.bin": riff(chunk(b"LIST", bytes(12)), fmt(11025, 8, 1), chunk(b"data", bytes(10))),
    "empty.bin": riff(fmt(11025, 8, 1), chunk(b"data", b"")),
}
for name, data in seeds.items():
    with open(os.path.join(here, name), "wb") as f:
        f.write(data)
