#!/usr/bin/env python3
"""Writes the corpus of damaged work templates, record files, curve files and instrument
templates that every reader must refuse without crashing. Run it from this folder to
regenerate corrupt/."""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "corrupt")
TEMPLATE_HEADER = "Quorvex5工作模板".encode("gbk")
RECORD_HEADER = "Quorvex5控制软件".encode("gbk")
CURVE_HEADER = "Quorvex5曲线".encode("gbk")


def head():
    b = struct.pack("<ddii", 0.0, 100.0, 5, 360)
    b += struct.pack("<5I", 0xFFFFD1, 0xC6C8FF, 0x8C8AFF, 0xFFC8C6, 0xFF9C9F)
    b += b"".join(struct.pack("<Ii", 0x0000FF, 0) for _ in range(20))
    return b


def channel():
    return b"ch".ljust(12, b"\0") + struct.pack("<iBBB", 0, 0, 5, 1) + b"\0" * 5 + \
        struct.pack("<dd", 1.0, 0.0) + b"\0" + b"\0" * 50 + b"\0" * 5


def event():
    return b"ev".ljust(16, b"\0") + struct.pack("<iiiid", 0, 0, 0, 0, 100.0) + \
        struct.pack("<i", 0) + b"\0" * 4 + struct.pack("<d", 0.0)


def template(n, e, channels=None, events=None):
    body = (channels if channels is not None else channel() * n) + \
        (events if events is not None else event() * e)
    return TEMPLATE_HEADER + head() + struct.pack("<II", n, e) + body


def record(n, e, s, k, rows=None, occurrences=None, channels=None, events=None):
    row = struct.pack("<i", 1) + struct.pack("<d", 1.0) * min(n, 20)
    body = (channels if channels is not None else channel() * n) + \
        (events if events is not None else event() * e)
    body += rows if rows is not None else row * s
    body += occurrences if occurrences is not None else struct.pack("<ii", 1, 0) * k
    return RECORD_HEADER + head() + struct.pack("<IIII", n, e, s, k) + body


def curve(count, segments):
    return CURVE_HEADER + struct.pack("<i", count) + segments


SEGMENT = struct.pack("<ddd", 2.0, 30.0, 10.0)

SIM_HEADER = "Quorvex5控制软件模板文件".encode("gbk")
PANEL = struct.pack("<iiBBBBi", 0, 0, 0, 5, 1, 0, 0) + b"8888.8888." + b"\0\0"


def sim(count, panels):
    return SIM_HEADER + struct.pack("<i", count) + panels


FILES = {
    # work templates
    "empty.awt": b"",
    "header-only.awt": TEMPLATE_HEADER,
    "short-head.awt": template(0, 0)[:227],
    "wrong-header.awt": b"Quorvex5" + b"X" + template(0, 0)[9:],
    "record-header.awt": RECORD_HEADER + template(0, 0)[16:],
    "21-channels.awt": template(21, 0),
    "21-events.awt": template(0, 21),
    "huge-channel-count.awt": template(0xFFFFFFFF, 0, channels=b""),
    "negative-event-count.awt": template(0, 0xFFFFFFFF, events=b""),
    "short-events.awt": template(1, 2, events=event() + event()[:55]),
    "short-channels.awt": template(3, 0, channels=channel() * 2 + channel()[:95]),
    # record files
    "empty.alt": b"",
    "short-head.alt": record(0, 0, 0, 0)[:235],
    "21-channels.alt": record(21, 0, 0, 0),
    "huge-channel-count.alt": record(0x10000001, 0, 0, 0, channels=b""),
    "huge-event-count.alt": record(0, 0x10000001, 0, 0, events=b""),
    "huge-row-count.alt": record(1, 0, 0x10000001, 0, rows=b""),
    "rows-times-channels-too-many.alt": record(20, 0, 0x10000000, 0, rows=b""),
    "short-last-row.alt": record(2, 1, 3, 0)[:-1],
    "bytes-after-occurrences.alt": record(2, 1, 3, 2) + b"\0",
    "short-channels.alt": record(3, 0, 0, 0, channels=channel() * 2),
    # curve files
    "empty.lin": b"",
    "header-only.lin": CURVE_HEADER,
    "101-segments.lin": curve(101, SEGMENT * 101),
    "negative-count.lin": curve(-1, b""),
    "huge-count.lin": curve(0x7FFFFFFF, SEGMENT),
    "short-segment.lin": curve(2, SEGMENT + SEGMENT[:23]),
    # instrument templates
    "empty.sim": b"",
    "short-count.sim": SIM_HEADER + b"\0\0",
    "negative-count.sim": sim(-1, b""),
    "huge-count.sim": sim(0x7FFFFFFF, PANEL),
    "short-panel.sim": sim(3, PANEL * 2 + PANEL[:27]),
    "byte-after-panels.sim": sim(3, PANEL * 3) + b"\0",
}

os.makedirs(OUT, exist_ok=True)
for name, data in FILES.items():
    with open(os.path.join(OUT, name), "wb") as f:
        f.write(data)
