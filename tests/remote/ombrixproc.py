"""Starts Ombrix offscreen with remote control on a free port, for the remote-control tests."""
import os
import socket
import subprocess
import tempfile
import time


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class Ombrix:
    """The program on a port of its own, with settings and files in a fresh folder."""

    def __init__(self, program, extra_args=()):
        self.folder = tempfile.TemporaryDirectory(prefix="ombrix-remote-")
        self.port = free_port()
        env = dict(os.environ, QT_QPA_PLATFORM="offscreen",
                   XDG_CONFIG_HOME=self.folder.name, HOME=self.folder.name)
        self.log = open(os.path.join(self.folder.name, "ombrix.log"), "w")
        self.process = subprocess.Popen(
            [os.path.abspath(program), f"--remote={self.port}", *extra_args],
            cwd=self.folder.name, env=env, stdout=self.log, stderr=subprocess.STDOUT)
        deadline = time.monotonic() + 30  # the splash pause comes first
        while True:
            try:
                with socket.create_connection(("127.0.0.1", self.port), timeout=5) as probe:
                    probe.sendall(b"*IDN?\n")
                    probe.recv(100)
                return
            except OSError:
                if self.process.poll() is not None or time.monotonic() > deadline:
                    self.close()
                    raise RuntimeError("Ombrix did not start listening")
                time.sleep(0.1)

    def path(self, name):
        return os.path.join(self.folder.name, name)

    def alive(self):
        return self.process.poll() is None

    def close(self):
        if self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
        self.log.close()
        self.folder.cleanup()

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()
