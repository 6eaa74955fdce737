#!/usr/bin/env python3
"""A loopback spot server for looking at the program: it plays an RBN telnet node.

It prompts for a call, greets, waits for the filter command and then streams CW spot lines in the
RBN layout, among them TS0EST (the sample alarm entry) and portable ("/P") calls.
Usage: spot_server.py PORT [SECONDS_BETWEEN_SPOTS]
"""
import socket
import sys
import threading
import time

SPOTS = [
    ("DL8LAS-#", "14025.0", "TS0EST", 25),
    ("W3LPL-#", "7012.5", "DL1ABC", 28),
    ("OH6BG-#", "3526.1", "G4XYZ/P", 22),
    ("VE6WZ-#", "10112.0", "K1ABC", 31),
    ("DK9IP-#", "18082.3", "SP5QWE", 35),
    ("EA5WU-#", "21034.8", "F5AAA/P", 19),
    ("KM3T-#", "28022.0", "JA1XYZ", 26),
    ("SM7IUN-#", "1823.4", "OK1RR", 24),
    ("DL8LAS-#", "24895.5", "HB9/TS0EST/P", 21),
    ("W1NT-6-#", "14044.0", "ON4ABC", 40),
    ("G4ZFE-#", "5353.5", "EI7CC", 18),
    ("DF4XX-#", "7030.0", "TS0EST", 25),
]


def rbn_line(spotter, qrg, call, wpm, stamp):
    return ("DX de " + (spotter + ":").ljust(9) + qrg.rjust(9) + "  " + call.ljust(13) + "  CW    25 dB "
            + str(wpm).rjust(3) + " WPM  CQ      " + stamp)


def serve(conn, pause):
    with conn:
        conn.sendall(b"Please enter your call: ")
        reader = conn.makefile("rb")
        if not reader.readline():
            return
        conn.sendall(b"\r\nHello, this is the loopback spot server.\r\n\r\n")
        reader.readline()  # Set Dx Filter mode=CW
        n = 0
        while True:
            spotter, qrg, call, wpm = SPOTS[n % len(SPOTS)]
            stamp = time.strftime("%H%MZ", time.gmtime())
            try:
                conn.sendall((rbn_line(spotter, qrg, call, wpm, stamp) + "\r\n").encode())
            except OSError:
                return
            n += 1
            time.sleep(pause)


def main():
    port = int(sys.argv[1])
    pause = float(sys.argv[2]) if len(sys.argv) > 2 else 0.5
    server = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    server.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    server.bind(("127.0.0.1", port))
    server.listen(4)
    while True:
        conn, _ = server.accept()
        threading.Thread(target=serve, args=(conn, pause), daemon=True).start()


if __name__ == "__main__":
    main()
