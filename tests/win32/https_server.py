#!/usr/bin/env python3
"""https_server.py CERT KEY PORT-FILE LOG: serves "secret" for every GET over
TLS with the certificate CERT (and its key KEY) on a free loopback port,
written to PORT-FILE once the server listens. Each request that got through
the handshake is appended to LOG, so a test can tell that none did."""
import http.server
import os
import ssl
import sys

cert, key, port_file, log = sys.argv[1:5]


class Handler(http.server.BaseHTTPRequestHandler):
    def do_GET(self):
        with open(log, "a") as f:
            f.write(self.requestline + "\n")
        body = b"secret"
        self.send_response(200)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def log_message(self, *args):
        pass


server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
server.daemon_threads = True
context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
context.load_cert_chain(cert, key)
server.socket = context.wrap_socket(server.socket, server_side=True)
with open(port_file + ".tmp", "w") as f:
    f.write(str(server.server_address[1]))
os.rename(port_file + ".tmp", port_file)
server.serve_forever()
