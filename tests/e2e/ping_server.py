#!/usr/bin/python3
"""A dead man's switch on the loopback for the end-to-end tests of the program's pings.

    ping_server.py PORT OUT [CERT KEY]   answers 200, appends "<method>\t<path>\t<body>" to OUT
                                         (the body's line ends shown as "|"); HTTPS with CERT KEY
    ping_server.py PORT hang             accepts connections and never answers
Prints "ready" once it listens.
"""

import http.server
import socket
import ssl
import sys

port, out = int(sys.argv[1]), sys.argv[2]
if out == "hang":
    listener = socket.create_server(("127.0.0.1", port))
    print("ready", flush=True)
    held = []
    while True:
        held.append(listener.accept()[0])


class Handler(http.server.BaseHTTPRequestHandler):
    def answer(self):
        body = self.rfile.read(int(self.headers.get("Content-Length") or 0)).decode("utf-8", "replace")
        with open(out, "a", encoding="utf-8") as f:
            f.write("%s\t%s\t%s\n" % (self.command, self.path, body.replace("\n", "|")))
        self.send_response(200)
        self.send_header("Content-Length", "0")
        self.end_headers()

    do_GET = do_POST = answer

    def log_message(self, *args):
        pass


server = http.server.HTTPServer(("127.0.0.1", port), Handler)  # one request at a time: lines never mix
if len(sys.argv) > 4:
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(sys.argv[3], sys.argv[4])
    server.socket = context.wrap_socket(server.socket, server_side=True)
print("ready", flush=True)
server.serve_forever()
