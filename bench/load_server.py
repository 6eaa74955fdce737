#!/usr/bin/env python3
"""Loopback spot server for the load and burst measurements (bench/load.sh, bench/burst.py).

It plays an RBN node (prompt, call, greeting, filter command), then sends the lines of FILE over and over:
  --rate N      N lines a second, in 10 ms slices, for --seconds (0 = forever);
  --rate 0      nothing at all after the login (the idle measurement);
  --burst       the whole file in one go, 64 KiB a write, as fast as the client takes it
                (--sentinel CALL: then one last spot line for CALL).
With --no-login the lines start right after the connection (for a bare `nc | grep` client).

Whether the client kept up is read from the sockets: the bytes the kernel still holds unsent here
(SIOCOUTQ) and the bytes the client has received but not read yet (its Recv-Q in /proc/net/tcp) are
sampled while sending. A client that keeps up leaves next to nothing queued; one that falls behind makes
the queues grow until sendall() blocks and the real rate drops below the asked one. At the end the server
waits up to 10 s for both queues to drain. The stats are written as JSON to --stats (and every 5 s while it runs).
The port it listens on is printed as the first line of stdout.
"""
import argparse
import fcntl
import json
import os
import signal
import socket
import struct
import sys
import time

SIOCOUTQ = 0x5411  # TIOCOUTQ: bytes in the send queue not yet acknowledged by the peer
PROMPT = b"Please enter your call: "
GREETING = b"\r\nHello, this is the load spot server.\r\n\r\n"


def unsent(conn):
    try:
        return struct.unpack("i", fcntl.ioctl(conn.fileno(), SIOCOUTQ, b"\0\0\0\0"))[0]
    except OSError:
        return -1


def client_unread(client_port, server_port):
    """Bytes the client has received but not yet read: its Recv-Q, from /proc/net/tcp."""
    want = ":%04X" % client_port, ":%04X" % server_port
    try:
        with open("/proc/net/tcp") as f:
            for row in f:
                fields = row.split()
                if len(fields) > 4 and fields[1].endswith(want[0]) and fields[2].endswith(want[1]):
                    return int(fields[4].split(":")[1], 16)
    except OSError:
        pass
    return -1


def read_line(conn, reader):
    line = reader.readline()
    if not line:
        raise ConnectionError("client closed during login")
    return line


class Stats:
    def __init__(self, path):
        self.path = path
        self.data = {"lines_sent": 0, "cw_lines_sent": 0, "bytes_sent": 0, "seconds_sending": 0.0, "max_unsent_bytes": 0,
                     "unsent_at_end": None, "drain_seconds": None, "max_client_unread_bytes": 0,
                     "client_closed": False}
        self.last_write = 0.0

    def write(self, force=False):
        now = time.time()
        if not self.path or (not force and now - self.last_write < 5):
            return
        self.last_write = now
        with open(self.path + ".tmp", "w") as f:
            json.dump(self.data, f)
        os.replace(self.path + ".tmp", self.path)


def stream(conn, lines, args, stats):
    if args.burst:
        data = b"".join(lines)
        if args.sentinel:
            data += ("DX de DL8LAS-#:  14025.0  %-14s CW    25 dB  25 WPM  CQ      1200Z\r\n" % args.sentinel).encode()
        stats.data["burst_started"] = time.time()
        # 64 KiB a write, as a busy node's socket hands it over.
        for at in range(0, len(data), 65536):
            conn.sendall(data[at:at + 65536])
        stats.data["lines_sent"] = len(lines)
        stats.data["cw_lines_sent"] = data.count(b" CW ")
        stats.data["bytes_sent"] = len(data)
        stats.data["seconds_sending"] = round(time.time() - stats.data["burst_started"], 4)
        stats.write(force=True)
        if args.no_login:
            conn.close()  # at once: the bare client ends at the end of the stream
            sys.exit(0)
        return
    if args.rate <= 0:
        stats.data["started"] = time.time()
        stats.write(force=True)
        while True:
            time.sleep(3600)
    tick = 0.01
    start = time.time()
    stats.data["started"] = start
    stats.write(force=True)
    next_tick = start
    owed = 0.0
    at = 0
    ports = conn.getpeername()[1], conn.getsockname()[1]
    slices = 0
    while args.seconds <= 0 or time.time() - start < args.seconds:
        owed += args.rate * tick
        n = int(owed)
        owed -= n
        if n:
            batch = []
            for _ in range(n):
                batch.append(lines[at])
                at = (at + 1) % len(lines)
            data = b"".join(batch)
            conn.sendall(data)
            stats.data["lines_sent"] += n
            stats.data["cw_lines_sent"] += data.count(b" CW ")
            stats.data["bytes_sent"] += len(data)
            stats.data["max_unsent_bytes"] = max(stats.data["max_unsent_bytes"], unsent(conn))
        slices += 1
        if slices % 10 == 0:
            stats.data["max_client_unread_bytes"] = max(stats.data["max_client_unread_bytes"],
                                                        client_unread(*ports))
        stats.data["seconds_sending"] = round(time.time() - start, 3)
        stats.write()
        next_tick += tick
        delay = next_tick - time.time()
        if delay > 0:
            time.sleep(delay)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("file")
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--rate", type=float, default=1000)
    parser.add_argument("--seconds", type=float, default=60)
    parser.add_argument("--burst", action="store_true")
    parser.add_argument("--sentinel", default="", help="a last spot line for this call after the burst")
    parser.add_argument("--delay", type=float, default=0, help="seconds between login and the first line")
    parser.add_argument("--no-login", action="store_true")
    parser.add_argument("--stats", default="")
    args = parser.parse_args()
    with open(args.file, "rb") as f:
        lines = f.read().splitlines(keepends=True)
    stats = Stats(args.stats)

    def stop(*_):
        stats.write(force=True)
        sys.exit(0)

    signal.signal(signal.SIGTERM, stop)
    signal.signal(signal.SIGINT, stop)

    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", args.port))
    listener.listen(1)
    print(listener.getsockname()[1], flush=True)
    conn, _ = listener.accept()
    try:
        if not args.no_login:
            reader = conn.makefile("rb")
            conn.sendall(PROMPT)
            read_line(conn, reader)
            conn.sendall(GREETING)
            read_line(conn, reader)  # Set Dx Filter mode=CW
        stats.data["logged_in"] = time.time()
        stats.write(force=True)
        time.sleep(args.delay)
        stream(conn, lines, args, stats)
        stats.data["unsent_at_end"] = unsent(conn)
        ports = conn.getpeername()[1], conn.getsockname()[1]
        # Drained: nothing queued at the server, nothing unread at the client.
        queued = lambda: max(unsent(conn), 0) + max(client_unread(*ports), 0)
        drain_start = time.time()
        while queued() > 0 and time.time() - drain_start < 10:
            time.sleep(0.01)
        stats.data["drain_seconds"] = round(time.time() - drain_start, 3) if queued() == 0 else None
    except (OSError, ConnectionError):
        stats.data["client_closed"] = True
    stats.data["done"] = True
    stats.write(force=True)
    if args.no_login:
        conn.close()  # the bare client ends at the end of the stream
        return
    # A client that is logged in stays connected until the measurement ends it.
    while True:
        time.sleep(3600)


if __name__ == "__main__":
    main()
