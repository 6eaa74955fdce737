#!/usr/bin/env python3
"""The headless call_alarm event's latency with push: from the spot line written by a loopback spot server
to the call_alarm line read from the program's stdout. Modes: none (no push), ok (a push server that
answers 200), hang (one that takes the POST and never answers), notify ($NOTIFY on; run it under
dbus-run-session). Each run is a fresh program with "$CALL *" and no blocking time; the first alarm of a
run is reported apart (first use of the network or the bus). Only the first 10 alarms of a run are pushed
(the rate limit).
Usage: push_latency.py MODE RUNS ALARMS_PER_RUN BINARY"""
import socket, subprocess, sys, time, os, tempfile, threading, json, select, statistics
mode = sys.argv[1]          # none | ok | hang
runs = int(sys.argv[2]); per_run = int(sys.argv[3])
binary = sys.argv[4]
def push_server(hang):
    s = socket.socket(); s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    s.bind(('127.0.0.1', 0)); s.listen(50); port = s.getsockname()[1]
    held = []
    def loop():
        while True:
            c, _ = s.accept(); held.append(c)
            def serve(c=c):
                buf = b''
                while True:
                    d = c.recv(65536)
                    if not d: return
                    buf += d
                    while b'\r\n\r\n' in buf:
                        head, rest = buf.split(b'\r\n\r\n', 1)
                        n = 0
                        for l in head.split(b'\r\n'):
                            if l.lower().startswith(b'content-length:'): n = int(l.split(b':')[1])
                        if len(rest) < n: break
                        buf = rest[n:]
                        if not hang: c.sendall(b'HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok')
            threading.Thread(target=serve, daemon=True).start()
    threading.Thread(target=loop, daemon=True).start()
    return port
push_port = None if mode in ('none', 'notify') else push_server(mode == 'hang')
all_lat, first_lat = [], []
for r in range(runs):
    d = tempfile.mkdtemp()
    spot = socket.socket(); spot.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    spot.bind(('127.0.0.1', 0)); spot.listen(1)
    cfg = '$RMTHOST 127.0.0.1\r\n$RMTPORT %d\r\n$SOUNDEN off\r\n' % spot.getsockname()[1]
    if push_port: cfg += '$PUSHURL http://127.0.0.1:%d/t\r\n$PUSHTOKEN tk\r\n' % push_port
    if mode == 'notify': cfg += '$NOTIFY on\r\n'
    cfg += '$CALL *\r\n$TXT on the air\r\n$BLOCKTIME 0\r\n'
    open(os.path.join(d, 'config.txt'), 'w').write(cfg)
    p = subprocess.Popen([binary, '--headless', '-C', d], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    c, _ = spot.accept(); c.sendall(b'login: '); c.recv(100); c.sendall(b'\r\nHello\r\n\r\n'); time.sleep(0.3)
    out = p.stdout.fileno(); buf = b''
    for i in range(per_run):
        line = 'DX de DL8LAS-#:  14025.0  TS%dAB%d        CW    25 dB  25 WPM  CQ      1200Z\r\n' % (i % 10, i)
        t0 = time.perf_counter(); c.sendall(line.encode())
        while True:
            select.select([out], [], [])
            buf += os.read(out, 65536)
            if b'"call_alarm"' in buf:
                t1 = time.perf_counter(); buf = b''; break
        ms = (t1 - t0) * 1000
        (first_lat if i == 0 else all_lat).append(ms)
        time.sleep(0.15)
    p.terminate(); p.wait(); c.close(); spot.close()
def q(v, f): v = sorted(v); return v[min(len(v)-1, int(f*len(v)))]
print('%-5s first alarm of a run: median %.3f ms, max %.3f ms (n=%d); later alarms: median %.3f ms, p90 %.3f ms, max %.3f ms (n=%d)' % (
    mode, statistics.median(first_lat), max(first_lat), len(first_lat), statistics.median(all_lat), q(all_lat, .9), max(all_lat), len(all_lat)))
