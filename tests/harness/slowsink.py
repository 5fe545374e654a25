#!/usr/bin/env python3
"""Fake raw-TCP printer: slowsink.py HOST PORT OUTDIR

Accepts connections, stores each one's data as OUTDIR/job-N.bin and then keeps
the connection open. The socket backend waits for the printer to close, so a job
stays "printing" for as long as it is held. SIGUSR1 closes every held connection
and makes later connections close as soon as their data is read.
"""
import os
import signal
import socket
import sys
import threading

released = threading.Event()


def serve(conn, path):
    with conn:
        with open(path + ".part", "wb") as out:
            while True:
                data = conn.recv(65536)
                if not data:
                    break
                out.write(data)
        os.rename(path + ".part", path)
        released.wait()


def main():
    if len(sys.argv) != 4:
        sys.exit("usage: slowsink.py HOST PORT OUTDIR")
    host, port, outdir = sys.argv[1], int(sys.argv[2]), sys.argv[3]
    os.makedirs(outdir, exist_ok=True)
    signal.signal(signal.SIGUSR1, lambda *_: released.set())
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
    srv = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    srv.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    srv.bind((host, port))
    srv.listen(16)
    print("listening", flush=True)
    count = 0
    while True:
        conn, _ = srv.accept()
        count += 1
        path = os.path.join(outdir, "job-%d.bin" % count)
        threading.Thread(target=serve, args=(conn, path), daemon=True).start()


if __name__ == "__main__":
    main()
