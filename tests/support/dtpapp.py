#!/usr/bin/env python3
"""The app of the device text protocol for network tests, written with nothing but Python's
socket module: it sends one request and prints what comes back to the app's port.

dtpapp.py [--to IP:PORT TEXT] [--listen PORT] [--answers N] [--seconds S]
  listens on PORT (the app's 10410 by default), sends TEXT to IP:PORT when given, then prints
  "IP TEXT" for every datagram received until N have arrived or S seconds have passed.
"""
import argparse
import socket
import sys
import time


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--to")
    parser.add_argument("--listen", type=int, default=10410)
    parser.add_argument("--answers", type=int, default=1)
    parser.add_argument("--seconds", type=float, default=3.0)
    parser.add_argument("text", nargs="?")
    args = parser.parse_args()

    sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    sock.setsockopt(socket.SOL_SOCKET, socket.SO_BROADCAST, 1)
    sock.bind(("0.0.0.0", args.listen))
    if args.to:
        host, port = args.to.rsplit(":", 1)
        sock.sendto(args.text.encode(), (host, int(port)))
    deadline = time.monotonic() + args.seconds
    seen = 0
    while seen < args.answers:
        left = deadline - time.monotonic()
        if left <= 0:
            break
        sock.settimeout(left)
        try:
            data, (ip, _) = sock.recvfrom(2048)
        except socket.timeout:
            break
        seen += 1
        print(f"{ip} {data.decode(errors='replace')}", flush=True)
    return 0


sys.exit(main())
