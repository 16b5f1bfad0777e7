#!/usr/bin/python3
"""HTTP peer of the web session tests, on the loopback interface.

Serves the maker's directory and installers and takes the upload POSTs. Its
behaviour comes from files in its folder, read again at every request, so a
test changes it between requests:

  directory.body   the raw directory body ("%0D" between lines)
  files/...        installers, served at "/<subdir>/<name>"
  behaviour.json   optional: {
      "status": 404,            answer every request with this status
      "upload_status": {"S=0002": 500},  status for uploads whose query holds the text
      "stall_after": 100,       send this many body bytes, then stall
      "stall_before_reply": true,  accept the request and never answer
      "close_after": 100,       send this many body bytes, then close
      "no_length": true,        send no Content-Length (the body ends with the close)
      "length_delta": 10,       Content-Length larger than the body by this much
      "oversize": 2000000,      a directory body of this many bytes
      "pace_ms": 10             a pause after every 64 KiB of body
  }

Every request is appended to requests.log as it was received: "LINE " and
the request line, "FROM " and the client's port, "H " and each header line,
then "END". The chosen port is
printed on the first line of standard output. The peer ends when its standard
input closes.
"""

import json
import os
import socket
import sys
import threading
import time
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

FOLDER = sys.argv[1]
LOG_LOCK = threading.Lock()


BEHAVIOUR = {"stamp": None, "value": {}}
LOG = {"file": None}


def behaviour():
    """The behaviour file, read again whenever it changed."""
    path = os.path.join(FOLDER, "behaviour.json")
    try:
        st = os.stat(path)
        stamp = (st.st_ino, st.st_mtime_ns, st.st_size)
    except OSError:
        return {}
    with LOG_LOCK:
        if BEHAVIOUR["stamp"] != stamp:
            try:
                with open(path, encoding="utf-8") as f:
                    BEHAVIOUR["value"] = json.load(f)
            except (OSError, ValueError):
                BEHAVIOUR["value"] = {}
            BEHAVIOUR["stamp"] = stamp
        return BEHAVIOUR["value"]


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    # Headers and body go out in separate writes: without this, the body
    # waits for the client's delayed acknowledgement.
    disable_nagle_algorithm = True

    def log_message(self, *args):
        pass

    def record(self):
        entry = "LINE " + self.requestline + "\n"
        entry += "FROM " + str(self.client_address[1]) + "\n"
        for k, v in self.headers.items():
            entry += "H " + k + ": " + v + "\n"
        entry += "END\n"
        path = os.path.join(FOLDER, "requests.log")
        with LOG_LOCK:
            # Kept open while the file stays (a test may remove it to start over).
            f = LOG["file"]
            if f is None or not os.path.exists(path):
                if f is not None:
                    f.close()
                f = LOG["file"] = open(path, "a", encoding="latin-1")
            f.write(entry)
            f.flush()

    def raw_path(self):
        parts = self.requestline.split(" ")
        return parts[1] if len(parts) >= 2 else ""

    def reply(self, status, body, b):
        length = len(body) + int(b.get("length_delta", 0))
        self.send_response(status)
        self.send_header("Content-Type", "text/html")
        if not b.get("no_length"):
            self.send_header("Content-Length", str(length))
        else:
            self.send_header("Connection", "close")
            self.close_connection = True
        self.end_headers()
        self.send_body(body, b)

    def send_body(self, body, b):
        stall = b.get("stall_after")
        close = b.get("close_after")
        if stall is not None:
            self.wfile.write(body[:stall])
            self.wfile.flush()
            time.sleep(30)
            return
        if close is not None:
            self.wfile.write(body[:close])
            self.wfile.flush()
            self.connection.shutdown(socket.SHUT_RDWR)
            self.close_connection = True
            return
        view = memoryview(body)
        pace = b.get("pace_ms")
        step = 64 * 1024 if pace else 1 << 20
        for start in range(0, len(body), step):
            self.wfile.write(view[start:start + step])
            if pace:
                time.sleep(pace / 1000.0)
        if b.get("length_delta") or b.get("no_length"):
            self.close_connection = True

    def do_GET(self):
        self.record()
        b = behaviour()
        if b.get("stall_before_reply"):
            time.sleep(30)
            return
        if "status" in b:
            self.reply(int(b["status"]), b"Not here", {})
            return
        path = self.raw_path()
        if path == "//swdirectory.lasso":
            if "oversize" in b:
                body = b"A" * int(b["oversize"])
            else:
                try:
                    with open(os.path.join(FOLDER, "directory.body"), "rb") as f:
                        body = f.read()
                except OSError:
                    body = b""
            self.reply(200, body, b)
            return
        name = os.path.normpath(path.lstrip("/"))
        full = os.path.join(FOLDER, "files", name)
        if name.startswith("..") or not os.path.isfile(full):
            self.reply(404, b"No such file", {})
            return
        with open(full, "rb") as f:
            body = f.read()
        self.reply(200, body, b)

    def do_POST(self):
        self.record()
        length = int(self.headers.get("Content-Length", "0") or "0")
        if length > 0:
            self.rfile.read(length)
        b = behaviour()
        if b.get("stall_before_reply"):
            time.sleep(30)
            return
        status = int(b.get("status", 200))
        query = self.raw_path().partition("?")[2]
        for text, code in b.get("upload_status", {}).items():
            if text in query:
                status = int(code)
        self.send_response(status)
        self.send_header("Content-Length", "2")
        self.end_headers()
        self.wfile.write(b"OK")


def main():
    server = ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    server.daemon_threads = True
    # Clients that give up on a stalled reply are expected here.
    server.handle_error = lambda request, address: None
    print(server.server_address[1], flush=True)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    sys.stdin.read()
    os._exit(0)


if __name__ == "__main__":
    main()
