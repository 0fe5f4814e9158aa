#!/usr/bin/env python3
"""A small HTTP peer for the tests of the online functions.

Serves the files under --root by the path of the request; the query is
ignored. A path that starts with /status/<code>/ is answered with that
status, /redirect/<path> with a redirect to /<path>. A request line with an
absolute address (as a client sends it to a proxy) is served the same way,
so the server stands in for an HTTP proxy too.

Every request line is appended to --log before the answer goes out. The
port, chosen by the system, is written to --port-file once the server
listens. The server ends when its standard input closes, so it never
outlives the test that started it.
"""

import argparse
import http.server
import os
import sys
import threading
import urllib.parse


def make_handler(root, log, lock):
    class Handler(http.server.BaseHTTPRequestHandler):
        protocol_version = "HTTP/1.1"

        def do_GET(self):
            with lock:
                log.write(self.requestline + "\n")
                log.flush()
            path = urllib.parse.urlsplit(self.path).path
            parts = path.split("/")
            if len(parts) > 2 and parts[1] == "status" and parts[2].isdigit():
                self.answer(int(parts[2]), b"status page\n")
                return
            if len(parts) > 2 and parts[1] == "redirect":
                self.send_response(302)
                self.send_header("Location", "/" + "/".join(parts[2:]))
                self.send_header("Content-Length", "0")
                self.end_headers()
                return
            file = os.path.normpath(os.path.join(root, urllib.parse.unquote(path).lstrip("/")))
            if not file.startswith(root + os.sep) or not os.path.isfile(file):
                self.answer(404, b"not found\n")
                return
            with open(file, "rb") as f:
                self.answer(200, f.read())

        def answer(self, status, body):
            self.send_response(status)
            self.send_header("Content-Type", "text/html")
            self.send_header("Content-Length", str(len(body)))
            self.end_headers()
            self.wfile.write(body)

        def log_message(self, *args):
            pass

    return Handler


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--root", required=True)
    parser.add_argument("--log", required=True)
    parser.add_argument("--port-file", required=True)
    args = parser.parse_args()

    root = os.path.realpath(args.root)
    lock = threading.Lock()
    with open(args.log, "a", encoding="latin-1") as log:
        server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), make_handler(root, log, lock))
        server.daemon_threads = True
        # Written beside and renamed, so the test never reads half a number.
        partial = args.port_file + ".part"
        with open(partial, "w") as f:
            f.write(str(server.server_address[1]))
        os.replace(partial, args.port_file)

        def watch_stdin():
            sys.stdin.read()
            server.shutdown()

        threading.Thread(target=watch_stdin, daemon=True).start()
        server.serve_forever(poll_interval=0.05)
        server.server_close()


if __name__ == "__main__":
    main()
