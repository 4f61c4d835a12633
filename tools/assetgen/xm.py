# tools/assetgen/xm.py: writes Extended Module (XM) files, format version 0x0104.
#
# The writer keeps what the intro's module needs: 8-bit samples (delta-coded as the format
# wants), one or more samples per instrument with a volume envelope, auto-vibrato and
# fade-out, packed pattern data, and an order table stored at its real length (the header
# size field then says 20 + song length instead of the usual 276).
import struct

NOTE_OFF = 97
ROWS = 64


def note_number(name):
    """'C-4', 'A#5' or 'Bb3' style names to XM note numbers (C-0 = 1); 'off' gives note-off."""
    if name == "off":
        return NOTE_OFF
    base = {"C": 0, "D": 2, "E": 4, "F": 5, "G": 7, "A": 9, "B": 11}[name[0].upper()]
    rest = name[1:]
    if rest[0] == "#":
        base, rest = base + 1, rest[1:]
    elif rest[0] == "b":
        base, rest = base - 1, rest[1:]
    elif rest[0] == "-":
        rest = rest[1:]
    return int(rest) * 12 + base + 1


class Sample:
    def __init__(self, data, loop=False, volume=64, panning=128, relative_note=0, finetune=0):
        assert all(-128 <= v <= 127 for v in data)
        self.data = list(data)
        self.loop = loop
        self.volume = volume
        self.panning = panning
        self.relative_note = relative_note
        self.finetune = finetune

    def header(self):
        length = len(self.data)
        loop_start, loop_length = (0, length) if self.loop else (0, 0)
        return (struct.pack("<IIIBbBBbB", length, loop_start, loop_length, self.volume,
                            self.finetune, 1 if self.loop else 0, self.panning,
                            self.relative_note, 0) + b"\0" * 22)

    def body(self):
        out = bytearray()
        previous = 0
        for v in self.data:
            out.append((v - previous) & 0xFF)
            previous = v
        return bytes(out)


class Instrument:
    def __init__(self, samples, envelope=None, sustain=None, fadeout=0, vibrato=(0, 0, 0, 0),
                 keymap=None):
        """'envelope' is a list of (tick, volume 0..64) points; 'sustain' the index of the
        point held until note-off; 'vibrato' is (type, sweep, depth, rate)."""
        assert 1 <= len(samples) <= 16
        self.samples = samples
        self.envelope = envelope or []
        self.sustain = sustain
        self.fadeout = fadeout
        self.vibrato = vibrato
        self.keymap = keymap or [0] * 96

    def bytes(self):
        env = self.envelope[:12]
        points = b"".join(struct.pack("<HH", x, y) for x, y in env)
        points += b"\0" * (48 - len(points))
        vol_type = (1 if env else 0) | (2 if self.sustain is not None else 0)
        body = (struct.pack("<I", 40) + bytes(self.keymap) + points + b"\0" * 48
                + struct.pack("<BBBBBBBBBB", len(env), 0, self.sustain or 0, 0, 0, 0, 0, 0,
                              vol_type, 0)
                + struct.pack("<BBBB", *self.vibrato) + struct.pack("<H", self.fadeout)
                + b"\0" * 22)
        head = struct.pack("<I", 263) + b"\0" * 22 + struct.pack("<BH", 0, len(self.samples))
        assert len(head) + len(body) == 263
        return (head + body + b"".join(s.header() for s in self.samples)
                + b"".join(s.body() for s in self.samples))


def pack_cell(cell):
    """One channel of one row: (note, instrument, volume, effect, parameter), 0 = empty."""
    note, instrument, volume, effect, param = cell
    if note and instrument and volume and effect and param:
        return bytes(cell)
    flags = 0x80
    out = bytearray()
    for bit, value in enumerate(cell):
        if value:
            flags |= 1 << bit
            out.append(value)
    return bytes([flags]) + bytes(out)


def pattern_bytes(rows):
    data = b"".join(pack_cell(cell) for row in rows for cell in row)
    return struct.pack("<IBHH", 9, 0, len(rows), len(data)) + data


def module_bytes(name, tracker, orders, patterns, instruments, channels, tempo, bpm,
                 linear=True, restart=0):
    """'patterns' is a list of patterns, each a list of rows of 'channels' cells."""
    assert len(name) <= 20 and len(tracker) <= 20
    header = (b"Extended Module: " + name.encode("ascii").ljust(20, b" ") + b"\x1a"
              + tracker.encode("ascii").ljust(20, b" ") + struct.pack("<H", 0x0104))
    fixed = struct.pack("<IHHHHHHHH", 20 + len(orders), len(orders), restart, channels,
                        len(patterns), len(instruments), 1 if linear else 0, tempo, bpm)
    out = header + fixed + bytes(orders)
    for rows in patterns:
        assert all(len(r) == channels for r in rows)
        out += pattern_bytes(rows)
    for ins in instruments:
        out += ins.bytes()
    return out
