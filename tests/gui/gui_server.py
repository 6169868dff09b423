#!/usr/bin/env python3
"""A local stand-in for the update and records-list servers.

Serves ROOT (laid out like the servers: /intern/Runwarden/..., /demos_tcl.txt)
on 127.0.0.1:PORT with python's http.server. Requests for paths under a
--hold prefix wait until the --gate file exists, and are then answered, or
dropped without an answer when the path is also under a --drop prefix (so the
program sees a failed connection, not an error page it would take as data).
Writes READY_FILE once it listens.
"""
import argparse
import functools
import http.server
import os
import socket
import time


class Handler(http.server.SimpleHTTPRequestHandler):
    hold = []
    drop = []
    gate = None
    log = None

    def log_message(self, fmt, *args):
        if self.log:
            with open(self.log, "a") as log:
                log.write("%s %s\n" % (self.command, self.path))

    def _under(self, prefixes):
        return any(self.path.startswith(p) for p in prefixes)

    def do_GET(self):
        if self._under(self.hold) and self.gate:
            while not os.path.exists(self.gate):
                time.sleep(0.05)
        if self._under(self.drop):
            self.close_connection = True
            try:
                self.connection.shutdown(socket.SHUT_RDWR)
            except OSError:
                pass
            return
        super().do_GET()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("root")
    parser.add_argument("port", type=int)
    parser.add_argument("ready_file")
    parser.add_argument("--hold", action="append", default=[])
    parser.add_argument("--drop", action="append", default=[])
    parser.add_argument("--gate")
    parser.add_argument("--log")
    args = parser.parse_args()
    Handler.hold = args.hold
    Handler.drop = args.drop
    Handler.gate = args.gate
    Handler.log = args.log
    handler = functools.partial(Handler, directory=args.root)
    server = http.server.ThreadingHTTPServer(("127.0.0.1", args.port), handler)
    server.daemon_threads = True
    with open(args.ready_file, "w") as ready:
        ready.write(str(os.getpid()))
    server.serve_forever()


if __name__ == "__main__":
    main()
