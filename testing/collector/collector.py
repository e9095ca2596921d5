#!/usr/bin/env python3
"""Analytics collector for tests.

Listens on two ephemeral 127.0.0.1 ports: the upload port, where the tracker
posts "data_list=<percent-encoded Base64 of gzip JSON>&gzip=1", and a control
port for the test. Every upload attempt is counted; each accepted body is
decoded (percent-decoding, Base64, gunzip, JSON) and kept.

  collector.py --port-file FILE [--life-limit SECONDS]
      writes "<upload port> <control port>\n" to FILE once both ports listen

Control port (answers JSON):
  GET  /state               {"attempts": N, "batches": [{"raw": text, "records": [...],
                             "user_agent": ..., "content_type": ..., "path": ...}], "errors": [...]}
  GET  /state.txt           the same as lines, for clients without a JSON parser:
                              attempts N / errors N / error TEXT
                              batch COUNT USER_AGENT CONTENT_TYPE PATH (percent-encoded)
                              record RAW  (the record's bytes exactly as they were sent)
  POST /mode/<name>         ok | fail (500) | slow (answers after 4 s) | huge (500 with a
                            4 MiB body) | garbage (a reply that is not HTTP) | refuse
                            (the upload port stops listening; "ok" listens again)
  POST /clear               forget the attempts and batches
  POST /quit                stop the server
"""
import argparse
import base64
import gzip
import http.server
import json
import os
import socket
import socketserver
import sys
import threading
import time
import urllib.parse

LOCK = threading.Lock()
STATE = {"attempts": 0, "batches": [], "errors": []}
MODE = {"name": "ok"}


def split_records(raw):
    """The exact text of each element of the JSON array |raw|."""
    decoder = json.JSONDecoder()
    pieces = []
    index = raw.index("[") + 1
    while True:
        while raw[index] in " \t\r\n,":
            index += 1
        if raw[index] == "]":
            return pieces
        _, end = decoder.raw_decode(raw, index)
        pieces.append(raw[index:end])
        index = end


def decode_body(body):
    """Returns (raw json text, records) or raises ValueError."""
    text = body.decode("ascii")
    fields = {}
    for part in text.split("&"):
        key, _, value = part.partition("=")
        fields[key] = value
    if fields.get("gzip") != "1" or "data_list" not in fields:
        raise ValueError("body is not data_list=...&gzip=1")
    encoded = urllib.parse.unquote_to_bytes(fields["data_list"])
    compressed = base64.b64decode(encoded, validate=True)
    raw = gzip.decompress(compressed).decode("utf-8")
    return raw, json.loads(raw)


class Upload(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def do_POST(self):
        length = int(self.headers.get("Content-Length", "0"))
        body = self.rfile.read(length)
        with LOCK:
            STATE["attempts"] += 1
            mode = MODE["name"]
        if mode == "garbage":
            self.wfile.write(b"\x00\x01 this is not a reply\r\n\r\n")
            self.close_connection = True
            return
        if mode == "slow":
            time.sleep(4)
        if mode in ("fail", "huge"):
            payload = b"collector told to fail" if mode == "fail" else b"x" * (4 << 20)
            self.reply(500, payload)
            return
        try:
            raw, records = decode_body(body)
        except Exception as error:  # noqa: BLE001 - any decoding fault is the client's
            with LOCK:
                STATE["errors"].append(str(error))
            self.reply(400, b"undecodable body")
            return
        if mode == "slow":
            # The client gave up after its time limit; do not count the batch
            # as delivered.
            with LOCK:
                STATE["errors"].append("late batch of %d records" % len(records))
            self.reply(200, b"late")
            return
        with LOCK:
            STATE["batches"].append({
                "raw": raw,
                "records": records,
                "pieces": split_records(raw),
                "path": self.path,
                "user_agent": self.headers.get("User-Agent", ""),
                "content_type": self.headers.get("Content-Type", ""),
            })
        self.reply(200, b"ok")

    def reply(self, status, payload):
        try:
            self.send_response(status)
            self.send_header("Content-Length", str(len(payload)))
            self.end_headers()
            self.wfile.write(payload)
        except OSError:
            pass


class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True
    allow_reuse_address = True


class UploadPort:
    """The upload listener, which can be closed and opened again on its port."""

    def __init__(self):
        self.server = Server(("127.0.0.1", 0), Upload)
        self.port = self.server.server_address[1]
        self.thread = None
        self.start()

    def start(self):
        if self.server is None:
            self.server = Server(("127.0.0.1", self.port), Upload)
        self.thread = threading.Thread(target=self.server.serve_forever, daemon=True)
        self.thread.start()

    def stop(self):
        if self.server is not None:
            self.server.shutdown()
            self.server.server_close()
            self.server = None


UPLOAD = None
CONTROL = None


class Control(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def do_GET(self):
        if self.path == "/state.txt":
            with LOCK:
                lines = ["attempts %d" % STATE["attempts"], "errors %d" % len(STATE["errors"])]
                lines += ["error " + error.replace("\n", " ") for error in STATE["errors"]]
                for batch in STATE["batches"]:
                    lines.append("batch %d %s %s %s" % (
                        len(batch["pieces"]),
                        urllib.parse.quote(batch["user_agent"], safe="") or "-",
                        urllib.parse.quote(batch["content_type"], safe="") or "-",
                        urllib.parse.quote(batch["path"], safe="") or "-"))
                    lines += ["record " + piece for piece in batch["pieces"]]
            payload = ("\n".join(lines) + "\n").encode("utf-8")
            self.send_response(200)
            self.send_header("Content-Type", "text/plain; charset=utf-8")
            self.send_header("Content-Length", str(len(payload)))
            self.end_headers()
            self.wfile.write(payload)
            return
        if self.path != "/state":
            self.answer(404, {"error": "unknown"})
            return
        with LOCK:
            self.answer(200, STATE)

    def do_POST(self):
        length = int(self.headers.get("Content-Length", "0"))
        self.rfile.read(length)
        if self.path.startswith("/mode/"):
            name = self.path[len("/mode/"):]
            if name not in ("ok", "fail", "slow", "huge", "garbage", "refuse"):
                self.answer(400, {"error": "unknown mode"})
                return
            with LOCK:
                MODE["name"] = name
            if name == "refuse":
                UPLOAD.stop()
            elif UPLOAD.server is None:
                UPLOAD.start()
            self.answer(200, {"mode": name})
        elif self.path == "/clear":
            with LOCK:
                STATE["attempts"] = 0
                STATE["batches"] = []
                STATE["errors"] = []
            self.answer(200, {})
        elif self.path == "/quit":
            self.answer(200, {})
            threading.Thread(target=CONTROL.shutdown, daemon=True).start()
        else:
            self.answer(404, {"error": "unknown"})

    def answer(self, status, value):
        payload = json.dumps(value, ensure_ascii=False).encode("utf-8")
        self.send_response(status)
        self.send_header("Content-Type", "application/json; charset=utf-8")
        self.send_header("Content-Length", str(len(payload)))
        self.end_headers()
        self.wfile.write(payload)


def main():
    global UPLOAD, CONTROL
    parser = argparse.ArgumentParser()
    parser.add_argument("--port-file", required=True)
    parser.add_argument("--life-limit", type=float, default=0,
                        help="seconds after which the server stops by itself (0: never)")
    args = parser.parse_args()
    UPLOAD = UploadPort()
    CONTROL = Server(("127.0.0.1", 0), Control)
    temp = args.port_file + ".tmp"
    with open(temp, "w") as out:
        out.write("%d %d\n" % (UPLOAD.port, CONTROL.server_address[1]))
    os.replace(temp, args.port_file)
    # A test that dies without saying /quit must not leave the server behind.
    if args.life_limit > 0:
        timer = threading.Timer(args.life_limit, CONTROL.shutdown)
        timer.daemon = True
        timer.start()
    CONTROL.serve_forever()
    UPLOAD.stop()
    return 0


if __name__ == "__main__":
    sys.exit(main())
