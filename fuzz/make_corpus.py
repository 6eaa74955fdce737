#!/usr/bin/env python3
"""Writes the committed seed corpus (fuzz/corpus/*) from the lines the program's own tests use."""
import os

here = os.path.dirname(os.path.abspath(__file__))

spot_lines = [
    b"DX de DL8LAS-#:  14025.0  TS0EST         CW    25 dB  25 WPM  CQ      1200Z",
    b"DX de KO7SS-7-#:  14057.6  K7GT           CW    11 dB  22 WPM  CQ      2359Z",
    b"DX de F8DGY-#:     7018.3 RW1M         CW    14 dB  26 WPM  CQ      1234Z\x07\x07",
    b"DX de W3LPL-#:7003.9  TS0EST         CW    18 dB  30 WPM  CQ      0001Z",
    b"DX de DL8LAS-#:  7018.20  TS0EST         CW    25 dB  25 WPM  CQ      1200Z",
    b"DX de DL8LAS-#:  14025.0  TS0EST/P       CW    25 dB 100 WPM  CQ      1200Z",
    b"DX de DL8LAS-#:  14025.0  TS0EST/p       CW    25 dB  25 WPM  CQ      1200Z",
    b"DX de DL8LAS-#   14025.0  TS0ESTABCDEFGH CW    25 dB  25 WPM  CQ      1200Z",
    b"DX de DL8LAS-#: 144000.0  TS0EST         CW    25 dB  25 WPM  CQ      1200Z",
    b"DX de DL8LAS-#:\t14025.0\tTS0EST CW 25 dB 25 WPM CQ 1200Z",
    b"DX de KO7SS-#:   14074.0  TS0EST         FT8   -12 dB  CQ            1200Z",
    b"DX de DL8LAS-#:  14080.0  TS0EST         RTTY  25 dB  45 BPS  CQ      1200Z",
    b"DX de W3LPL-#:   7003.9  DL1ABC/P       CW    30 dB  30 WPM  CQ      1200Z",
    b"DX de DL8LAS-#:   3525.0  DL0AAA         CW    18 dB  18 WPM  CQ      1200Z",
    b"DX de DL8LAS-#:  14025.0  \xc3\x96K1XYZ        CW    25 dB  25 WPM  CQ      1200Z",
    b"DX de DL8LAS-#:  14025.0  \xd6K1XYZ        CW    25 dB  25 WPM  CQ      1200Z",
    b"DX de DL8LAS-#: CW ",
]


def write(folder, name, data):
    path = os.path.join(here, "corpus", folder)
    os.makedirs(path, exist_ok=True)
    with open(os.path.join(path, name), "wb") as f:
        f.write(data)


for i, line in enumerate(spot_lines):
    write("spot_parser", "line%02d" % i, line)

crlf = b"".join(l + b"\r\n" for l in spot_lines)
# Header: switches, speed threshold, cut seed, largest piece, pattern length, pattern; then the stream.
write("receive_path", "whole", bytes([0, 30, 0, 0, 0]) + crlf)
write("receive_path", "bytewise", bytes([0x02, 25, 1, 0, 0]) + crlf)
write("receive_path", "random_cuts", bytes([0x86, 25, 77, 40, 7]) + b"TS0EST*" + crlf)
write("receive_path", "login", bytes([0, 30, 9, 16, 0]) + b"Please enter your call: \r\nHello, this is the test "
      b"spot server.\r\n\r\n" + crlf + b"login: " + spot_lines[0][:30])
write("receive_path", "controls", bytes([0x08, 30, 3, 5, 2]) + b"?*" +
      b"DX de A: 7003.9 B CW 1200Z\x07\x07\r\n\x00\x01\x7f\xff\xfe\r\r\n" + b"x" * 300 + b"\n")

default_file = (
    b": Configuration-File for VemrokAlarm\r\n:\r\n"
    b"$LOGIN TE0ST\r\n$ALTIME 20\r\n$RMTHOST telnet.reversebeacon.net\r\n$RMTPORT 7000\r\n:\r\n"
    b":--User Configuration  ----------\r\n$DXMSGALL on\r\n"
    b"$DX160 off\r\n$DX80 off\r\n$DX60 off\r\n$DX40 off\r\n$DX30 off\r\n"
    b"$DX20 off\r\n$DX17 off\r\n$DX15 off\r\n$DX12 off\r\n$DX10 off\r\n"
    b"$QRQMSG off\r\n$PORTMSG off\r\n$QRQSPEED 30\r\n$ALALL on\r\n"
    b"$DX160AL off\r\n$DX80AL off\r\n$DX60AL off\r\n$DX40AL off\r\n$DX30AL off\r\n"
    b"$DX20AL off\r\n$DX17AL off\r\n$DX15AL off\r\n$DX12AL off\r\n$DX10AL off\r\n"
    b"$SOUNDEN on\r\n$OPAL on\r\n$PORTAL off\r\n$LOGFILE off\r\n:\r\n"
    b":-- Call Nr.1 start ----------\r\n"
    b"$CALL TS0EST\r\n$TXT TS0EST, Test is calling CQ!\r\n$SOUND trumpet1.wav\r\n"
    b"$TIME 00:00:00\r\n$DATE 01.01.2014\r\n$QRG 3500.0\r\n$ENABLE on\r\n$BLOCKTIME 30\r\n"
    b":-- Call Nr.1 end ------------\r\n:\r\n:\r\n: end of configuration file\r\n")
write("config_file", "default", default_file)
write("config_file", "odd", b"\xef\xbb\xbf$LOGIN\tDL0TST\n$ALTIME 99x\r\n$TXT orphan\r\n$CALL TS0EST*\r\n"
      b"$TXT Gr\xfc\xdfe\r\n$SOUNDEN on \r\n$SOUND kukuk.wav\r\n$ENABLE On\r\n$CALL\r\n$CALL */MM\n$BLOCKTIME -5")
write("config_file", "utf8", b"$LOGIN \xc3\x96K1AB\r\n$QRQSPEED  25\r\n$DX160 on\r\n$DX160AL on\r\n"
      b"$CALL DL1ABC\r\n$TXT \xf0\x9f\x93\xbb on air\r\n$LOGIN\xf0\x9f\x93\xbbX\r\n")
many = b"".join(b"$CALL DL%dABC\r\n$TXT entry %d\r\n$ENABLE off\r\n" % (i, i) for i in range(103))
write("config_file", "full_list", many)

# Cluster link: switches, cut seed, largest piece; then what the server sends from the connect on.
greeting = b"Please enter your call: " + b"\r\nHello, this is the test spot server.\r\n\r\n"
write("cluster_link", "rbn_login", bytes([0, 0, 0]) + b"Please enter your call: ")
write("cluster_link", "rbn_stream", bytes([0, 5, 60]) + greeting + crlf)
write("cluster_link", "node_login", bytes([0, 9, 12]) + b"Welcome to the node\r\nlogin: " + b"\r\nHello TE0ST\r\n" + crlf)
write("cluster_link", "split_prompt", bytes([0x02, 1, 0]) + b"Please enter your call: \r\n\r\n" + crlf[:400])

# Event writer: mode (0 UTF-16 units, 1 UTF-8, 2 Latin-1), then the text.
