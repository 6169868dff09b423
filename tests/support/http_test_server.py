#!/usr/bin/env python3
"""The local HTTP server on 127.0.0.1 for the download, GUI and update tests.

    http_test_server.py serve --root DIR --state DIR [--port N] [--hold]
    http_test_server.py start --root DIR --state DIR    (empties DIR, detaches, waits for the port)
    http_test_server.py stop --state DIR

--port picks the port (default: any free one); programs built against a fixed
server address need it. --hold keeps every request waiting, unanswered, until
the server stops: a server that accepts but never replies.

It serves the files under DIR, and special paths that misbehave on purpose:

    /_/status/CODE            reply CODE with a short HTML error page as body
    /_/bytes/N                N pattern bytes (byte i = (i * 7 + 3) & 0xff)
    /_/empty                  200 with an empty body
    /_/slow/N                 N pattern bytes, sent 100 at a time with pauses
    /_/drop/N/M               announce N pattern bytes, send M of them, close
    /_/cut/M/PATH             announce the whole file PATH, send M bytes, close
    /_/redirect/PATH          302 to /PATH
    /_/stream/N               N pattern bytes without a Content-Length

A served file FILE is made unreachable by putting FILE.unreachable beside it:
a request for FILE is then redirected to the port where nothing listens, so
the client's connection is refused. FILE.slow beside it makes the server send
FILE a few bytes at a time with pauses, as a slow but healthy server would.

Every request is appended to STATE/requests.log as "AGENT PATH" before the
reply starts, so a client that has its answer can read its own request there.
STATE/port holds the port and, on the second line, a port that is bound but
never listens (connections to it are refused), and on the third the port of
the same server over HTTPS. Its certificate (for 127.0.0.1) comes from a
throwaway authority made at start, STATE/tls/ca.pem, which no system trusts.
"""
import argparse
import http.server
import os
import shutil
import signal
import socket
import socketserver
import ssl
import subprocess
import sys
import threading
import time
import urllib.parse

MAX_GENERATED = 256 * 1024 * 1024  # bound on every generated reply
CHUNK = 64 * 1024
SLOW_PIECE = 3  # bytes per write of a FILE.slow reply, and the pause after each
SLOW_PAUSE = 0.05


_BASE = bytes(((i * 7 + 3) & 0xFF) for i in range(256)) * (CHUNK // 256 + 2)


def pattern(start, n):
    """n <= CHUNK pattern bytes beginning at offset start."""
    off = start % 256
    return _BASE[off:off + n]


class Handler(http.server.SimpleHTTPRequestHandler):
    protocol_version = "HTTP/1.0"
    server_version = "RunwardenTest/1"
    sys_version = ""

    def log_message(self, fmt, *args):
        pass

    def log_request_line(self):
        agent = self.headers.get("User-Agent", "-")
        with self.server.log_lock:
            with open(self.server.log_path, "a", encoding="utf-8") as log:
                log.write(f"{agent} {self.path}\n")

    def do_GET(self):
        self.log_request_line()
        if self.server.hold:
            self.server.stopping.wait()
            return self.abort()
        path = urllib.parse.urlsplit(self.path).path
        if os.path.exists(self.translate_path(path) + ".unreachable"):
            dead = f"http://127.0.0.1:{self.server.dead_port}{path}"
            return self.head(302, 0, extra=[("Location", dead)])
        if os.path.exists(self.translate_path(path) + ".slow"):
            return self.send_slowly(self.translate_path(path))
        if not path.startswith("/_/"):
            return super().do_GET()
        parts = path[3:].split("/")
        try:
            self.special(parts)
        except (BrokenPipeError, ConnectionResetError):
            pass

    def head(self, code, length=None, ctype="application/octet-stream", extra=()):
        self.send_response(code)
        self.send_header("Content-Type", ctype)
        if length is not None:
            self.send_header("Content-Length", str(length))
        for k, v in extra:
            self.send_header(k, v)
        self.end_headers()

    def send_pattern(self, n, pace=None):
        sent = 0
        while sent < n:
            step = min(pace or CHUNK, n - sent)
            self.wfile.write(pattern(sent, step))
            self.wfile.flush()
            sent += step
            if pace:
                time.sleep(0.01)

    def send_slowly(self, full):
        with open(full, "rb") as f:
            data = f.read()
        self.head(200, len(data))
        try:
            for at in range(0, len(data), SLOW_PIECE):
                self.wfile.write(data[at:at + SLOW_PIECE])
                self.wfile.flush()
                time.sleep(SLOW_PAUSE)
        except (BrokenPipeError, ConnectionResetError):
            pass

    def special(self, parts):
        kind = parts[0]
        if kind == "status" and len(parts) == 2:
            code = int(parts[1])
            body = f"<html><body><h1>{code} Error</h1><p>Test error page.</p></body></html>\n".encode()
            self.head(code, len(body), "text/html")
            self.wfile.write(body)
        elif kind == "bytes" and len(parts) == 2:
            n = min(int(parts[1]), MAX_GENERATED)
            self.head(200, n)
            self.send_pattern(n)
        elif kind == "empty":
            self.head(200, 0)
        elif kind == "slow" and len(parts) == 2:
            n = min(int(parts[1]), 1024 * 1024)
            self.head(200, n)
            self.send_pattern(n, pace=100)
        elif kind == "drop" and len(parts) == 3:
            n, m = min(int(parts[1]), MAX_GENERATED), int(parts[2])
            self.head(200, n)
            self.send_pattern(min(m, n))
            self.abort()
        elif kind == "cut" and len(parts) >= 3:
            m = int(parts[1])
            data = self.read_served("/".join(parts[2:]))
            if data is None:
                return self.special(["status", "404"])
            self.head(200, len(data))
            self.wfile.write(data[:m])
            self.abort()
        elif kind == "redirect" and len(parts) >= 2:
            self.head(302, 0, extra=[("Location", "/" + "/".join(parts[1:]))])
        elif kind == "stream" and len(parts) == 2:
            n = min(int(parts[1]), MAX_GENERATED)
            self.head(200, None)
            self.send_pattern(n)
        else:
            self.special(["status", "404"])

    def read_served(self, rel):
        full = os.path.realpath(os.path.join(self.server.root, rel))
        if not full.startswith(os.path.realpath(self.server.root) + os.sep) or not os.path.isfile(full):
            return None
        with open(full, "rb") as f:
            return f.read()

    def abort(self):
        self.wfile.flush()
        self.close_connection = True
        self.connection.shutdown(socket.SHUT_RDWR)

    def translate_path(self, path):
        rel = urllib.parse.unquote(urllib.parse.urlsplit(path).path).lstrip("/")
        return os.path.join(self.server.root, *[p for p in rel.split("/") if p not in ("", ".", "..")])


class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True
    allow_reuse_address = True


def make_tls_material(folder):
    """A throwaway authority and a certificate for 127.0.0.1 signed by it."""
    os.makedirs(folder, exist_ok=True)
    def openssl(*args):
        subprocess.run(["openssl", *args], cwd=folder, check=True, stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    openssl("req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:P-256", "-nodes", "-days", "2",
            "-subj", "/CN=Runwarden test authority", "-keyout", "ca.key", "-out", "ca.pem")
    openssl("req", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:P-256", "-nodes", "-subj", "/CN=127.0.0.1",
            "-keyout", "server.key", "-out", "server.csr")
    with open(os.path.join(folder, "san.cnf"), "w") as f:
        f.write("subjectAltName=IP:127.0.0.1\nbasicConstraints=CA:FALSE\nextendedKeyUsage=serverAuth\n")
    openssl("x509", "-req", "-in", "server.csr", "-CA", "ca.pem", "-CAkey", "ca.key", "-CAcreateserial",
            "-days", "2", "-extfile", "san.cnf", "-out", "server.pem")
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(os.path.join(folder, "server.pem"), os.path.join(folder, "server.key"))
    return context


def serve(root, state, port=0, hold=False):
    os.makedirs(root, exist_ok=True)
    os.makedirs(state, exist_ok=True)
    httpd = Server(("127.0.0.1", port), Handler)
    httpd.hold, httpd.stopping = hold, threading.Event()
    httpd.root = os.path.realpath(root)
    httpd.log_path = os.path.join(state, "requests.log")
    httpd.log_lock = threading.Lock()
    open(httpd.log_path, "w").close()
    dead = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    dead.bind(("127.0.0.1", 0))  # bound, never listening: connections are refused
    httpd.dead_port = dead.getsockname()[1]
    # The same content over TLS; the handshake runs in the request's own thread.
    httpsd = Server(("127.0.0.1", 0), Handler)
    for attr in ("root", "log_path", "log_lock", "dead_port", "hold", "stopping"):
        setattr(httpsd, attr, getattr(httpd, attr))
    httpsd.socket = make_tls_material(os.path.join(state, "tls")).wrap_socket(
        httpsd.socket, server_side=True, do_handshake_on_connect=False)
    threading.Thread(target=httpsd.serve_forever, kwargs={"poll_interval": 0.2}, daemon=True).start()
    port_file = os.path.join(state, "port")
    with open(port_file + ".tmp", "w") as f:
        f.write(f"{httpd.server_address[1]}\n{dead.getsockname()[1]}\n{httpsd.server_address[1]}\n")
    os.replace(port_file + ".tmp", port_file)
    with open(os.path.join(state, "pid"), "w") as f:
        f.write(f"{os.getpid()}\n")
    def on_term(*_):
        httpd.stopping.set()
        threading.Thread(target=httpd.shutdown).start()
    signal.signal(signal.SIGTERM, on_term)
    httpd.serve_forever(poll_interval=0.2)
    httpd.server_close()
    dead.close()


def start(root, state):
    shutil.rmtree(state, ignore_errors=True)
    shutil.rmtree(root, ignore_errors=True)
    os.makedirs(state)
    cmd = [sys.executable, os.path.abspath(__file__), "serve", "--root", root, "--state", state]
    with open(os.path.join(state, "server.err"), "wb") as err:
        subprocess.Popen(cmd, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=err,
                         start_new_session=True, close_fds=True)
    port_file = os.path.join(state, "port")
    for _ in range(200):
        if os.path.exists(port_file):
            print(open(port_file).read().split()[0])
            return 0
        time.sleep(0.05)
    print("test server did not start", file=sys.stderr)
    return 1


def stop(state):
    try:
        pid = int(open(os.path.join(state, "pid")).read())
    except (OSError, ValueError):
        return 0
    try:
        os.kill(pid, signal.SIGTERM)
    except ProcessLookupError:
        return 0
    for _ in range(100):
        try:
            os.kill(pid, 0)
        except ProcessLookupError:
            return 0
        time.sleep(0.05)
    os.kill(pid, signal.SIGKILL)
    return 0


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("command", choices=["serve", "start", "stop"])
    ap.add_argument("--root")
    ap.add_argument("--state", required=True)
    ap.add_argument("--port", type=int, default=0)
    ap.add_argument("--hold", action="store_true")
    a = ap.parse_args()
    if a.command == "stop":
        return stop(a.state)
    if not a.root:
        ap.error("--root is needed")
    if a.command == "start":
        return start(a.root, a.state)
    serve(a.root, a.state, a.port, a.hold)
    return 0


if __name__ == "__main__":
    sys.exit(main())
