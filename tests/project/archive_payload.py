#!/usr/bin/env python3
"""Makes the distribution's files.1 with Teskor_Archive.exe into a scratch
folder and reads it as an outsider: it holds every file of the payload and
the uninstall program once, each record inflating with Python's zlib to the
bytes of that file.
Usage: archive_payload.py WINE-RUN Teskor_Archive.exe PAYLOAD-DIR"""
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import zlib

REC = 172


def records(data):
    count, _ = struct.unpack_from("<iB", data, 0)
    pos = 5
    for _ in range(count):
        r = data[pos:pos + REC]
        name = r[21:21 + r[20]].decode("latin-1")
        end, = struct.unpack_from("<i", r, 16)
        nxt, size, start, csize = struct.unpack_from("<iiii", r, 124)
        uid, = struct.unpack_from("<i", r, 144)
        yield name, data[start:end + 1], size, uid
        pos = nxt


def main():
    wine_run, exe, payload = sys.argv[1:4]
    scratch = tempfile.mkdtemp(prefix="wdrl-archive-payload-")
    # The compress order file of the prefix's Windows folder, put back after.
    order = os.path.join(os.environ["WENDREL_WINEPREFIX"], "drive_c", "windows", "WdrlCompressOrder.txt")
    kept = open(order, "rb").read() if os.path.exists(order) else None
    try:
        folder = "Z:" + scratch.replace("/", "\\")
        # An archive of an earlier build is replaced, not appended to.
        open(os.path.join(scratch, "files.1"), "wb").write(b"an earlier archive")
        run = subprocess.run([wine_run, exe, folder], capture_output=True, text=True, timeout=120)
        print(run.stdout, run.stderr)
        assert run.returncode == 0, run.returncode
        data = open(os.path.join(scratch, "files.1"), "rb").read()
        found = {}
        for name, raw, size, uid in records(data):
            assert name.upper().startswith("Z:"), name
            path = name[2:].replace("\\", "/")
            out = zlib.decompress(raw)
            assert out == open(path, "rb").read(), name
            assert len(out) == size, name
            found[os.path.basename(path)] = uid
        expected = sorted(os.listdir(payload) + ["uninstall.exe"])
        assert sorted(found) == expected, (sorted(found), expected)
        # The project's numbers, by which the installer finds each file.
        assert found["Ombo_Teskor.exe"] == 4 and found["Ombo_Teskor_SD.exe"] == 1, found
        assert found["uninstall.exe"] == 0, found
        print("files.1 holds the %d payload files and the uninstall program" % (len(found) - 1))
    finally:
        shutil.rmtree(scratch, ignore_errors=True)
        if kept is None:
            if os.path.exists(order):
                os.remove(order)
        else:
            open(order, "wb").write(kept)


main()
