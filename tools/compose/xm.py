"""Writer for Extended Module (XM) files, format version 1.04.

Only what the composer needs: 16-bit samples with forward loops, one sample
per instrument, volume envelopes with sustain, auto-vibrato and packed
pattern data. Everything is little-endian; sample data is delta-coded as the
format requires.
"""

import math
import struct
from dataclasses import dataclass, field

NOTE_OFF = 97           # the key-off "note"
C4_RATE = 8363.0        # playback rate of an untuned sample at note C-4
ENVELOPE_POINTS_MAX = 12

# Effect numbers used by the arranger (the letters trackers show are in the comments).
FX_ARPEGGIO = 0x0       # 0xy
FX_PORTA = 0x3          # 3xx tone portamento
FX_PANNING = 0x8        # 8xx
FX_SPEED = 0xF          # Fxx: below 0x20 ticks per row, else BPM


def midi_to_note(midi):
    """XM note number (1 = C-0, 49 = C-4) for a MIDI note (60 = middle C)."""
    note = midi - 11
    if not 1 <= note <= 96:
        raise ValueError(f"MIDI note {midi} is outside the XM range")
    return note


def tuning_for(rate, base_midi):
    """Relative note and finetune so that base_midi plays the sample at `rate` Hz."""
    semis = 12.0 * math.log2(rate / C4_RATE) - (base_midi - 60)
    total = round(semis * 128)
    relnote = round(total / 128)
    finetune = total - relnote * 128
    return relnote, max(-128, min(127, finetune))


@dataclass
class Sample:
    """Signed 16-bit PCM with an optional forward loop (in sample frames)."""
    name: str
    data: list                      # ints in -32768..32767
    rate: float                     # the rate the data was rendered at
    base_midi: int = 60             # the pitch the data holds at that rate
    loop_start: int = 0
    loop_length: int = 0            # 0: no loop
    volume: int = 64
    panning: int = 128

    def header_bytes(self, name_prefix=""):
        relnote, finetune = tuning_for(self.rate, self.base_midi)
        loop_type = 1 if self.loop_length > 0 else 0
        return struct.pack(
            "<IIIBbBBbB22s",
            len(self.data) * 2, self.loop_start * 2, self.loop_length * 2,
            self.volume, finetune, loop_type | 0x10, self.panning, relnote, 0,
            _text(name_prefix + self.name, 22))

    def data_bytes(self):
        out = bytearray()
        previous = 0
        for value in self.data:
            delta = (value - previous + 32768) % 65536 - 32768
            out += struct.pack("<h", delta)
            previous = value
        return bytes(out)


@dataclass
class Envelope:
    """Volume envelope: points of (tick, level 0..64), optional sustain index."""
    points: list
    sustain: int = -1

    def __post_init__(self):
        if not 1 <= len(self.points) <= ENVELOPE_POINTS_MAX:
            raise ValueError("an envelope has 1 to 12 points")
        ticks = [t for t, _ in self.points]
        if ticks[0] != 0 or any(b <= a for a, b in zip(ticks, ticks[1:])):
            raise ValueError(f"envelope ticks must start at 0 and rise: {ticks}")


@dataclass
class Instrument:
    name: str
    sample: Sample
    envelope: Envelope
    fadeout: int = 0                 # volume lost per tick after key-off
    vibrato: tuple = (0, 0, 0, 0)    # type, sweep, depth, rate

    def to_bytes(self):
        env = self.envelope
        points = bytearray()
        for tick, level in env.points:
            points += struct.pack("<HH", tick, level)
        points += bytes(48 - len(points))
        env_flags = 1 | (2 if env.sustain >= 0 else 0)
        body = bytearray()
        body += bytes(96)                              # every key plays sample 0
        body += points
        body += bytes(48)                              # no panning envelope
        body += struct.pack("<BB", len(env.points), 0)
        body += struct.pack("<BBB", max(env.sustain, 0), 0, 0)
        body += struct.pack("<BBB", 0, 0, 0)
        body += struct.pack("<BB", env_flags, 0)
        body += struct.pack("<BBBB", *self.vibrato)
        body += struct.pack("<H", min(self.fadeout, 0xFFF))
        body += bytes(22)                              # reserved tail of the 263-byte header
        head = struct.pack("<I22sBHI", 263, _text(self.name, 22), 0, 1, 40)
        assert len(head) + len(body) == 263
        return bytes(head + body) + self.sample.header_bytes() + self.sample.data_bytes()


@dataclass
class Cell:
    note: int = 0          # 0 none, 1..96, NOTE_OFF
    instrument: int = 0    # 0 none, 1-based
    volume: int = -1       # -1 none, else 0..64
    effect: int = 0
    param: int = 0

    def empty(self):
        return (self.note == 0 and self.instrument == 0 and self.volume < 0
                and self.effect == 0 and self.param == 0)

    def packed(self):
        fields = []
        flags = 0
        if self.note:
            flags |= 1
            fields.append(self.note)
        if self.instrument:
            flags |= 2
            fields.append(self.instrument)
        if self.volume >= 0:
            flags |= 4
            fields.append(0x10 + min(64, self.volume))
        if self.effect:
            flags |= 8
            fields.append(self.effect)
        if self.param:
            flags |= 16
            fields.append(self.param)
        return bytes([0x80 | flags] + fields)


@dataclass
class Pattern:
    rows: list          # rows[r][channel] -> Cell

    def key(self):
        return tuple(tuple(c.packed() for c in row) for row in self.rows)

    def to_bytes(self):
        data = b"".join(c.packed() for row in self.rows for c in row)
        if len(data) > 0xFFFF:
            raise ValueError("pattern data over 64 KiB")
        return struct.pack("<IBHH", 9, 0, len(self.rows), len(data)) + data


@dataclass
class Module:
    name: str
    channels: int
    speed: int
    bpm: int
    instruments: list = field(default_factory=list)
    patterns: list = field(default_factory=list)
    orders: list = field(default_factory=list)
    restart: int = 0

    def to_bytes(self):
        if self.channels % 2 or not 2 <= self.channels <= 32:
            raise ValueError("an even number of channels, 2 to 32")
        if not 1 <= len(self.orders) <= 256:
            raise ValueError("1 to 256 orders")
        out = bytearray()
        out += b"Extended Module: " + _text(self.name, 20) + b"\x1a"
        out += _text("quixmag compose", 20)
        out += struct.pack("<H", 0x0104)
        order_table = bytes(self.orders) + bytes(256 - len(self.orders))
        out += struct.pack("<IHHHHHHHH", 276, len(self.orders), self.restart, self.channels,
                           len(self.patterns), len(self.instruments), 1, self.speed, self.bpm)
        out += order_table
        for pattern in self.patterns:
            for row in pattern.rows:
                if len(row) != self.channels:
                    raise ValueError("every row has one cell per channel")
            out += pattern.to_bytes()
        for instrument in self.instruments:
            out += instrument.to_bytes()
        return bytes(out)


def _text(value, size):
    raw = value.encode("ascii", "replace")[:size]
    return raw + bytes(size - len(raw))
