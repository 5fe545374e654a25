#!/usr/bin/env python3
# cancel-timer.py SIM_SOCKET DEVICE JOB
# Cancels JOB in CUPS ("cancel JOB") and times the cancel request at the simulated DEVICE:
# prints two latencies in ms, from the start of the cancel command and from its return (the
# scheduler has cancelled the job then). The device's cancel counter is read over one kept
# control connection every millisecond, so that reading it adds no process start to the
# figure. Fails after 30 s without a cancel at the device.
import socket
import subprocess
import sys
import time


def main():
    path, device, job = sys.argv[1:4]
    s = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
    s.connect(path)
    f = s.makefile("rw")

    def cancels():
        f.write("get %s cancels\n" % device)
        f.flush()
        value = None
        while True:
            line = f.readline()
            if not line:
                sys.exit("cancel-timer: the simulator closed the connection")
            line = line.rstrip("\n")
            if line == "OK":
                return value
            if line.startswith("ERR"):
                sys.exit("cancel-timer: " + line)
            value = int(line)

    before = cancels()
    t0 = time.monotonic()
    subprocess.run(["cancel", job], check=True)
    t1 = time.monotonic()
    while cancels() <= before:
        if time.monotonic() - t0 > 30:
            sys.exit("cancel-timer: no cancel reached the printer")
        time.sleep(0.001)
    t2 = time.monotonic()
    print("%d %d" % (round((t2 - t0) * 1000), round((t2 - t1) * 1000)))


main()
