#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz targets (tests/fuzz): sound files and replies the
fuzzers start from. Inputs that once broke a reader are kept beside them as crash-* files and
are never regenerated. Run it from this folder to regenerate the seeds."""
import importlib.util
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
found = importlib.util.spec_from_file_location(
    "corrupt", os.path.join(HERE, "make-corrupt-files.py"))
# make-corrupt-files.py writes its corpus when loaded; that corpus is the same every time.
corrupt = importlib.util.module_from_spec(found)
found.loader.exec_module(corrupt)


def bcc(body):
    x = 0
    for b in body:
        x ^= b
    return x


def read_reply(mnemonic, field):
    body = mnemonic + field + b"\x03"
    return b"\x02" + body + bytes([bcc(body)])


SEEDS = {
    "work_template": {
        "empty-work.awt": corrupt.template(0, 0),
        "two-channels-one-event.awt": corrupt.template(2, 1),
        "twenty-channels.awt": corrupt.template(20, 20),
    },
    "record_file": {
        "no-rows.alt": corrupt.record(2, 1, 0, 0),
        "three-rows.alt": corrupt.record(2, 1, 3, 2),
        "twenty-channels.alt": corrupt.record(20, 2, 4, 1),
    },
    "curve_file": {
        "no-segments.lin": corrupt.curve(0, b""),
        "three-segments.lin": corrupt.curve(3, struct.pack("<ddd", 2.0, 30.0, 10.0) +
                                            struct.pack("<ddd", 0.0, 80.0, 5.0) +
                                            struct.pack("<ddd", -1.0, 0.0, 0.0)),
        "trailing-byte.lin": corrupt.curve(1, corrupt.SEGMENT + b"\0"),
    },
    # First byte: the operation (value % 3: read, write, poll) and the parameter; then the reply.
    "reply_check": {
        "read-pv.bin": b"\x00" + read_reply(b"PV", b"123.4"),
        "read-negative.bin": b"\x03" + read_reply(b"SL", b"-12.5"),
        "read-bad-bcc.bin": b"\x00" + read_reply(b"PV", b"123.4")[:-1] + b"\x00",
        "write-ack.bin": b"\x01\x06",
        "write-nak.bin": b"\x04\x15",
        "poll-reply.bin": b"\x02" + read_reply(b"PV", b"  1.0"),
    },
    "hex_text": {
        "read-frame.txt": b"04 30 30 30 30 50 56 05",
        "odd-digits.txt": b"4 30 123 zz F",
        "mixed-case.txt": b"0a0B,0c;\t0D",
    },
}

for target, files in SEEDS.items():
    folder = os.path.join(HERE, "fuzz", target)
    os.makedirs(folder, exist_ok=True)
    for name, data in files.items():
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)
