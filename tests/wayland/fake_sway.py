#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""A hostile peer on a sway IPC socket: it answers like sway, but in one way out of bounds.

Usage: fake_sway.py SOCKET MODE, MODE one of
  flood  events without end after a subscription
  deep   a config reply nested 3,000,000 deep
  large  a 60 MB config reply
"""
import json
import os
import socket
import struct
import sys
import threading

MAGIC = b"i3-ipc"
RUN_COMMAND, SUBSCRIBE, GET_VERSION, GET_CONFIG = 0, 2, 7, 9
WORKSPACE_EVENT = 0x80000000


def frame(kind, payload):
    return MAGIC + struct.pack("=II", len(payload), kind) + payload


def read_exactly(conn, n):
    data = b""
    while len(data) < n:
        chunk = conn.recv(n - len(data))
        if not chunk:
            raise EOFError
        data += chunk
    return data


def answer(kind, mode):
    if kind == GET_VERSION:
        return json.dumps({"human_readable": "1.7", "loaded_config_file_name": ""}).encode()
    if kind == GET_CONFIG and mode == "deep":
        return b"[" * 3000000 + b"]" * 3000000
    if kind == GET_CONFIG and mode == "large":
        return b'{"config":"#' + b"x" * (60 << 20) + b'"}'
    if kind == GET_CONFIG:
        return b'{"config":""}'
    if kind == SUBSCRIBE:
        return b'{"success":true}'
    return b'[{"success":true}]'


def serve(conn, mode):
    try:
        while True:
            _, length, kind = struct.unpack("=6sII", read_exactly(conn, 14))
            read_exactly(conn, length)
            conn.sendall(frame(kind, answer(kind, mode)))
            if kind == SUBSCRIBE and mode == "flood":
                events = frame(WORKSPACE_EVENT, b'{"change":"focus"}') * 2000
                while True:
                    conn.sendall(events)
    except (EOFError, OSError):
        pass
    finally:
        conn.close()


def main():
    path, mode = sys.argv[1], sys.argv[2]
    if os.path.exists(path):
        os.unlink(path)
    server = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
    server.bind(path)
    server.listen(8)
    while True:
        conn, _ = server.accept()
        threading.Thread(target=serve, args=(conn, mode), daemon=True).start()


if __name__ == "__main__":
    main()
