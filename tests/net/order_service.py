#!/usr/bin/env python3
"""A test order service on 127.0.0.1 for the order fetch.

Answers GET /qln/shopscripts/getorders.php4?UserID=..&Password=.. for one
account: with the right account and password the bytes of --reply as they
are (status 200, read afresh for every request, empty when the file is
missing), with any other 403. Any other path is answered with 404. While the
file --truncate exists, a 200 answer announces more bytes than it sends and
closes the connection, as a transfer that broke off.

Every request line is appended to --log before the answer goes out. The
port, chosen by the system, is written to --port-file once the server
listens. The server ends on SIGTERM, and by itself when the process that
started it is gone.
"""

import argparse
import http.server
import os
import signal
import threading
import urllib.parse

PATH = "/qln/shopscripts/getorders.php4"


def make_handler(args, log, lock):
    class Handler(http.server.BaseHTTPRequestHandler):
        protocol_version = "HTTP/1.1"

        def do_GET(self):
            with lock:
                log.write(self.requestline.encode("latin-1") + b"\n")
                log.flush()
            parts = urllib.parse.urlsplit(self.path)
            if parts.path != PATH:
                self.answer(404, b"not found\n")
                return
            # Bytes as sent: the account may hold any Windows-1252 character.
            query = urllib.parse.parse_qs(parts.query, keep_blank_values=True, encoding="latin-1")
            user = query.get("UserID", [None])[0]
            password = query.get("Password", [None])[0]
            if user != args.user or password != args.password:
                self.answer(403, b"<html><body>Forbidden</body></html>\n")
                return
            try:
                with open(args.reply, "rb") as f:
                    body = f.read()
            except FileNotFoundError:
                body = b""
            if os.path.exists(args.truncate):
                self.send_response(200)
                self.send_header("Content-Type", "text/plain; charset=windows-1252")
                self.send_header("Content-Length", str(len(body) + 100))
                self.end_headers()
                self.wfile.write(body)
                self.wfile.flush()
                self.close_connection = True
                return
            self.answer(200, body)

        def answer(self, status, body):
            self.send_response(status)
            self.send_header("Content-Type", "text/plain; charset=windows-1252")
            self.send_header("Content-Length", str(len(body)))
            self.end_headers()
            self.wfile.write(body)

        def log_message(self, *args):
            pass

    return Handler


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--user", required=True)
    parser.add_argument("--password", required=True)
    parser.add_argument("--reply", required=True, help="the body of a 200 answer")
    parser.add_argument("--truncate", required=True, help="while this file exists, answers break off")
    parser.add_argument("--log", required=True)
    parser.add_argument("--port-file", required=True)
    args = parser.parse_args()
    # The test passes the account as UTF-8 arguments; compare the bytes it stands for.
    args.user = os.fsencode(args.user).decode("latin-1")
    args.password = os.fsencode(args.password).decode("latin-1")

    parent = os.getppid()
    lock = threading.Lock()
    with open(args.log, "ab") as log:
        server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), make_handler(args, log, lock))
        server.daemon_threads = True
        # Written beside and renamed, so the test never reads half a number.
        partial = args.port_file + ".part"
        with open(partial, "w") as f:
            f.write(str(server.server_address[1]))
        os.replace(partial, args.port_file)

        def stop(*_):
            threading.Thread(target=server.shutdown, daemon=True).start()

        def watch_parent():
            while os.getppid() == parent:
                threading.Event().wait(0.2)
            stop()

        signal.signal(signal.SIGTERM, stop)
        threading.Thread(target=watch_parent, daemon=True).start()
        server.serve_forever(poll_interval=0.05)
        server.server_close()


if __name__ == "__main__":
    main()
