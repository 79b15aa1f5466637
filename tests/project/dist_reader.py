#!/usr/bin/env python3
"""Reads a distribution as an outsider: the loading program's PE image, the
archives appended to it and the 56-byte extraction record at the end of
setup.exe, byte for byte against the build folder's setup.1 and files.1, and
every archive record inflated with Python's zlib. Prints what it read; exits
non-zero with the reason on the first thing that does not hold.
Usage: dist_reader.py BUILD-DIR [--setup-program EXE] [--payload DIR]
                      [--split DISK-DIR...]"""
import argparse
import os
import struct
import sys
import zlib

REC = 172
MARKER = b"SELFEXTRACTING\0"


class Bad(Exception):
    pass


def need(cond, what):
    if not cond:
        raise Bad(what)


def image_end(data):
    """The end of a PE file's last section: where appended data begins."""
    need(data[:2] == b"MZ", "setup.exe is no program (no MZ)")
    pe, = struct.unpack_from("<I", data, 0x3C)
    need(data[pe:pe + 4] == b"PE\0\0", "setup.exe has no PE header")
    sections, = struct.unpack_from("<H", data, pe + 6)
    optional, = struct.unpack_from("<H", data, pe + 20)
    table = pe + 24 + optional
    end = 0
    for i in range(sections):
        size, pointer = struct.unpack_from("<II", data, table + 40 * i + 16)
        end = max(end, pointer + size)
    return end


def table(archive):
    """The records of an archive (its own bytes): name, size, csize, uid,
    version, data start, data end, first and last disk."""
    need(len(archive) >= 5, "an archive shorter than its preamble")
    count, multi = struct.unpack_from("<iB", archive, 0)
    need(0 <= count <= 100000, "an archive count of %d" % count)
    pos, out = 5, []
    for _ in range(count):
        r = archive[pos:pos + REC]
        need(len(r) == REC, "a record past the archive's end at %d" % pos)
        last_disk = r[12]
        end, = struct.unpack_from("<i", r, 16)
        name = r[21:21 + r[20]].decode("latin-1")
        nxt, size, start, csize, first_disk = struct.unpack_from("<iiiiB", r, 124)
        uid, = struct.unpack_from("<i", r, 144)
        version = r[149:149 + r[148]].decode("latin-1")
        out.append(dict(name=name, size=size, csize=csize, uid=uid, version=version, start=start, end=end,
                        first=first_disk, last=last_disk))
        pos = nxt
    return multi, out


def inflate(record, data):
    raw = zlib.decompress(data)
    need(len(raw) == record["size"], "%s inflates to %d bytes, its record says %d" %
         (record["name"], len(raw), record["size"]))
    return raw


def check_archive(label, archive, payload_of):
    """Inflates every record of a single-file archive; payload_of(name) gives
    the bytes it must equal (None: not compared)."""
    _, records = table(archive)
    for r in records:
        need(0 < r["start"] <= r["end"] < len(archive), "%s: %s's data outside the archive" % (label, r["name"]))
        raw = inflate(r, archive[r["start"]:r["end"] + 1])
        want = payload_of(r["name"])
        need(want is None or raw == want, "%s: %s differs from its source" % (label, r["name"]))
    return records


def split_set(disks):
    """The records of a split set (files.1 on the first disk, files.2 ... on
    the next) and each one's data gathered across the disks."""
    parts = []
    for i, disk in enumerate(disks):
        name = "files.1" if i == 0 else "files.%d" % (i + 1)
        parts.append(open(os.path.join(disk, name), "rb").read())
    multi, records = table(parts[0])
    need(multi == 1, "the first disk's files.1 is not marked as a split set")
    out = []
    for r in records:
        need(1 <= r["first"] <= r["last"] <= len(parts), "%s lies on disks %d-%d of %d" %
             (r["name"], r["first"], r["last"], len(parts)))
        if r["first"] == r["last"]:
            data = parts[r["first"] - 1][r["start"]:r["end"] + 1]
        else:
            data = parts[r["first"] - 1][r["start"]:]
            for d in range(r["first"], r["last"] - 1):
                data += parts[d]
            data += parts[r["last"] - 1][:r["end"] + 1]
        out.append((r, inflate(r, data)))
    return out


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("build")
    ap.add_argument("--setup-program")
    ap.add_argument("--payload")
    ap.add_argument("--split", nargs="+")
    a = ap.parse_args()
    try:
        setup = open(os.path.join(a.build, "setup.exe"), "rb").read()
        setup1 = open(os.path.join(a.build, "setup.1"), "rb").read()
        files1_path = os.path.join(a.build, "files.1")
        files1 = open(files1_path, "rb").read() if os.path.exists(files1_path) else b""
        for name in sorted(os.listdir(a.build)):
            print("%-10s %10d bytes" % (name, os.path.getsize(os.path.join(a.build, name))))
        end = image_end(setup)
        need(len(setup) >= 56, "setup.exe is shorter than a record")
        rec = setup[-56:]
        need(rec[:15] == MARKER, "no SELFEXTRACTING marker at the end of setup.exe")
        need(rec[15] == 0 and rec[32:] == bytes(24), "reserved bytes of the record are not zero")
        ss, se, fs, fe = struct.unpack_from("<4i", rec, 16)
        print("record: setup start %d, setup end %d, files start %d, files end %d (loader image ends at %d, "
              "file size %d)" % (ss, se, fs, fe, end, len(setup)))
        need(ss == end, "setup start %d is not the end of the loader's image %d" % (ss, end))
        need(se == ss + len(setup1) - 1, "setup end %d is not setup start + size of setup.1 - 1" % se)
        need(setup[ss:se + 1] == setup1, "the appended setup.1 differs from the build folder's")
        if files1:
            need(fs == se + 1 and fe == fs + len(files1) - 1, "files range %d-%d does not hold files.1" % (fs, fe))
            need(setup[fs:fe + 1] == files1, "the appended files.1 differs from the build folder's")
            need(fe + 1 == len(setup) - 56, "data between files.1 and the record")
        else:
            need(fs == 0 and fe == 0, "a files range without files.1")
            need(se + 1 == len(setup) - 56, "data between setup.1 and the record")

        program = open(a.setup_program, "rb").read() if a.setup_program else None
        records = check_archive("setup.1", setup1, lambda n: None)
        need(records, "setup.1 holds no record")
        if program is not None:
            need(inflate(records[0], setup1[records[0]["start"]:records[0]["end"] + 1]) == program,
                 "setup.1's first record is not the setup program")
        print("setup.1: %s" % ", ".join("%s (%d bytes)" % (os.path.basename(r["name"].replace("\\", "/")), r["size"])
                                        for r in records))

        def payload_of(name):
            if not a.payload:
                return None
            path = os.path.join(a.payload, os.path.basename(name.replace("\\", "/")))
            return open(path, "rb").read() if os.path.exists(path) else None

        if files1:
            print("files.1 table:")
            for r in check_archive("files.1", files1, payload_of):
                print("  %-40s size %8d  compressed %8d  id %4d  version %s" %
                      (os.path.basename(r["name"].replace("\\", "/")), r["size"], r["csize"], r["uid"],
                       r["version"] or "-"))
        if a.split:
            gathered = split_set(a.split)
            whole = {r["name"]: r for r in table(files1)[1]}
            need(len(gathered) == len(whole), "the split set holds %d records, files.1 %d" %
                 (len(gathered), len(whole)))
            for r, raw in gathered:
                want = payload_of(r["name"])
                need(want is None or raw == want, "split: %s differs from its source" % r["name"])
            print("split set: %d disks, %d records, every one inflating whole" % (len(a.split), len(gathered)))
        print("distribution reads back byte for byte")
        return 0
    except (Bad, OSError, zlib.error, struct.error) as e:
        print("DISTRIBUTION BAD: %s" % e)
        return 1


if __name__ == "__main__":
    sys.exit(main())
