#!/usr/bin/env python3
"""A subscriber of the panel's HTTP API, as an app on the network runs one.

Listens on 127.0.0.1 (an ephemeral port unless --port is given) and prints "port N" first.
Every push it receives is printed as one JSON line {"path", "uuid", "device", "body"} and
answered over HTTP/1.1 with the push's task id in the "User-Agent" header and the app's
timings {"recv_time", "analysis_time"}; with --silent it takes the push and never answers.
Ends when its standard input closes or after --lifetime seconds.
"""
import argparse
import http.server
import json
import sys
import threading
import time


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    silent = False

    def do_POST(self):
        received = time.monotonic()
        body = self.rfile.read(int(self.headers.get("Content-Length", "0")))
        uuid = self.headers.get("User-Agent", "")
        try:
            document = json.loads(body.decode("utf-8"))
        except ValueError:
            document = None
        # Header values arrive as Latin-1 text; the panel writes them in UTF-8.
        device = self.headers.get("Device-ID", "").encode("latin-1").decode("utf-8", "replace")
        line = {"path": self.path, "uuid": uuid, "device": device, "body": document}
        with lock:
            print(json.dumps(line, ensure_ascii=False), flush=True)
        if self.silent:
            time.sleep(10)
            return
        parsed = int((time.monotonic() - received) * 1000)
        reply = json.dumps({"code": 0, "msg": "OK",
                            "result": {"recv_time": 1, "analysis_time": parsed}}).encode()
        self.send_response(200)
        self.send_header("User-Agent", uuid)
        self.send_header("Content-Type", "application/json")
        self.send_header("Content-Length", str(len(reply)))
        self.end_headers()
        self.wfile.write(reply)

    def log_message(self, *args):
        pass


lock = threading.Lock()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--silent", action="store_true")
    parser.add_argument("--lifetime", type=float, default=120.0)
    args = parser.parse_args()
    Handler.silent = args.silent
    server = http.server.ThreadingHTTPServer(("127.0.0.1", args.port), Handler)
    server.daemon_threads = True
    threading.Thread(target=server.serve_forever, daemon=True).start()
    print("port", server.server_address[1], flush=True)
    watcher = threading.Thread(target=sys.stdin.read, daemon=True)
    watcher.start()
    watcher.join(args.lifetime)
    server.shutdown()


if __name__ == "__main__":
    main()
