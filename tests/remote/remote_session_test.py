"""A lab script's session with Ombrix through PyVISA: forms set on three outputs and read back,
a trace compared with the samples ombrix-send computes for the same forms, errors read in
order, and the device driven through the link's job queue: connect, send (another client
served while *OPC? waits for its end), start, with the generator checked to hold it.

Usage: remote_session_test.py OMBRIX OMBRIX_SEND OMBRIX_DEVSIM
"""
import json
import os
import socket
import subprocess
import sys
import time

import pyvisa

from ombrixproc import Ombrix

ombrix, ombrix_send, ombrix_devsim = (os.path.abspath(p) for p in sys.argv[1:4])
failures = []


def check(ok, what):
    if not ok:
        failures.append(what)
        print("FAILED:", what)


def codes_of(volts, vref_mv=4096):
    """Sample codes as the device takes them: trunc(V / step) + 0x1000 within 0..0x1FFF."""
    step = vref_mv / 1000 / 4096
    return [min(max(int(v / step) + 0x1000, 0), 0x1FFF) for v in volts]


def dry_run_codes(settings_file):
    """The sample codes of each output in the frames `ombrix-send --dry-run` prints."""
    out = subprocess.run([ombrix_send, settings_file, "--dry-run"], capture_output=True,
                         text=True, check=True).stdout
    codes = {}
    for line in out.splitlines():
        name, *hexes = line.split()
        if name != "CmdSamples":
            continue
        data = bytes(int(h, 16) for h in hexes)
        words = data[12:-2]  # after the 12-byte header, before the CRC
        codes[data[3] + 1] = [words[i] << 8 | words[i + 1] for i in range(0, len(words), 2)]
    return codes


def close_codes(a, b):
    return len(a) == len(b) and all(abs(x - y) <= 1 for x, y in zip(a, b))


with Ombrix(ombrix) as program:
    rm = pyvisa.ResourceManager("@py")
    inst = rm.open_resource(f"TCPIP::127.0.0.1::{program.port}::SOCKET",
                            read_termination="\n", write_termination="\n", timeout=30000)
    check(inst.query("*IDN?").startswith("Ombrix,Ombrix,0,"), "*IDN?")
    inst.write("*RST")
    inst.write("*CLS")

    # Errors land in the queue in order, each command that failed changing nothing.
    inst.write("FREQ 250")
    inst.write("FOO:BAR 1")
    inst.write("FREQ 1e3")
    inst.write("SOUR7:FUNC SIN")
    inst.write("SOUR1:EQU \"sin(\"")
    errors = [inst.query("SYST:ERR?") for _ in range(5)]
    check([e.split(",")[0] for e in errors] == ["-113", "-224", "-114", "-200", "0"],
          f"errors in order: {errors}")
    check(inst.query("FREQ?") == "250", "a refused frequency left the field as it was")

    # Forms on three outputs, read back as the fields show them after their exit rules.
    commands = [
        "SAMP 64",
        "SOUR1:HARM1:AMPL 1.5", "SOUR1:HARM1:STAT ON",
        "SOUR1:HARM3:AMPL 0.5", "SOUR1:HARM3:PHAS 90", "SOUR1:HARM3:STAT ON",
        "SOUR3:ACT ON", "SOUR3:FUNC PULS", "SOUR3:PULS:A1 2", "SOUR3:PULS:A2 -1",
        "SOUR3:PULS:TD1 20", "SOUR3:PULS:TR 10", "SOUR3:PULS:TD2 30", "SOUR3:PULS:TF 10",
        "SOUR5:ACT ON", "SOUR5:FUNC EQU", "SOUR5:EQU \"2*sin(2*3.14159265*X/64)\"",
        "SOUR1:OFFS 0.25",
    ]
    for c in commands:
        inst.write(c)
    check(inst.query("SYST:ERR?") == '0,"No error"', "the forms were taken")
    readback = {
        "SAMP?": "64", "SOUR1:HARM1:AMPL?": "1.5", "SOUR1:HARM3:PHAS?": "90",
        "SOUR1:HARM3:STAT?": "1", "SOUR1:FUNC?": "SIN", "SOUR3:ACT?": "1", "SOUR3:FUNC?": "PULS",
        "SOUR3:PULS:A1?": "2", "SOUR3:PULS:A2?": "-1",
        # Leaving a pulse field makes the times fill the period: tF takes up the rest.
        "SOUR3:PULS:TF?": "40",
        "SOUR5:FUNC?": "EQU", "SOUR5:EQU?": '"2*sin(2*3.14159265*X/64)"', "SOUR1:OFFS?": "0.25",
        "SOUR2:ACT?": "0",
    }
    for query, want in readback.items():
        got = inst.query(query)
        check(got == want, f"{query} gave {got!r}, not {want!r}")

    # A control the window shows disabled refuses, as it refuses the user.
    inst.write("SOUR5:OFFS 1")
    check(inst.query("SYST:ERR?").startswith("-200") and inst.query("SOUR5:OFFS?") == "0",
          "the offset of an equation is not changed")

    # The traces against the samples ombrix-send computes for the same forms.
    traces = {n: [float(v) for v in inst.query(f"TRAC{n}:DATA?").split(",")] for n in (1, 3, 5)}
    check(all(len(t) == 64 for t in traces.values()), "64 samples per trace")
    check(abs(max(traces[3]) - 2) < 1e-9 and abs(min(traces[3]) + 1) < 1e-9, "pulse levels")
    inst.write('MMEM:STOR "three.set"')
    check(inst.query("SYST:ERR?") == '0,"No error"', "MMEM:STOR")
    sent = dry_run_codes(program.path("three.set"))
    for n in (1, 3, 5):
        check(close_codes(codes_of(traces[n]), sent.get(n, [])),
              f"output {n}: the trace is what ombrix-send computes")
    inst.write('MMEM:STOR "three.txt"')
    check(inst.query("SYST:ERR?").startswith("-224"), "only .set files are written")

    # A frequency above what 64 samples allow is clamped as the field's exit rule does, and
    # the real frequency is what the window shows under it.
    inst.write("FREQ 99999999")
    freq = float(inst.query("FREQ?"))
    real = float(inst.query("FREQ:REAL?"))
    check(1000 < freq < 99999999 and abs(real - freq) / freq < 0.01,
          f"clamped frequency {freq}, real {real}")
    inst.write("FREQ 500")

    # The device: the in-process simulated generator.
    inst.write('DEV:PORT "Simulator"')
    check(inst.query("DEV:PORT?") == '"Simulator"', "DEV:PORT")
    check(inst.query("DEV:STAT?") == "DISC", "disconnected at first")
    inst.write("DEV:SEND")
    check(inst.query("*OPC?") == "1", "*OPC? after a refused send")
    check(inst.query("SYST:ERR?").startswith("-200"), "Send all before Connect is refused")
    check(inst.query("DEV:CONN;*OPC?") == "1", "*OPC? after connect")
    check(inst.query("DEV:STAT?") == "CONN", "connected")
    # While Send all runs on the link, the window serves everyone; *OPC? waits for its end.
    inst.write("SAMP 400")
    inst.write("DEV:SEND")
    check(inst.query("DEV:STAT?") == "BUSY", "busy while sending")
    inst.write("*OPC?")
    # A second client, on a plain socket, is served while the first one's *OPC? waits.
    with socket.create_connection(("127.0.0.1", program.port), timeout=10) as other:
        lines = other.makefile("rwb")
        answers = []
        for query in (b"DEV:STAT?\n", b"FREQ?\n"):
            lines.write(query)
            lines.flush()
            answers.append(lines.readline().decode().strip())
    check(answers == ["BUSY", "500"], f"another client is served while the transfer runs: {answers}")
    check(inst.read() == "1", "*OPC? after send")
    inst.write("SAMP 64")
    for n in (1, 3, 5):
        inst.write(f"OUTP{n} ON")
    check(inst.query("*OPC?") == "1", "*OPC? after the starts")
    check([inst.query(f"OUTP{n}?") for n in range(1, 7)] == ["1", "0", "1", "0", "1", "0"],
          "outputs 1, 3, 5 play")
    check(inst.query("SYST:ERR?") == '0,"No error"', "connect, send and start without error")
    check(inst.query("DEV:DISC;*OPC?") == "1" and inst.query("DEV:STAT?") == "DISC",
          "disconnected")

    # The same on a generator whose state can be read from outside: ombrix-devsim.
    link = program.path("tty")
    state = program.path("state.json")
    devsim = subprocess.Popen([ombrix_devsim, "--link", link, "--state", state],
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        for _ in range(100):
            if os.path.exists(link):
                break
            time.sleep(0.05)
        inst.write(f'DEV:PORT "{link}"')
        check(inst.query("DEV:CONN;*OPC?") == "1", "connect to devsim")
        check(inst.query("DEV:SEND;*OPC?") == "1", "send to devsim")
        inst.write("OUTP3 ON;OUTP5 ON")
        check(inst.query("*OPC?") == "1", "start on devsim")
        check(inst.query("SYST:ERR?") == '0,"No error"', "devsim session without error")
        held = json.load(open(state))
        check(held["run_mask"] == 0b10100, f"the generator plays outputs 3 and 5: {held['run_mask']}")
        for n in (1, 3, 5):
            check(held["outputs"][n - 1]["codes"] == sent[n],
                  f"the generator holds output {n} as ombrix-send computes it")
        check(abs(held["frequency_hz"] - 500) / 500 < 0.01, "the generator plays 500 Hz")
        inst.write("DEV:DISC")
        inst.query("*OPC?")
    finally:
        devsim.terminate()
        devsim.wait()
    inst.close()
    check(program.alive(), "Ombrix still runs")

print("FAILED" if failures else "passed", len(failures), "check(s) failed")
sys.exit(1 if failures else 0)
