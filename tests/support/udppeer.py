#!/usr/bin/env python3
"""A UDP peer for network tests, written with nothing but Python's socket module.

send  [--bind IP] --to IP:PORT HEX...   one datagram per HEX argument ("" is an empty one)
serve --bind IP:PORT [--reply TEXT] [--reply-port N] [--count N] [--seconds S]
      prints "ready" once bound, then "IP:PORT HEX" for every datagram; answers each with
      TEXT (to the sender's port, or to N); ends after N datagrams or S seconds.
"""
import argparse
import socket
import sys
import time


def main():
    parser = argparse.ArgumentParser()
    modes = parser.add_subparsers(dest="mode", required=True)
    send = modes.add_parser("send")
    send.add_argument("--bind", default="0.0.0.0")
    send.add_argument("--to", required=True)
    send.add_argument("payloads", nargs="+")
    serve = modes.add_parser("serve")
    serve.add_argument("--bind", required=True)
    serve.add_argument("--reply")
    serve.add_argument("--reply-port", type=int)
    serve.add_argument("--count", type=int, default=0)
    serve.add_argument("--seconds", type=float, default=5.0)
    args = parser.parse_args()

    sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    sock.setsockopt(socket.SOL_SOCKET, socket.SO_BROADCAST, 1)
    if args.mode == "send":
        sock.bind((args.bind, 0))
        host, port = args.to.rsplit(":", 1)
        for payload in args.payloads:
            sock.sendto(bytes.fromhex(payload), (host, int(port)))
        return 0

    host, port = args.bind.rsplit(":", 1)
    sock.bind((host, int(port)))
    print("ready", flush=True)
    deadline = time.monotonic() + args.seconds
    seen = 0
    while args.count == 0 or seen < args.count:
        left = deadline - time.monotonic()
        if left <= 0:
            break
        sock.settimeout(left)
        try:
            data, (ip, sender_port) = sock.recvfrom(65536)
        except socket.timeout:
            break
        seen += 1
        print(f"{ip}:{sender_port} {data.hex()}", flush=True)
        if args.reply is not None:
            sock.sendto(args.reply.encode(), (ip, args.reply_port or sender_port))
    return 0


sys.exit(main())
