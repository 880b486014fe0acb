#!/usr/bin/python3
"""A dead man's switch on the loopback for the end-to-end tests of the program's pings.

    ping_server.py --port N --out FILE [--cert CERT --key KEY] [--mode ok|hang]

ok:   answers every GET and POST with 200 and appends a line to FILE: the method, the path, and
      the body with its line ends shown as "|", separated by tabs.
hang: accepts connections and never answers, for the program's time-outs.
With --cert and --key it speaks HTTPS. Prints "ready" once it listens; SIGTERM ends it.
"""

import argparse
import http.server
import signal
import socket
import ssl
import sys
import threading


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--port", type=int, required=True)
    p.add_argument("--out", required=True)
    p.add_argument("--cert")
    p.add_argument("--key")
    p.add_argument("--mode", default="ok", choices=["ok", "hang"])
    a = p.parse_args()
    lock = threading.Lock()

    class Handler(http.server.BaseHTTPRequestHandler):
        def answer(self):
            length = int(self.headers.get("Content-Length") or 0)
            body = self.rfile.read(length).decode("utf-8", "replace") if length else ""
            with lock, open(a.out, "a", encoding="utf-8") as out:
                out.write("%s\t%s\t%s\n" % (self.command, self.path, body.replace("\n", "|")))
            self.send_response(200)
            self.send_header("Content-Length", "2")
            self.end_headers()
            self.wfile.write(b"OK")

        do_GET = answer
        do_POST = answer

        def log_message(self, *args):
            pass

    signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
    if a.mode == "hang":
        listener = socket.create_server(("127.0.0.1", a.port))
        print("ready", flush=True)
        held = []
        while True:
            held.append(listener.accept()[0])
    server = http.server.ThreadingHTTPServer(("127.0.0.1", a.port), Handler)
    if a.cert:
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(a.cert, a.key)
        server.socket = context.wrap_socket(server.socket, server_side=True)
    print("ready", flush=True)
    server.serve_forever()


if __name__ == "__main__":
    main()
