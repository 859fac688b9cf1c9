#!/usr/bin/env python3
"""update_server.py ROOT PORT-FILE: serves the files below ROOT over HTTP on a
free loopback port, written to PORT-FILE once the server listens. Paths under
/cut/ serve the file of the same path under ROOT/good/ with its full
Content-Length but only half of its bytes, then close the connection; paths
under /moved/ are redirected (302, a Location without the server) to the
same path under /good/; a missing file is a 404."""
import http.server
import os
import socketserver
import sys

root, port_file = sys.argv[1], sys.argv[2]


class Handler(http.server.BaseHTTPRequestHandler):
    def do_GET(self):
        path = self.path.split("?", 1)[0]
        if path.startswith("/moved/"):
            self.send_response(302)
            self.send_header("Location", "/good/" + path[len("/moved/"):])
            self.send_header("Content-Length", "0")
            self.end_headers()
            return
        cut = path.startswith("/cut/")
        local = os.path.join(root, "good" + path[4:] if cut else path.lstrip("/"))
        if not os.path.isfile(local):
            self.send_error(404)
            return
        with open(local, "rb") as f:
            body = f.read()
        self.send_response(200)
        self.send_header("Content-Type", "application/octet-stream")
        self.send_header("Content-Length", str(len(body)))
        self.send_header("Connection", "close")
        self.end_headers()
        self.wfile.write(body[: len(body) // 2] if cut else body)
        self.wfile.flush()
        self.close_connection = True

    def log_message(self, *args):
        pass


class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True


with Server(("127.0.0.1", 0), Handler) as server:
    with open(port_file + ".tmp", "w") as f:
        f.write(str(server.server_address[1]))
    os.rename(port_file + ".tmp", port_file)
    server.serve_forever()
