#!/usr/bin/env python3
"""An "S3" server that answers as a broken or hostile one would, on a free loopback port.

    hostile_server.py --dir DIR     (DIR/port gets its port)

A listing is endless (5 MB), a ranged GET gives twice the bytes asked for, HEAD gives an ETag that
matches nothing, a PUT is taken, and a version listing breaks off in the middle. Stdlib only.
"""
import argparse
import os
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

parser = argparse.ArgumentParser()
parser.add_argument("--dir", required=True)
args = parser.parse_args()


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def answer(self, status, body=b"", headers=()):
        self.send_response(status)
        for name, value in headers:
            self.send_header(name, value)
        if not any(name == "Content-Length" for name, _ in headers):
            self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        if self.command != "HEAD":
            self.wfile.write(body)

    def do_GET(self):
        if "list-type=2" in self.path:
            self.answer(200, b"<ListBucketResult>" + b"x" * (5 << 20))
        elif "versions" in self.path:
            self.answer(200, b"<ListVersionsResult><Version><Key>ofis/c/a.zip</Key><VersionId>v")
        elif "Range" in self.headers:
            first, last = self.headers["Range"].split("=")[1].split("-")
            self.answer(206, b"z" * (2 * (int(last) - int(first) + 1)))
        else:
            self.answer(404)

    def do_HEAD(self):
        self.answer(200, headers=[("ETag", '"0123456789abcdef0123456789abcdef"'), ("Content-Length", "100")])

    def do_PUT(self):
        self.rfile.read(int(self.headers.get("Content-Length", "0")))
        self.answer(200, headers=[("ETag", '"0123456789abcdef0123456789abcdef"')])

    def log_message(self, *_):
        pass


server = ThreadingHTTPServer(("127.0.0.1", 0), Handler)
with open(os.path.join(args.dir, "port"), "w") as f:
    f.write(str(server.server_address[1]))
server.serve_forever()
