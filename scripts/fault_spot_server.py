#!/usr/bin/env python3
"""A loopback spot server that misbehaves on purpose, for soak runs of the program.

It plays an RBN node (prompt, call, greeting, filter command) and then streams CW spot lines at a fixed
rate, with the bytes real nodes add (BEL BEL after spot lines) and now and then a line of noise (NUL, ESC,
8-bit and invalid UTF-8 bytes, a non-CW spot). Every --drop-every seconds it closes the connection in the
middle of a line; the connection after such a drop is, in turn, closed in the middle of the prompt, closed
right after the call, or let in.

It counts only what a logged-in client was really given: a CW spot line is counted once all of its bytes
have been handed to the socket (a line cut by a drop is not). The counts are written as JSON to --stats
when the server ends (SIGTERM or SIGINT) and every ten seconds.

Usage: fault_spot_server.py [--port N] [--rate SPOTS_PER_S] [--drop-every SECONDS] [--stats FILE]
The port it listens on is printed as the first line of stdout.
"""
import argparse
import json
import os
import random
import signal
import socket
import sys
import threading
import time

PROMPT = b"Please enter your call: "
GREETING = b"\r\nHello, this is the fault-injecting spot server.\r\n\r\n"
PREFIXES = ["DL", "K", "W", "G", "F", "OK", "SP", "JA", "UA", "I", "EA", "VE", "PA", "ON", "HB9"]
BANDS = [1820, 3520, 7010, 10110, 14020, 18080, 21020, 24900, 28020]
NOISE = [
    b"\x00\x00\x07\x1b[2J\x7f\r\n",
    b"\xff\xfe\xc3\x28\xe2\x82\xc0\xaf noise\r\n",
    b"DX de KO7SS-#:   14074.0  K1ABC          FT8   -12 dB  CQ            1200Z\r\n",
    b"To ALL de NODE: announcement \xd6sterreich\r\n",
]


class Stats:
    def __init__(self):
        self.lock = threading.Lock()
        self.data = {"spots_sent": 0, "noise_lines": 0, "connections": 0, "logins": 0, "drops_mid_line": 0,
                     "drops_mid_prompt": 0, "drops_after_call": 0, "started": time.time()}

    def add(self, key, n=1):
        with self.lock:
            self.data[key] += n

    def write(self, path):
        if not path:
            return
        with self.lock:
            data = dict(self.data)
        data["seconds"] = round(time.time() - data.pop("started"), 1)
        with open(path + ".tmp", "w") as f:
            json.dump(data, f)
        os.replace(path + ".tmp", path)


def spot_line(rng, n):
    call = rng.choice(PREFIXES) + str(rng.randrange(10)) + "".join(rng.choice("ABCDEFGHIJKLMNOPQRSTUVWXYZ")
                                                                   for _ in range(rng.randrange(1, 4)))
    if n % 50 == 0:
        call += "/P"
    qrg = "%.1f" % (rng.choice(BANDS) + rng.randrange(0, 300) / 10)
    spotter = rng.choice(["DL8LAS-#", "W3LPL-#", "KM3T-#", "OH6BG-#", "VE6WZ-#", "DK9IP-#"])
    stamp = time.strftime("%H%MZ", time.gmtime())
    line = ("DX de " + (spotter + ":").ljust(9) + qrg.rjust(9) + "  " + call.ljust(13) + "  CW    "
            + str(rng.randrange(3, 40)).rjust(2) + " dB " + str(rng.randrange(12, 45)).rjust(3) + " WPM  CQ      "
            + stamp)
    return line.encode() + (b"\x07\x07\r\n" if n % 3 == 0 else b"\r\n")


def read_line(conn, deadline):
    data = b""
    while not data.endswith(b"\n"):
        conn.settimeout(max(0.1, deadline - time.time()))
        chunk = conn.recv(1)
        if not chunk:
            return None
        data += chunk
    return data


def close(conn):
    try:
        conn.shutdown(socket.SHUT_RDWR)
    except OSError:
        pass
    conn.close()


class Server:
    def __init__(self, args):
        self.args = args
        self.stats = Stats()
        self.rng = random.Random(20261206)
        self.login_fault = None  # what the next connection gets: None, "mid_prompt", "after_call"
        self.faults = ["mid_prompt", "after_call", None]
        self.drops = 0
        self.next_drop = time.time() + args.drop_every
        self.line_number = 0

    def serve(self, conn):
        self.stats.add("connections")
        fault, self.login_fault = self.login_fault, None
        conn.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        try:
            if fault == "mid_prompt":
                conn.sendall(PROMPT[:10])
                self.stats.add("drops_mid_prompt")
                return
            conn.sendall(PROMPT)
            if read_line(conn, time.time() + 30) is None:
                return
            if fault == "after_call":
                self.stats.add("drops_after_call")
                return
            conn.sendall(GREETING)
            filter_line = read_line(conn, time.time() + 30)
            if filter_line is None or not filter_line.startswith(b"Set Dx Filter"):
                return
            self.stats.add("logins")
            self.stream(conn)
        except OSError:
            pass
        finally:
            close(conn)

    def stream(self, conn):
        tick = 0.01
        per_tick = self.args.rate * tick
        owed = 0.0
        next_tick = time.time()
        while True:
            now = time.time()
            if now >= self.next_drop:
                self.drops += 1
                self.next_drop = now + self.args.drop_every
                self.login_fault = self.faults[(self.drops - 1) % len(self.faults)]
                conn.sendall(spot_line(self.rng, 1)[:31])
                self.stats.add("drops_mid_line")
                return
            owed += per_tick
            batch = []
            counted = 0
            while owed >= 1:
                owed -= 1
                self.line_number += 1
                batch.append(spot_line(self.rng, self.line_number))
                counted += 1
                if self.line_number % 997 == 0:
                    batch.append(NOISE[(self.line_number // 997) % len(NOISE)])
                    self.stats.add("noise_lines")
            if batch:
                conn.sendall(b"".join(batch))
                # sendall returned: every byte is with the kernel, which delivers it before our FIN.
                self.stats.add("spots_sent", counted)
            next_tick += tick
            delay = next_tick - time.time()
            if delay > 0:
                time.sleep(delay)
            else:
                next_tick = time.time()

    def run(self):
        listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        listener.bind(("127.0.0.1", self.args.port))
        listener.listen(4)
        print(listener.getsockname()[1], flush=True)

        def report():
            while True:
                time.sleep(10)
                self.stats.write(self.args.stats)

        threading.Thread(target=report, daemon=True).start()
        while True:
            conn, _ = listener.accept()
            # One client at a time, as a node serves one login per connection.
            self.serve(conn)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--rate", type=float, default=1000)
    parser.add_argument("--drop-every", type=float, default=180)
    parser.add_argument("--stats", default="")
    args = parser.parse_args()
    server = Server(args)

    def stop(*_):
        server.stats.write(args.stats)
        sys.exit(0)

    signal.signal(signal.SIGTERM, stop)
    signal.signal(signal.SIGINT, stop)
    server.run()


if __name__ == "__main__":
    main()
