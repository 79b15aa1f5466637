#!/usr/bin/env python3
"""Reads the archives the engine wrote, as an outsider: every record's data
must inflate with Python's zlib to the bytes of its source file."""
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import zlib

REC = 172


def unix(path):
    assert path[:2].upper() == "Z:", path
    return path[2:].replace("\\", "/")


def records(first):
    count, multi = struct.unpack_from("<iB", first, 0)
    pos = 5
    for _ in range(count):
        r = first[pos:pos + REC]
        assert len(r) == REC
        name = r[21:21 + r[20]].decode("latin-1")
        (end_pos,) = struct.unpack_from("<i", r, 16)
        nxt, size, start, csize, first_disk = struct.unpack_from("<iiiiB", r, 124)
        last_disk = r[12]
        assert r[13:16] == r[121:124] == r[141:144] == r[169:172] == b"\0\0\0"
        yield dict(name=name, end=end_pos, next=nxt, size=size, start=start, csize=csize,
                   first=first_disk, last=last_disk, multi=multi)
        pos = nxt


def check_single(path):
    data = open(path, "rb").read()
    n = 0
    for r in records(data):
        assert r["first"] == r["last"] == 0
        raw = data[r["start"]:r["end"] + 1]
        assert len(raw) == r["csize"], r
        assert r["next"] == r["end"] + 1
        out = zlib.decompress(raw)
        assert out == open(unix(r["name"]), "rb").read(), r["name"]
        assert len(out) == r["size"]
        n += 1
    assert r["next"] == len(data)
    return n


def check_split(disk1):
    disks = {1: open(disk1, "rb").read()}
    k = 2
    while os.path.exists(disk1[:-2] + ".%d" % k):
        disks[k] = open(disk1[:-2] + ".%d" % k, "rb").read()
        k += 1
    n = 0
    for r in records(disks[1]):
        assert r["multi"] == 1
        raw = b""
        for d in range(r["first"], r["last"] + 1):
            lo = r["start"] if d == r["first"] else 0
            hi = r["end"] + 1 if d == r["last"] else len(disks[d])
            raw += disks[d][lo:hi]
        assert len(raw) == r["csize"], r
        assert zlib.decompress(raw) == open(unix(r["name"]), "rb").read(), r["name"]
        n += 1
    return n, len(disks)


def main():
    emulator, exe = sys.argv[1], sys.argv[2]
    work = tempfile.mkdtemp(prefix="wdrl_inflate_")
    try:
        env = dict(os.environ, WDRL_EXPORT_DIR="Z:" + work.replace("/", "\\"))
        subprocess.run([emulator, exe, "--gtest_filter=WdrlCompress.WritesArchivesForAnOutsideReader"],
                       env=env, check=True)
        n = check_single(os.path.join(work, "files.1"))
        m, disks = check_split(os.path.join(work, "set", "files.1"))
        assert n == m == 12 and disks >= 3, (n, m, disks)
        print("inflated %d records of the archive and %d of a %d-disk set" % (n, m, disks))
    finally:
        shutil.rmtree(work, ignore_errors=True)


main()
