#!/usr/bin/env python3
"""Runs the download tests of net_tests.exe against real servers on loopback.

Starts, each on a free port of 127.0.0.1 and all serving one scratch folder:
an anonymous FTP server and one that wants a user and password (pyftpdlib),
an HTTP server (http.server), and a small HTTP server of its own with the
answers the others won't give (a body shorter than its Content-Length, no
Content-Length at all, a refusal). Waits until each accepts, runs the test
program under Wine with the ports and the folder in its environment, and
stops the servers however the run ends.

A second run puts one test under a file-size limit, so that a download meets
a local file that takes fewer bytes than it is given.

Usage: net_servers.py EMULATOR TEST_EXE [gtest arguments...]
"""
import os
import resource
import shutil
import signal
import socket
import socketserver
import subprocess
import sys
import tempfile
import threading
import time

try:
    import pyftpdlib  # noqa: F401  (started as a module below)
except ImportError:
    sys.exit("net_servers.py: python3-pyftpdlib is missing (scripts/setup.sh installs it)")

FTP_USER = "quorvane"
FTP_PASSWORD = "caldrevin-1029"
# The tiny server's answers, by the start of the file's name: "short" a body
# cut short, "unsized" one of unknown length (the end of the connection ends
# it), anything else a refusal.
SHORT_BODY = b"Q" * 100
UNSIZED_BODY = bytes(range(256)) * 80  # 20480 bytes, three blocks and a bit


BIG_SIZE = 6 * 1024 * 1024
FILE_SIZE_LIMIT = 4 * 1024 * 1024


def limit_file_size():
    # A write past the limit then fails with EFBIG instead of a signal.
    signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
    resource.setrlimit(resource.RLIMIT_FSIZE, (FILE_SIZE_LIMIT, FILE_SIZE_LIMIT))


def free_ports(count):
    """Distinct free ports: all are held until each has been picked."""
    sockets = [socket.socket() for _ in range(count)]
    try:
        for s in sockets:
            s.bind(("127.0.0.1", 0))
        return [s.getsockname()[1] for s in sockets]
    finally:
        for s in sockets:
            s.close()


def wait_until_accepting(port, proc=None, seconds=20):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        if proc is not None and proc.poll() is not None:
            raise RuntimeError(f"the server for port {port} ended with {proc.returncode}")
        try:
            with socket.create_connection(("127.0.0.1", port), timeout=1):
                return
        except OSError:
            time.sleep(0.1)
    raise RuntimeError(f"nothing accepts on port {port}")


class OddAnswers(socketserver.StreamRequestHandler):
    def handle(self):
        request = self.rfile.readline().decode("latin-1").split()
        while self.rfile.readline() not in (b"\r\n", b"\n", b""):
            pass
        path = request[1] if len(request) > 1 else "/"
        name = path.rsplit("/", 1)[-1]
        if name.startswith("short"):
            head = f"HTTP/1.0 200 OK\r\nContent-Length: {len(SHORT_BODY) * 10}\r\n\r\n"
            self.wfile.write(head.encode() + SHORT_BODY)
        elif name.startswith("unsized"):
            self.wfile.write(b"HTTP/1.0 200 OK\r\nContent-Type: application/octet-stream\r\n\r\n" + UNSIZED_BODY)
        else:
            self.wfile.write(b"HTTP/1.0 403 Forbidden\r\nContent-Length: 9\r\n\r\nForbidden")


class ThreadedServer(socketserver.ThreadingTCPServer):
    daemon_threads = True
    allow_reuse_address = True


def main():
    emulator, exe, *gtest_args = sys.argv[1:]
    root = tempfile.mkdtemp(prefix="wdrl_net_")
    procs = []
    odd = None
    try:
        names = ("FTP", "FTPUSER", "HTTP", "ODD", "CLOSED")
        ports = dict(zip(names, free_ports(len(names))))
        # pyftpdlib is Debian's package; it lives beside the system's python3.
        python = sys.executable
        quiet = {"stdout": subprocess.DEVNULL, "stderr": subprocess.DEVNULL}
        procs.append(subprocess.Popen([python, "-m", "pyftpdlib", "-i", "127.0.0.1", "-p", str(ports["FTP"]),
                                       "-d", root], **quiet))
        procs.append(subprocess.Popen([python, "-m", "pyftpdlib", "-i", "127.0.0.1", "-p", str(ports["FTPUSER"]),
                                       "-d", root, "-u", FTP_USER, "-P", FTP_PASSWORD], **quiet))
        procs.append(subprocess.Popen([python, "-m", "http.server", str(ports["HTTP"]), "--bind", "127.0.0.1",
                                       "--directory", root], **quiet))
        odd = ThreadedServer(("127.0.0.1", ports["ODD"]), OddAnswers)
        threading.Thread(target=odd.serve_forever, daemon=True).start()
        for name, proc in zip(("FTP", "FTPUSER", "HTTP"), procs):
            wait_until_accepting(ports[name], proc)
        wait_until_accepting(ports["ODD"])

        env = dict(os.environ)
        # Loopback only: no proxy may stand between the tests and the servers.
        for var in ("http_proxy", "https_proxy", "ftp_proxy", "all_proxy", "HTTP_PROXY", "HTTPS_PROXY",
                    "FTP_PROXY", "ALL_PROXY"):
            env.pop(var, None)
        for name, port in ports.items():
            env[f"WDRL_NET_{name}_PORT"] = str(port)
        env["WDRL_NET_ROOT"] = "Z:" + root.replace("/", "\\")
        env["WDRL_NET_FTP_USER"] = FTP_USER
        env["WDRL_NET_FTP_PASSWORD"] = FTP_PASSWORD
        env["WDRL_NET_UNSIZED_LENGTH"] = str(len(UNSIZED_BODY))
        run = subprocess.run([emulator, exe, "--gtest_filter=NetServers.*", *gtest_args], env=env)
        if run.returncode != 0:
            return run.returncode

        # Once more under a real file-size limit, with a download that does
        # not fit: the local file takes fewer bytes than it is given.
        with open(os.path.join(root, "big.bin"), "wb") as big:
            big.write(os.urandom(BIG_SIZE))
        env["WDRL_NET_BIG"] = "big.bin"
        run = subprocess.run([emulator, exe, "--gtest_filter=NetServers.LocalFileThatFillsUp", *gtest_args], env=env,
                             preexec_fn=limit_file_size)
        return run.returncode
    finally:
        for proc in procs:
            proc.terminate()
        for proc in procs:
            try:
                proc.wait(timeout=10)
            except subprocess.TimeoutExpired:
                proc.kill()
                proc.wait()
        if odd is not None:
            odd.shutdown()
            odd.server_close()
        shutil.rmtree(root, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
