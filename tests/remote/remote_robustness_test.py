"""Remote control's security and robustness, on raw sockets: another computer cannot connect
while only this one is allowed; four clients are served and a fifth is refused; a 1 MiB line,
binary garbage and clients vanishing mid-command leave the program and the other clients
served.

Usage: remote_robustness_test.py OMBRIX
"""
import os
import random
import signal
import socket
import struct
import sys
import time

from ombrixproc import Ombrix

failures = []


def check(ok, what):
    if not ok:
        failures.append(what)
        print("FAILED:", what)


class Client:
    def __init__(self, port):
        self.sock = socket.create_connection(("127.0.0.1", port), timeout=20)
        self.sock.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        self.buffer = b""

    def send(self, data):
        self.sock.sendall(data)

    def line(self):
        while b"\n" not in self.buffer:
            chunk = self.sock.recv(65536)
            if not chunk:
                raise ConnectionError("closed")
            self.buffer += chunk
        line, self.buffer = self.buffer.split(b"\n", 1)
        return line.decode("latin-1")

    def query(self, text):
        self.send(text.encode() + b"\n")
        return self.line()

    def close(self):
        self.sock.close()


def non_loopback_address():
    """This machine's address on its default route, or nothing when it has none."""
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as s:
        try:
            s.connect(("192.0.2.1", 9))  # no packet is sent for a UDP connect
            address = s.getsockname()[0]
        except OSError:
            return None
    return None if address.startswith("127.") or address == "0.0.0.0" else address


with Ombrix(os.path.abspath(sys.argv[1])) as program:
    port = program.port

    address = non_loopback_address()
    if address is None:
        print("skipped: this machine has no non-loopback address")
    else:
        try:
            socket.create_connection((address, port), timeout=5).close()
            check(False, f"a connection to {address} was accepted")
        except OSError:
            pass

    # Four clients are served, a fifth is told so and closed; a freed place is taken again.
    clients = [Client(port) for _ in range(4)]
    check(all(c.query("*IDN?").startswith("Ombrix,") for c in clients), "four clients served")
    fifth = Client(port)
    try:
        refused = fifth.line().startswith("-200") and fifth.sock.recv(100) == b""
    except (ConnectionError, OSError):
        refused = True
    check(refused, "a fifth client is refused")
    fifth.close()

    a, b, c, d = clients
    before = a.query("FREQ?")

    # A 1 MiB line is refused and discarded; the client and the others go on.
    a.send(b"FREQ " + b"7" * (1 << 20) + b"\n")
    check(b.query("*IDN?").startswith("Ombrix,"), "served while a 1 MiB line arrives")
    check(a.query("SYST:ERR?").startswith("-223"), "the long line is refused as too much data")
    check(a.query("FREQ?") == before, "nothing of the long line was carried out")

    # Binary garbage: errors, nothing more.
    rng = random.Random(31)
    garbage = bytes(rng.randrange(256) for _ in range(200000)).replace(b"?", b"")
    b.send(garbage + b"\n*CLS\n")
    check(b.query("*IDN?").startswith("Ombrix,"), "served after binary garbage")
    check(b.query("SYST:ERR?") == '0,"No error"', "*CLS emptied the queue")

    # Clients vanishing mid-command: half a line, a reset in a quoted string, and one that
    # goes while its send waits for *OPC?.
    c.send(b"FREQ 12")
    c.close()
    d.send(b'SOUR1:EQU "sin(X')
    d.sock.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
    d.close()
    e = Client(port)
    e.send(b"DEV:CONN;DEV:SEND;*OPC?\n")
    e.close()
    f = Client(port)
    g = Client(port)
    check(f.query("FREQ?") == before, "half a command is never carried out")
    check(g.query('SOUR1:EQU?') == '""', "a reset mid-string changes nothing")
    check(a.query("*IDN?").startswith("Ombrix,") and b.query("*IDN?").startswith("Ombrix,"),
          "the other clients are still served")

    # A script that closes and connects again at once takes the place it left, even when the
    # program sees the new connection before the close (held still meanwhile, it sees both
    # in one pass). Lines sent while it waits are carried out.
    os.kill(program.process.pid, signal.SIGSTOP)
    g.send(b"FREQ 321\n")
    g.close()
    h = Client(port)
    h.send(b"FREQ?\n")
    os.kill(program.process.pid, signal.SIGCONT)
    try:
        answer = h.line()
    except (ConnectionError, OSError) as error:
        answer = str(error)
    check(answer == "321", f"a client reconnecting at once is served (got {answer!r})")
    for x in (a, b, f, h):
        x.close()
    check(program.alive(), "Ombrix still runs")

print("FAILED" if failures else "passed", len(failures), "check(s) failed")
sys.exit(1 if failures else 0)
