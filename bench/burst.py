#!/usr/bin/env python3
"""A burst of spot lines from a loopback socket: how long the headless program needs to drain it, against a
bare `nc 127.0.0.1 PORT | grep -m1 SENTINEL` client reading the same bytes.

Both clients get the same file from bench/load_server.py --burst, written 64 KiB at a time and followed by
one last spot of the sentinel call. The clock starts when the server begins sending (for the program after
its login) and stops when the client has seen the sentinel:
  bare:     nc 127.0.0.1 PORT | grep -m1 SE0NTL
  program:  vemrok-alarm --headless -C DIR | grep -m1 '"call":"SE0NTL"'     (the sentinel's call alarm)
The program runs with the message window's switches off and a full alarm list of 101 calls, the sentinel
among them. Each client runs RUNS times (default 5); the medians and their ratio are printed, and the
program's own CPU time (steadier than wall time on a busy machine).

Usage: burst.py PROGRAM SPOT_FILE WATCHLIST [RUNS]
BURST_CONFIG adds config.txt lines (";" between them, e.g. "$NEEDED on;$LOGADIF /tmp/log.adi"); BURST_DELAY
waits that many seconds after the program's login before the burst (time for the log to be read).
"""
import json
import os
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))


SENTINEL = "SE0NTL"


def start_server(spots, stats, login):
    args = [sys.executable, os.path.join(HERE, "load_server.py"), spots, "--burst", "--sentinel", SENTINEL,
            "--stats", stats]
    if not login:
        args.append("--no-login")
    else:
        args += ["--delay", os.environ.get("BURST_DELAY", "0")]
    server = subprocess.Popen(args, stdout=subprocess.PIPE)
    port = int(server.stdout.readline())
    return server, port


def burst_started(stats):
    for _ in range(600):
        try:
            with open(stats) as f:
                started = json.load(f).get("burst_started")
            if started:
                return started
        except (OSError, ValueError):
            pass
        time.sleep(0.05)
    raise RuntimeError("the burst did not start")


def bare_run(spots, folder):
    stats = os.path.join(folder, "bare.json")
    server, port = start_server(spots, stats, login=False)
    client = subprocess.run("nc 127.0.0.1 %d | grep -m1 %s" % (port, SENTINEL), shell=True, capture_output=True)
    end = time.time()
    server.wait()
    return end - burst_started(stats), SENTINEL.encode() in client.stdout


def write_config(folder, port, watchlist):
    with open(watchlist) as f:
        calls = f.read().split()[:100] + [SENTINEL]
    rows = [": Configuration-File for VemrokAlarm", "$LOGIN DL0BURST", "$RMTHOST 127.0.0.1", "$RMTPORT %d" % port,
            "$DXMSGALL off", "$ALALL on", "$OPAL on", "$PORTAL on", "$SOUNDEN on"]
    rows += [row for row in os.environ.get("BURST_CONFIG", "").split(";") if row]
    for call in calls:
        rows += ["$CALL " + call, "$TXT %s is on the air" % call, "$SOUND trumpet1.wav", "$ENABLE on",
                 "$BLOCKTIME 30"]
    with open(os.path.join(folder, "config.txt"), "w", newline="\r\n") as f:
        f.write("\n".join(rows) + "\n")


def program_run(program, spots, watchlist, folder):
    stats = os.path.join(folder, "program.json")
    server, port = start_server(spots, stats, login=True)
    write_config(folder, port, watchlist)
    app = subprocess.Popen([program, "--headless", "-C", folder], stdout=subprocess.PIPE,
                           stderr=subprocess.DEVNULL)
    grep = subprocess.Popen(["grep", "-m1", '"call":"%s"' % SENTINEL], stdin=app.stdout, stdout=subprocess.PIPE)
    app.stdout.close()
    shown = b"call_alarm" in grep.communicate()[0]
    end = time.time()
    with open("/proc/%d/stat" % app.pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    cpu = (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")  # utime + stime, start-up included
    app.terminate()
    app.wait()
    server.terminate()
    server.wait()
    return end - burst_started(stats), shown, cpu


def main():
    program, spots, watchlist = sys.argv[1:4]
    runs = int(sys.argv[4]) if len(sys.argv) > 4 else 5
    with open(spots, "rb") as f:
        data = f.read()
    cw_lines = data.count(b" CW ")
    print("burst: %d lines, %d bytes, %d CW lines" % (data.count(b"\n"), len(data), cw_lines))
    bare, prog, cpus = [], [], []
    with tempfile.TemporaryDirectory(prefix="vemrok-burst.") as folder:
        for _ in range(runs):
            seconds, seen = bare_run(spots, folder)
            assert seen
            bare.append(seconds)
            seconds, alarmed, cpu = program_run(program, spots, watchlist, folder)
            assert alarmed
            prog.append(seconds)
            cpus.append(cpu)
    b, p = statistics.median(bare), statistics.median(prog)
    print("nc | grep -m1 SENTINEL:       median %.3f s  (runs: %s)" % (b, " ".join("%.3f" % s for s in bare)))
    print("vemrok-alarm --headless | grep: median %.3f s  (runs: %s)" % (p, " ".join("%.3f" % s for s in prog)))
    print("ratio: %.2f   (the program's own CPU time, start-up included: median %.2f s)" % (p / b, statistics.median(cpus)))


if __name__ == "__main__":
    main()
