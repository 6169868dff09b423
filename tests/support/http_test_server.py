#!/usr/bin/env python3
"""The local HTTP server on 127.0.0.1 for the download, GUI and update tests.

    http_test_server.py serve --root DIR --state DIR [--port N]
    http_test_server.py start --root DIR --state DIR    (empties DIR, detaches, waits for the port)
    http_test_server.py stop --state DIR

It serves the files under DIR, and paths that misbehave on purpose (pattern byte
i is (i * 7 + 3) & 0xff): /_/status/CODE (an HTML error page), /_/bytes/N (N pattern
bytes), /_/bytes/N/M (announce N, send M, close), /_/stream/N (no Content-Length)
and /_/redirect/PATH. FILE.unreachable beside FILE redirects it to a port where nothing
listens; FILE.slow sends FILE a few bytes at a time; FILE.insecure, over HTTPS,
redirects FILE to the same path on the plain HTTP port. Each request is appended to
STATE/requests.log as "AGENT PATH"; STATE/port holds the port, a refusing port and
the HTTPS port, whose self-signed certificate for 127.0.0.1 (STATE/tls.pem) no system trusts.
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

CHUNK = bytes(((i * 7 + 3) & 0xFF) for i in range(256)) * 256  # whole periods: each write starts at byte 0


class Handler(http.server.SimpleHTTPRequestHandler):
    protocol_version = "HTTP/1.0"

    def log_message(self, fmt, *args):
        pass

    def do_GET(self):
        with self.server.log_lock, open(self.server.log_path, "a", encoding="utf-8") as log:
            log.write(f"{self.headers.get('User-Agent', '-')} {self.path}\n")
        path = urllib.parse.urlsplit(self.path).path
        full = self.translate_path(path)
        try:
            if os.path.exists(full + ".insecure") and self.server.insecure_port:
                self.head(302, 0, [("Location", f"http://127.0.0.1:{self.server.insecure_port}{path}")])
            elif os.path.exists(full + ".unreachable"):
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
        for k, v in ([("Content-Length", str(length))] if length is not None else []) + list(extra):
            self.send_header(k, v)
        self.end_headers()

    def send(self, data):
        self.wfile.write(data)
        self.wfile.flush()

    def special(self, kind, rest=""):
        args = rest.split("/")
        if kind == "status":
            body = f"<html><body><h1>{args[0]} Error</h1><p>Test error page.</p></body></html>\n".encode()
            self.head(int(args[0]), len(body), [("Content-Type", "text/html")])
            self.send(body)
        elif kind in ("bytes", "stream"):
            n = int(args[0])
            self.head(200, n if kind == "bytes" else None)
            sent = min(int(args[-1]), n)
            for at in range(0, sent, len(CHUNK)):
                self.send(CHUNK[:min(len(CHUNK), sent - at)])
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


def serve(root, state, port):
    os.makedirs(root, exist_ok=True)
    os.makedirs(state, exist_ok=True)
    dead = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    dead.bind(("127.0.0.1", 0))  # bound, never listening: connections are refused
    log_path = os.path.join(state, "requests.log")
    open(log_path, "w").close()
    shared = dict(root=os.path.realpath(root), log_path=log_path, log_lock=threading.Lock(),
                  dead_port=dead.getsockname()[1])
    httpd, httpsd = Server(("127.0.0.1", port), Handler), Server(("127.0.0.1", 0), Handler)
    for server in (httpd, httpsd):
        server.__dict__.update(shared)
    httpd.insecure_port, httpsd.insecure_port = None, httpd.server_address[1]
    cert, key = os.path.join(state, "tls.pem"), os.path.join(state, "tls.key")
    subprocess.run(["openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:P-256", "-nodes",
                    "-days", "2", "-subj", "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1",
                    "-keyout", key, "-out", cert], check=True, capture_output=True, stdin=subprocess.DEVNULL)
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(cert, key)
    # The handshake runs in the request's own thread.
    httpsd.socket = context.wrap_socket(httpsd.socket, server_side=True, do_handshake_on_connect=False)
    threading.Thread(target=httpsd.serve_forever, kwargs={"poll_interval": 0.2}, daemon=True).start()
    port_file = os.path.join(state, "port")
    with open(port_file + ".tmp", "w") as f:
        f.write(f"{httpd.server_address[1]}\n{httpd.dead_port}\n{httpsd.server_address[1]}\n")
    os.replace(port_file + ".tmp", port_file)
    with open(os.path.join(state, "pid"), "w") as f:
        f.write(f"{os.getpid()}\n")

    signal.signal(signal.SIGTERM, lambda *_: threading.Thread(target=httpd.shutdown).start())
    httpd.serve_forever(poll_interval=0.2)


def start(root, state):
    for folder in (state, root):
        shutil.rmtree(folder, ignore_errors=True)
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
    a = ap.parse_args()
    if a.command != "stop" and not a.root:
        ap.error("--root is needed")
    return {"stop": lambda: stop(a.state), "start": lambda: start(a.root, a.state),
            "serve": lambda: serve(a.root, a.state, a.port) or 0}[a.command]()


if __name__ == "__main__":
    sys.exit(main())
