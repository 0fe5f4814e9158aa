#!/usr/bin/env python3
"""A real FTP server on 127.0.0.1 for the upload tests.

One user, logged in to --root, may do everything (make folders, store,
rename, delete). With --tls the server speaks explicit TLS (AUTH TLS) and
refuses a login or a transfer without it.

Every command line the client sends is appended to --log as received, the
password of PASS replaced by ***, before the server acts on it; so a client
that has its answer finds its command in the log. Names pass through as the
client's bytes: they are neither re-encoded nor changed in case.

The port, chosen by the system, is written to --port-file once the server
listens. The server ends on SIGTERM, and by itself when the process that
started it is gone, so a crashed test leaves no server behind.
"""

import argparse
import logging
import os
import signal
import sys

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler, TLS_DTPHandler, TLS_FTPHandler
from pyftpdlib.servers import FTPServer

# Bytes that are no UTF-8 map to lone surrogates and back, so a name the
# client sends in another code page reaches the disk (and the log) unchanged.
NAME_ERRORS = "surrogateescape"


def make_handler(base, log):
    class Handler(base):
        unicode_errors = NAME_ERRORS
        # A failed login is answered at once, not after the default pause.
        auth_failed_timeout = 0

        def pre_process_command(self, line, cmd, arg):
            shown = cmd + " ***" if cmd == "PASS" else line
            log.write(shown.encode("utf-8", NAME_ERRORS) + b"\n")
            log.flush()
            super().pre_process_command(line, cmd, arg)

        # The stock reply encoder is strict and would fail on a name that
        # arrived as non-UTF-8 bytes after the folder was already made.
        def push(self, s):
            super(FTPHandler, self).push(s.encode("utf-8", NAME_ERRORS))

    return Handler


class TlsDataHandler(TLS_DTPHandler):
    # curl begins the handshake of a data connection before it sends the
    # transfer command; the stock channel takes a read before the transfer
    # for a closed connection and drops it in mid-handshake.
    def readable(self):
        return self._ssl_accepting or super().readable()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--root", required=True, help="the folder the user logs in to")
    parser.add_argument("--user", required=True)
    parser.add_argument("--password", required=True)
    parser.add_argument("--tls", nargs=2, metavar=("CERTFILE", "KEYFILE"))
    parser.add_argument("--log", required=True)
    parser.add_argument("--port-file", required=True)
    args = parser.parse_args()

    # Only warnings on stderr: a run of a thousand files would log a few lines each.
    logging.basicConfig(level=logging.WARNING, stream=sys.stderr)
    parent = os.getppid()

    authorizer = DummyAuthorizer()
    authorizer.add_user(args.user, args.password, os.path.realpath(args.root), perm="elradfmwMT")

    log = open(args.log, "ab")
    handler = make_handler(TLS_FTPHandler if args.tls else FTPHandler, log)
    handler.authorizer = authorizer
    handler.banner = "quillane test peer ready"
    if args.tls:
        handler.certfile, handler.keyfile = args.tls
        handler.tls_control_required = True
        handler.tls_data_required = True
        handler.dtp_handler = TlsDataHandler

    server = FTPServer(("127.0.0.1", 0), handler)
    # An upload opens one data connection per file and per listing, one after
    # the other; no limit on connections, so none of them is ever turned away.
    server.max_cons = 0
    server.max_cons_per_ip = 0

    # Written beside and renamed, so the test never reads half a number.
    partial = args.port_file + ".part"
    with open(partial, "w") as f:
        f.write(str(server.address[1]))
    os.replace(partial, args.port_file)

    def stop(*_):
        raise SystemExit(0)

    def watch_parent():
        if os.getppid() != parent:
            stop()

    signal.signal(signal.SIGTERM, stop)
    server.ioloop.call_every(0.2, watch_parent)
    # serve_forever ends on SystemExit and closes every connection.
    server.serve_forever(timeout=0.2)
    log.close()


if __name__ == "__main__":
    main()
