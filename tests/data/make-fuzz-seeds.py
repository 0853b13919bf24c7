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


def journal(*entries):
    """A record journal: its head, then entries (sequence, rows, occurrences, offset, bytes).
    Device, inode and checksums are left as zero: the target seals them when the first byte
    of its input is odd."""
    out = b"TVRWAL01" + b"\0" * 32
    for seq, rows, occurrences, offset, body in entries:
        size = 40 + len(body) + 8
        out += struct.pack("<QQIIQQ", size, seq, rows, occurrences, offset, offset + len(body))
        out += body + b"\0" * 8
    return out


# The target's record file: two channels, one event, three rows, two occurrences; its rows end
# at 544. Each update brings a row and the whole occurrence block after it.
ROW = struct.pack("<idd", 4, 7.0, 8.0)
UPDATES = [(1, 4, 2, 544, ROW + struct.pack("<iiii", 1, 0, 3, 0)),
           (2, 5, 3, 564, ROW + struct.pack("<iiiiii", 1, 0, 3, 0, 4, 0))]

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
        "occurrences-cut-short.alt": corrupt.record(2, 1, 3, 2)[:-4],
    },
    "record_journal": {
        "two-updates.bin": b"\x01" + journal(*UPDATES),
        "torn-last-update.bin": b"\x01" + journal(*UPDATES)[:-20],
        "sequence-gap.bin": b"\x01" + journal(UPDATES[0], (3,) + UPDATES[1][1:]),
        "beyond-the-end.bin": b"\x01" + journal((1, 4, 2, 600, ROW)),
        "another-file.bin": b"\x00" + journal(*UPDATES),
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
