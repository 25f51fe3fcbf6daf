#!/usr/bin/env python3
"""A TCP relay for one connection on 127.0.0.1: prints its port, relays to the port given until either side
closes or 3 s have passed, then prints the byte counts each way and the first 14 bytes the client sent."""
import select
import socket
import sys
import time

listener = socket.create_server(("127.0.0.1", 0))
print(listener.getsockname()[1], flush=True)
listener.settimeout(15)
client, _ = listener.accept()
server = socket.create_connection(("127.0.0.1", int(sys.argv[1])))
first, up, down, deadline = b"", 0, 0, time.time() + 3
while time.time() < deadline:
    ready, _, _ = select.select([client, server], [], [], 0.1)
    for s in ready:
        data = s.recv(65536)
        if not data:
            deadline = 0
            break
        (server if s is client else client).sendall(data)
        if s is client:
            first, up = (first + data)[:14], up + len(data)
        else:
            down += len(data)
print(up, down, first.decode("latin-1"), flush=True)
