#!/usr/bin/env python3
"""Writes the placeholder firmware image and key table shipped with the source.

They only stand in for the real files from the programmer's maker so that the
tool, its tests and the simulated device can be built; a real programmer will
not run this image. Output is deterministic (fixed seeds), so running it again
reproduces the committed files byte for byte.
"""
import pathlib

HERE = pathlib.Path(__file__).resolve().parent


def xorshift32(seed):
    x = seed
    while True:
        x ^= (x << 13) & 0xFFFFFFFF
        x ^= x >> 17
        x ^= (x << 5) & 0xFFFFFFFF
        yield x & 0xFF


def fill(size, seed):
    gen = xorshift32(seed)
    return bytes(next(gen) for _ in range(size))


(HERE / "placeholder-firmware.bin").write_bytes(fill(24576, 0x1F2E3D4C))
(HERE / "placeholder-keytable.bin").write_bytes(fill(320, 0x0BADC0DE))
