#!/usr/bin/env python3
"""The local HTTP server on 127.0.0.1 for the download, GUI and update tests.

    http_test_server.py serve --root DIR --state DIR [--port N] [--hold]   (--hold: never answer)
    http_test_server.py start --root DIR --state DIR    (empties DIR, detaches, waits for the port)
    http_test_server.py stop --state DIR

It serves the files under DIR, and special paths that misbehave on purpose
(pattern byte i is (i * 7 + 3) & 0xff): /_/status/CODE (an HTML error page),
/_/bytes/N (N pattern bytes), /_/bytes/N/M (announce N, send M, close),
/_/stream/N (N pattern bytes without a Content-Length) and /_/redirect/PATH.
FILE.unreachable beside a served FILE redirects its requests to a port where
nothing listens; FILE.slow makes the server send FILE a few bytes at a time.

Each request is appended to STATE/requests.log as "AGENT PATH" before the reply
starts. STATE/port holds the port, a port that refuses connections, and the
HTTPS port, whose certificate comes from a throwaway authority, STATE/tls/ca.pem.
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

MAX_GENERATED = 256 * 1024 * 1024
CHUNK = bytes(((i * 7 + 3) & 0xFF) for i in range(256)) * 256  # whole periods: each write starts at byte 0


class Handler(http.server.SimpleHTTPRequestHandler):
    protocol_version = "HTTP/1.0"

    def log_message(self, fmt, *args):
        pass

    def do_GET(self):
        with self.server.log_lock, open(self.server.log_path, "a", encoding="utf-8") as log:
            log.write(f"{self.headers.get('User-Agent', '-')} {self.path}\n")
        if self.server.hold:
            self.server.stopping.wait()
            return self.abort()
        path = urllib.parse.urlsplit(self.path).path
        full = self.translate_path(path)
        try:
            if os.path.exists(full + ".unreachable"):
                self.head(302, 0, [("Location", f"http://127.0.0.1:{self.server.dead_port}{path}")])
            elif os.path.exists(full + ".slow"):
                data = open(full, "rb").read()
                self.head(200, len(data))
                for at in range(0, len(data), 3):
                    self.send(data[at:at + 3])
                    time.sleep(0.05)
            elif path.startswith("/_/"):
                self.special(*path[3:].split("/", 1))
            else:
                super().do_GET()
        except (BrokenPipeError, ConnectionResetError):
            pass

    def head(self, code, length=None, extra=()):
        self.send_response(code)
        if length is not None:
            self.send_header("Content-Length", str(length))
        for k, v in extra:
            self.send_header(k, v)
        self.end_headers()

    def send(self, data):
        self.wfile.write(data)
        self.wfile.flush()

    def send_pattern(self, n):
        for at in range(0, n, len(CHUNK)):
            self.send(CHUNK[:min(len(CHUNK), n - at)])

    def special(self, kind, rest=""):
        args = rest.split("/")
        if kind == "status":
            body = f"<html><body><h1>{args[0]} Error</h1><p>Test error page.</p></body></html>\n".encode()
            self.head(int(args[0]), len(body), [("Content-Type", "text/html")])
            self.send(body)
        elif kind in ("bytes", "stream"):
            n = min(int(args[0]), MAX_GENERATED)
            self.head(200, n if kind == "bytes" else None)
            self.send_pattern(min(int(args[-1]), n))
            if len(args) > 1:
                self.abort()
        elif kind == "redirect":
            self.head(302, 0, [("Location", "/" + rest)])
        else:
            self.special("status", "404")

    def abort(self):
        self.wfile.flush()
        self.close_connection = True
        self.connection.shutdown(socket.SHUT_RDWR)

    def translate_path(self, path):
        rel = urllib.parse.unquote(urllib.parse.urlsplit(path).path)
        return os.path.join(self.server.root, *[p for p in rel.split("/") if p not in ("", ".", "..")])


class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True
    allow_reuse_address = True


def tls_context(folder):
    """A throwaway authority and a certificate for 127.0.0.1 signed by it."""
    os.makedirs(folder, exist_ok=True)
    def openssl(*args):
        subprocess.run(["openssl", *args], cwd=folder, check=True, stdin=subprocess.DEVNULL, capture_output=True)
    ec = ["-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:P-256", "-nodes"]
    openssl("req", "-x509", *ec, "-days", "2", "-subj", "/CN=Runwarden test authority", "-keyout", "ca.key",
            "-out", "ca.pem")
    openssl("req", *ec, "-subj", "/CN=127.0.0.1", "-keyout", "server.key", "-out", "server.csr")
    with open(os.path.join(folder, "san.cnf"), "w") as f:
        f.write("subjectAltName=IP:127.0.0.1\nbasicConstraints=CA:FALSE\nextendedKeyUsage=serverAuth\n")
    openssl("x509", "-req", "-in", "server.csr", "-CA", "ca.pem", "-CAkey", "ca.key", "-CAcreateserial",
            "-days", "2", "-extfile", "san.cnf", "-out", "server.pem")
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(os.path.join(folder, "server.pem"), os.path.join(folder, "server.key"))
    return context


def serve(root, state, port, hold):
    os.makedirs(root, exist_ok=True)
    os.makedirs(state, exist_ok=True)
    dead = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    dead.bind(("127.0.0.1", 0))  # bound, never listening: connections are refused
    log_path = os.path.join(state, "requests.log")
    open(log_path, "w").close()
    shared = dict(root=os.path.realpath(root), log_path=log_path, log_lock=threading.Lock(),
                  dead_port=dead.getsockname()[1], hold=hold, stopping=threading.Event())
    httpd, httpsd = Server(("127.0.0.1", port), Handler), Server(("127.0.0.1", 0), Handler)
    for server in (httpd, httpsd):
        server.__dict__.update(shared)
    # The handshake runs in the request's own thread.
    httpsd.socket = tls_context(os.path.join(state, "tls")).wrap_socket(
        httpsd.socket, server_side=True, do_handshake_on_connect=False)
    threading.Thread(target=httpsd.serve_forever, kwargs={"poll_interval": 0.2}, daemon=True).start()
    port_file = os.path.join(state, "port")
    with open(port_file + ".tmp", "w") as f:
        f.write(f"{httpd.server_address[1]}\n{shared['dead_port']}\n{httpsd.server_address[1]}\n")
    os.replace(port_file + ".tmp", port_file)
    with open(os.path.join(state, "pid"), "w") as f:
        f.write(f"{os.getpid()}\n")
    def on_term(*_):
        httpd.stopping.set()
        threading.Thread(target=httpd.shutdown).start()
    signal.signal(signal.SIGTERM, on_term)
    httpd.serve_forever(poll_interval=0.2)


def start(root, state):
    shutil.rmtree(state, ignore_errors=True)
    shutil.rmtree(root, ignore_errors=True)
    os.makedirs(state)
    cmd = [sys.executable, os.path.abspath(__file__), "serve", "--root", root, "--state", state]
    with open(os.path.join(state, "server.err"), "wb") as err:
        subprocess.Popen(cmd, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=err, start_new_session=True)
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
        os.kill(pid, signal.SIGTERM)
        for _ in range(100):
            time.sleep(0.05)
            os.kill(pid, 0)
        os.kill(pid, signal.SIGKILL)
    except (OSError, ValueError):
        pass  # no server, or it has stopped
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
