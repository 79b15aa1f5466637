#!/usr/bin/env python3
"""Starts a command in a process group of its own once it watches FOLDER, and
stops the group the moment the NTH new file under a name of its own
("name.ext.~new", or a numbered "name.1" for a target in use) is created
there. Prints the group's id, then the name of that file, or "ended"
when the command ended first. The stopped group is left to the caller.
Usage: install_faults_watch.py FOLDER NTH LOG COMMAND..."""
import ctypes, os, re, select, signal, struct, subprocess, sys
folder, nth, log, command = sys.argv[1], int(sys.argv[2]), sys.argv[3], sys.argv[4:]
libc = ctypes.CDLL(None, use_errno=True)
fd = libc.inotify_init()
IN_CREATE = 0x100
if fd < 0 or libc.inotify_add_watch(fd, folder.encode(), IN_CREATE) < 0:
    print("0 no-watch", flush=True)
    sys.exit(0)
setup = subprocess.Popen(command, stdout=open(log, "wb"), stderr=subprocess.STDOUT, start_new_session=True)
print(setup.pid, end=" ", flush=True)
seen, buf = 0, b""
while setup.poll() is None:
    if not select.select([fd], [], [], 0.5)[0]:
        continue
    buf += os.read(fd, 65536)
    while len(buf) >= 16:
        size = struct.unpack_from("iIII", buf, 0)[3]
        name = buf[16:16 + size].split(b"\0")[0].decode()
        buf = buf[16 + size:]
        if re.search(r"(\.\d+|\.~new)$", name):
            seen += 1
            if seen == nth:
                os.killpg(setup.pid, signal.SIGSTOP)
                print(name, flush=True)
                os._exit(0)
print("ended", flush=True)
