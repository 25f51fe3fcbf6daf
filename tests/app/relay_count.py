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
sent, deadline = {client: b"", server: b""}, time.time() + 3
while time.time() < deadline:
    for s in select.select([client, server], [], [], 0.1)[0]:
        data = s.recv(65536)
        if not data:
            deadline = 0
            break
        (server if s is client else client).sendall(data)
        sent[s] += data
print(len(sent[client]), len(sent[server]), sent[client][:14].decode("latin-1"), flush=True)
