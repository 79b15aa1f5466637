#!/usr/bin/env python3
"""Damages a distribution's archive in place: flips 16 bytes in the middle of
the compressed data of its largest record, and prints that file's name.
Usage: install_faults_damage.py files.1"""
import struct, sys
path = sys.argv[1]
data = bytearray(open(path, "rb").read())
count = struct.unpack_from("<i", data, 0)[0]
pos, best = 5, None
for _ in range(count):
    r = data[pos:pos + 172]
    name = r[21:21 + r[20]].decode("latin-1")
    end = struct.unpack_from("<i", r, 16)[0]
    nxt, size, start = struct.unpack_from("<iii", r, 124)
    if best is None or end - start > best[2] - best[1]:
        best = (name, start, end)
    pos = nxt
name, start, end = best
mid = (start + end) // 2
for i in range(mid, mid + 16):
    data[i] ^= 0xFF
open(path, "wb").write(data)
print(name.split("\\")[-1])
