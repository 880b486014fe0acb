#!/usr/bin/env python3
"""A TCP proxy on a free loopback port in front of a test server, to play a dropped line.

    cut_proxy.py --target PORT --cut-after N --dir DIR

Forwards every connection to 127.0.0.1:PORT. Once N bytes in all have come from the clients, it
cuts the connection carrying them, then drops every new connection at once until the file
DIR/up exists; from then on it forwards again. DIR/port gets its port; DIR/sent the bytes
forwarded from the clients so far, rewritten as they pass. Stdlib only; ends on SIGTERM.
"""
import argparse
import os
import socket
import struct
import threading

parser = argparse.ArgumentParser()
parser.add_argument("--target", type=int, required=True)
parser.add_argument("--cut-after", type=int, required=True)
parser.add_argument("--dir", required=True)
args = parser.parse_args()

lock = threading.Lock()
sent = 0
cut = False


def record():
    with open(os.path.join(args.dir, "sent.tmp"), "w") as f:
        f.write(str(sent))
    os.replace(os.path.join(args.dir, "sent.tmp"), os.path.join(args.dir, "sent"))


def down():
    return cut and not os.path.exists(os.path.join(args.dir, "up"))


def pump(source, target, from_client):
    global sent, cut
    try:
        while True:
            data = source.recv(65536)
            if not data:
                break
            if from_client:
                with lock:
                    if not cut and sent + len(data) >= args.cut_after:
                        cut = True
                        # A reset, as a dropped line gives: a socket only shut would let the
                        # client fill its window and wait for a minute.
                        source.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
                        source.close()
                        raise ConnectionError("cut")
                    sent += len(data)
                    record()
            target.sendall(data)
    except OSError:
        pass
    for s in (source, target):
        try:
            s.shutdown(socket.SHUT_RDWR)
        except OSError:
            pass


def serve(client):
    if down():
        client.close()
        return
    server = socket.create_connection(("127.0.0.1", args.target))
    threading.Thread(target=pump, args=(server, client, False), daemon=True).start()
    pump(client, server, True)


listener = socket.socket()
listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
listener.bind(("127.0.0.1", 0))
listener.listen(16)
record()
with open(os.path.join(args.dir, "port"), "w") as f:
    f.write(str(listener.getsockname()[1]))
while True:
    conn, _ = listener.accept()
    threading.Thread(target=serve, args=(conn,), daemon=True).start()
