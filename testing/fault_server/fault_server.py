#!/usr/bin/env python3
"""A file server on 127.0.0.1 that misbehaves on request, for the faults a
real web server does not produce.

    fault_server.py --root DIR [--port N]

Prints "PORT <n>" on its first output line once it listens, and writes the
port into the --port-file when one is named. With --free-port FILE it only
writes a free port into FILE and ends. A request path
has the form /<faults>/<any segments>/<file name>: the file name picks the
file in DIR, the segments between are ignored (they carry the digest a
downloader reads from the URL), and <faults> is "-" for none or a
comma-separated list of:

    drop=N        every GET ends (connection closed) after N body bytes
    droponce=N    only the first GET of this path does
    stall=N       every GET sends N body bytes and then nothing
    stallonce=N   only the first GET of this path stalls
    cap=N         GETs end (connection closed) at absolute offset N of the
                  file: no byte from N on is sent
    capgets=K     cap applies only to the first K GETs of this path
    lie=K         Content-Length announces K bytes more (K may be negative)
                  than the body; the connection closes after the body
    status=S      HEAD and GET answer status S (with a small HTML page)
    headstatus=S  only HEAD answers S
    getstatus=S   only GET answers S
    norange       Range is ignored: 200 with the whole file
    corrupt=N     the byte at absolute offset N of the file is sent changed
    extra=K       a range answer carries K bytes past the end of the range
    html          HEAD and GET answer 200 with an HTML error page
    loop          302 to the same path, forever

GET /_log returns one line per earlier request: "<METHOD> <path> <Range>";
GET /_quit stops the server.
"""
import argparse
import os
import sys
import threading
import time
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

STOP = threading.Event()
LOCK = threading.Lock()
LOG = []
GET_COUNTS = {}
HTML = b"<html><body><h1>Service unavailable</h1></body></html>\n"


def parse_faults(text):
    faults = {}
    if text in ("", "-"):
        return faults
    for item in text.split(","):
        key, _, value = item.partition("=")
        faults[key] = value
    return faults


def parse_range(header, size):
    """(start, end) inclusive, or None when there is no usable range."""
    if not header or not header.startswith("bytes="):
        return None
    first, _, last = header[6:].split(",")[0].partition("-")
    if first == "":
        return None
    start = int(first)
    end = int(last) if last else size - 1
    return start, min(end, size - 1)


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    root = "."

    def log_message(self, fmt, *args):
        pass

    def do_HEAD(self):
        self.answer(head=True)

    def do_GET(self):
        if self.path == "/_log":
            with LOCK:
                body = "".join(line + "\n" for line in LOG).encode()
            self.send_response(200)
            self.send_header("Content-Length", str(len(body)))
            self.end_headers()
            self.wfile.write(body)
            return
        if self.path == "/_quit":
            self.send_response(200)
            self.send_header("Content-Length", "0")
            self.end_headers()
            STOP.set()
            threading.Thread(target=self.server.shutdown, daemon=True).start()
            return
        self.answer(head=False)

    def send_page(self, status, head):
        self.send_response(status)
        self.send_header("Content-Type", "text/html")
        self.send_header("Content-Length", str(len(HTML)))
        self.end_headers()
        if not head:
            self.wfile.write(HTML)

    def answer(self, head):
        with LOCK:
            LOG.append("%s %s %s" % (self.command, self.path, self.headers.get("Range", "-")))
        segments = self.path.split("?")[0].split("/")
        if len(segments) < 3:
            self.send_page(404, head)
            return
        faults = parse_faults(segments[1])
        first_get = False
        if not head:
            with LOCK:
                count = GET_COUNTS.get(self.path, 0)
                GET_COUNTS[self.path] = count + 1
            first_get = count == 0
            get_number = count + 1

        if "loop" in faults:
            self.send_response(302)
            self.send_header("Location", self.path)
            self.send_header("Content-Length", "0")
            self.end_headers()
            return
        status = faults.get("status") or faults.get("headstatus" if head else "getstatus")
        if status:
            self.send_page(int(status), head)
            return
        if "html" in faults:
            self.send_page(200, head)
            return

        path = os.path.join(self.root, os.path.basename(segments[-1]))
        try:
            with open(path, "rb") as f:
                data = f.read()
        except OSError:
            self.send_page(404, head)
            return

        if "corrupt" in faults:
            at = int(faults["corrupt"])
            data = data[:at] + bytes([data[at] ^ 0xFF]) + data[at + 1:]
        size = len(data)
        wanted = None if "norange" in faults else parse_range(self.headers.get("Range"), size)
        if wanted and wanted[0] >= size:
            self.send_response(416)
            self.send_header("Content-Range", "bytes */%d" % size)
            self.send_header("Content-Length", "0")
            self.end_headers()
            return
        start = 0
        if wanted:
            start, end = wanted
            body = data[start:end + 1 + int(faults.get("extra", "0"))]
            self.send_response(206)
            self.send_header("Content-Range", "bytes %d-%d/%d" % (start, end, size))
        else:
            body = data
            self.send_response(200)
        announced = len(body) + int(faults.get("lie", "0"))
        self.send_header("Content-Type", "application/octet-stream")
        self.send_header("Accept-Ranges", "bytes")
        self.send_header("Content-Length", str(announced))
        if "lie" in faults:
            self.send_header("Connection", "close")
            self.close_connection = True
        self.end_headers()
        if head:
            return

        cut = None
        if "drop" in faults:
            cut = int(faults["drop"])
        elif "droponce" in faults and first_get:
            cut = int(faults["droponce"])
        if "cap" in faults and get_number <= int(faults.get("capgets", "1000000000")):
            allowed = max(0, int(faults["cap"]) - start)
            cut = allowed if cut is None else min(cut, allowed)
        stall = None
        if "stall" in faults:
            stall = int(faults["stall"])
        elif "stallonce" in faults and first_get:
            stall = int(faults["stallonce"])

        try:
            if stall is not None:
                self.wfile.write(body[:stall])
                self.wfile.flush()
                # Hold the connection without sending until the client gives
                # up or the server stops.
                deadline = time.time() + 120
                while not STOP.is_set() and time.time() < deadline:
                    time.sleep(0.1)
                self.close_connection = True
                return
            if cut is not None:
                self.wfile.write(body[:cut])
                self.wfile.flush()
                self.close_connection = True
                return
            self.wfile.write(body)
        except (BrokenPipeError, ConnectionResetError):
            self.close_connection = True


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--root")
    parser.add_argument("--free-port", help="only write a free 127.0.0.1 port into this file")
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--port-file", help="also write the port into this file")
    args = parser.parse_args()
    if args.free_port:
        import socket
        with socket.socket() as probe:
            probe.bind(("127.0.0.1", 0))
            port = probe.getsockname()[1]
        with open(args.free_port + ".tmp", "w") as f:
            f.write("%d\n" % port)
        os.replace(args.free_port + ".tmp", args.free_port)
        return 0
    if not args.root:
        parser.error("--root is required")
    Handler.root = args.root
    server = ThreadingHTTPServer(("127.0.0.1", args.port), Handler)
    server.daemon_threads = True
    port = server.server_address[1]
    if args.port_file:
        with open(args.port_file + ".tmp", "w") as f:
            f.write("%d\n" % port)
        os.replace(args.port_file + ".tmp", args.port_file)
    print("PORT %d" % port, flush=True)
    try:
        server.serve_forever(poll_interval=0.1)
    except KeyboardInterrupt:
        pass
    finally:
        STOP.set()
        server.server_close()


if __name__ == "__main__":
    sys.exit(main())
