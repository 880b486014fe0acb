#!/usr/bin/python3
"""A mail server on the loopback for the end-to-end tests of the program's mail.

    smtp_server.py --port N --cert CERT --key KEY --user U --password P --out DIR
                   [--mode starttls|tls|hang|plain]

starttls: a submission server; STARTTLS first, then AUTH PLAIN or LOGIN with U and P.
tls:      the same over implicit TLS, as on port 465.
plain:    a local relay: no TLS, no AUTH.
hang:     accepts connections and never answers, for the program's time-outs.

Each message goes to DIR/<n>.eml as the bytes the client sent (dot-stuffing undone), its
envelope to DIR/<n>.env first ("MAIL FROM:<a>" and a "RCPT TO:<b>" line for each recipient).
Both appear whole, by rename, so a test that polls never reads half a file. Prints "ready" once
it listens; SIGTERM or SIGINT end it.
"""
# Debian's python3 on purpose: aiosmtpd comes from Debian's package, not from another Python.

import argparse
import asyncio
import logging
import os
import re
import signal
import ssl
import sys
import warnings

from aiosmtpd.smtp import SMTP, AuthResult, LoginPassword


class Mailbox:
    """Writes each message to the next free number in the folder."""

    def __init__(self, folder):
        self.folder = folder
        os.makedirs(folder, exist_ok=True)
        # A server started again on the same folder adds to what is there, never overwrites it.
        taken = [int(m.group(1)) for m in map(re.compile(r"^(\d+)\.eml$").match, os.listdir(folder)) if m]
        self.next_number = max(taken, default=0) + 1

    def _write(self, name, data):
        temporary = os.path.join(self.folder, "." + name + ".part")
        with open(temporary, "wb") as f:
            f.write(data)
            f.flush()
            os.fsync(f.fileno())
        os.replace(temporary, os.path.join(self.folder, name))

    async def handle_DATA(self, server, session, envelope):
        number = self.next_number
        self.next_number += 1
        lines = ["MAIL FROM:<%s>" % envelope.mail_from] + ["RCPT TO:<%s>" % r for r in envelope.rcpt_tos]
        # The envelope first: once the message is there, so is its envelope.
        self._write("%d.env" % number, ("\n".join(lines) + "\n").encode("utf-8", "surrogateescape"))
        self._write("%d.eml" % number, envelope.original_content)
        return "250 2.0.0 Message accepted for delivery"


class Silent(asyncio.Protocol):
    """Takes the connection and says nothing: a server that hangs."""

    def connection_made(self, transport):
        self.transport = transport

    def data_received(self, data):
        pass


def tls_context(cert, key):
    context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
    context.load_cert_chain(cert, key)
    return context


def main():
    parser = argparse.ArgumentParser(description="Mail server for the end-to-end tests")
    parser.add_argument("--port", type=int, required=True)
    parser.add_argument("--cert")
    parser.add_argument("--key")
    parser.add_argument("--user", default="")
    parser.add_argument("--password", default="")
    parser.add_argument("--out", required=True)
    parser.add_argument("--mode", choices=("starttls", "tls", "hang", "plain"), default="starttls")
    args = parser.parse_args()
    if args.mode in ("starttls", "tls") and not (args.cert and args.key):
        parser.error("--mode %s needs --cert and --key" % args.mode)

    # aiosmtpd warns of its own deprecated login_data at every AUTH, and of AUTH without its own
    # STARTTLS in tls mode, where the whole connection is TLS; its other warnings stay.
    expected = ("deprecated", "auth_require_tls == False")
    logging.getLogger("mail.log").addFilter(lambda record: not any(e in record.getMessage() for e in expected))
    warnings.filterwarnings("ignore", message="Requiring AUTH while not requiring TLS")
    mailbox = Mailbox(args.out)
    user = args.user.encode("utf-8")
    password = args.password.encode("utf-8")

    def authenticator(server, session, envelope, mechanism, auth_data):
        # Not handled: aiosmtpd answers a failure with "535 5.7.8 Authentication credentials invalid".
        ok = isinstance(auth_data, LoginPassword) and auth_data.login == user and auth_data.password == password
        return AuthResult(success=ok, handled=False)

    # hostname is set so that aiosmtpd does not look up this machine's name in DNS.
    common = dict(hostname="localhost", authenticator=authenticator)
    listener_tls = None
    if args.mode == "starttls":
        starttls = tls_context(args.cert, args.key)
        factory = lambda: SMTP(mailbox, tls_context=starttls, require_starttls=True,
                               auth_required=True, auth_require_tls=True, **common)
    elif args.mode == "tls":
        # The whole connection is TLS, which aiosmtpd's own check for AUTH does not see.
        listener_tls = tls_context(args.cert, args.key)
        factory = lambda: SMTP(mailbox, auth_required=True, auth_require_tls=False, **common)
    elif args.mode == "plain":
        factory = lambda: SMTP(mailbox, **common)
    else:
        factory = Silent

    loop = asyncio.new_event_loop()
    asyncio.set_event_loop(loop)
    # The loopback only, IPv6 too where there is one: "localhost" may be tried as ::1 first.
    server = None
    for hosts in (["127.0.0.1", "::1"], ["127.0.0.1"]):
        try:
            server = loop.run_until_complete(
                loop.create_server(factory, host=hosts, port=args.port, ssl=listener_tls, reuse_address=True))
            break
        except OSError as error:
            if hosts == ["127.0.0.1"]:
                print("smtp_server.py: cannot listen on port %d: %s" % (args.port, error), file=sys.stderr)
                return 1
    stop = asyncio.Event()
    for signum in (signal.SIGTERM, signal.SIGINT):
        loop.add_signal_handler(signum, stop.set)
    print("ready", flush=True)
    loop.run_until_complete(stop.wait())
    server.close()
    # Connections still open (a hung one, a client mid-session) end with the server.
    tasks = asyncio.all_tasks(loop)
    for task in tasks:
        task.cancel()
    loop.run_until_complete(asyncio.gather(*tasks, return_exceptions=True))
    loop.close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
