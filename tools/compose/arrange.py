"""The arranger: a song is a grid of rows by channels that parts write into.

Time is counted in rows: four rows to a beat, sixteen to a bar of 4/4, and
the grid is cut into patterns of four bars at the end. The part writers
(melody, bass, pads, arpeggios, drums, echoes) all take a start bar or a
chord progression and write notes, key-offs and effects into the grid;
the song then becomes an XM module whose identical patterns are stored once.
"""

import random
import re

import theory
import xm

ROWS_PER_BEAT = 4
ROWS_PER_BAR = 16
PATTERN_ROWS = 64

VELOCITY = {"X": 1.0, "x": 0.8, "o": 0.6, "-": 0.38}


class Song:
    def __init__(self, name, label, bpm, bars, channels, speed=6, seed=1):
        if channels % 2:
            channels += 1
        self.name = name
        self.label = label
        self.bpm = bpm
        self.speed = speed
        self.bars = bars
        self.channels = channels
        self.rows = bars * ROWS_PER_BAR
        self.grid = [[xm.Cell() for _ in range(channels)] for _ in range(self.rows)]
        self.instruments = []
        self._numbers = {}
        self._levels = {}
        self.pan = [None] * channels
        self.master = 1.0
        self.restart_bar = 0
        self.groove = None           # ticks per row inside one beat, e.g. (7, 7, 5, 5)
        self.groove_channel = None
        self.rng = random.Random(seed)

    # --- instruments and cells -------------------------------------------------

    def add(self, key, instrument, level=1.0):
        """Register an instrument under a short key with its mix level."""
        self.instruments.append(instrument)
        self._numbers[key] = len(self.instruments)
        self._levels[key] = level

    def volume(self, key, velocity):
        return max(1, min(64, round(64 * self._levels[key] * velocity * self.master)))

    def put(self, ch, row, midi, key, velocity=0.8, porta=0, effect=None):
        """A note; with `porta` it glides from the sounding note instead."""
        if not 0 <= row < self.rows:
            return
        cell = xm.Cell(note=xm.midi_to_note(midi), instrument=self._numbers[key],
                       volume=self.volume(key, velocity))
        if porta:
            cell.instrument = 0
            cell.effect, cell.param = xm.FX_PORTA, porta
        if effect:
            cell.effect, cell.param = effect
        self.grid[row][ch] = cell

    def off(self, ch, row):
        """Key-off, unless a note already starts on that row."""
        if 0 <= row < self.rows and self.grid[row][ch].note == 0:
            self.grid[row][ch].note = xm.NOTE_OFF

    def effect(self, ch, row, effect, param):
        if 0 <= row < self.rows and self.grid[row][ch].effect == 0 and self.grid[row][ch].param == 0:
            self.grid[row][ch].effect, self.grid[row][ch].param = effect, param

    # --- output -------------------------------------------------------------------

    def module(self):
        grid = [[xm.Cell(c.note, c.instrument, c.volume, c.effect, c.param) for c in row]
                for row in self.grid]
        for row in grid:
            for ch, cell in enumerate(row):
                if cell.instrument and self.pan[ch] is not None and not cell.effect and not cell.param:
                    cell.effect, cell.param = xm.FX_PANNING, self.pan[ch]
        if self.groove:
            ch = self.groove_channel
            for r, row in enumerate(grid):
                row[ch].effect, row[ch].param = xm.FX_SPEED, self.groove[r % len(self.groove)]
        if self.restart_bar * ROWS_PER_BAR % PATTERN_ROWS:
            raise ValueError("the loop point must start a pattern")
        patterns, orders, seen = [], [], {}
        for start in range(0, self.rows, PATTERN_ROWS):
            pattern = xm.Pattern(grid[start:start + PATTERN_ROWS])
            key = pattern.key()
            if key not in seen:
                seen[key] = len(patterns)
                patterns.append(pattern)
            orders.append(seen[key])
        return xm.Module(self.name, self.channels, self.speed, self.bpm, self.instruments,
                         patterns, orders, self.restart_bar * ROWS_PER_BAR // PATTERN_ROWS)

    def dump(self, first_bar=0, bars=4):
        """The grid as a tracker shows it, for checking by eye."""
        names = ["C-", "C#", "D-", "D#", "E-", "F-", "F#", "G-", "G#", "A-", "A#", "B-"]
        lines = []
        for row in range(bar(first_bar), min(self.rows, bar(first_bar + bars))):
            cells = []
            for cell in self.grid[row]:
                if cell.note == xm.NOTE_OFF:
                    text = "==="
                elif cell.note:
                    text = names[(cell.note - 1) % 12] + str((cell.note - 1) // 12)
                else:
                    text = "..."
                text += f"{cell.instrument:02d}" if cell.instrument else ".."
                text += f"{cell.volume:02d}" if cell.volume >= 0 else ".."
                cells.append(text)
            lines.append(f"{row // ROWS_PER_BAR:3}.{row % ROWS_PER_BAR:02d} " + " ".join(cells))
        return "\n".join(lines)

    def seconds(self):
        if self.groove:
            ticks = sum(self.groove[r % len(self.groove)] for r in range(self.rows))
        else:
            ticks = self.rows * self.speed
        return ticks * 2.5 / self.bpm


def bar(n, step=0):
    return n * ROWS_PER_BAR + step


# --- Chord progressions ------------------------------------------------------------

def progression(text, start_bar):
    """Bars split by "|"; a bar of n symbols gives each 16/n rows, and "."
    holds the chord before it. Returns [(row, length, Chord)]."""
    out = []
    row = bar(start_bar)
    for bar_text in text.split("|"):
        tokens = bar_text.split()
        if not tokens:
            continue
        if ROWS_PER_BAR % len(tokens):
            raise ValueError(f"cannot split a bar into {len(tokens)}: {bar_text!r}")
        step = ROWS_PER_BAR // len(tokens)
        for token in tokens:
            if token == ".":
                r, length, c = out[-1]
                out[-1] = (r, length + step, c)
            else:
                out.append((row, step, theory.chord(token)))
            row += step
    return out


def chord_at(prog, row):
    for start, length, c in prog:
        if start <= row < start + length:
            return c, start, length
    return None, None, None


def span(prog):
    return prog[0][0], prog[-1][0] + prog[-1][1]


# --- Melodies -----------------------------------------------------------------------------

_TOKEN = re.compile(r"(r|[a-g][#b]?-?\d)(?::(\d+))?([>~<^]*)$")


def parse_melody(text, start_row, transpose=0):
    """Tokens "note:rows" ("e5:4", "f#4:2", "r:8" for a rest); a missing
    length repeats the last one. Suffixes: ">" accent, "<" soft, "~" glide
    into the note, "^" let it ring (no key-off). A "|" must fall on a bar
    line, which catches miscounted bars. Returns [(row, rows, midi|None, flags)]."""
    events = []
    row = start_row
    length = 4
    for token in text.split():
        if token == "|":
            if (row - start_row) % ROWS_PER_BAR:
                raise ValueError(f"bar line at row {row - start_row} is not on a bar in {text!r}")
            continue
        m = _TOKEN.match(token)
        if not m:
            raise ValueError(f"bad melody token {token!r}")
        name, rows, flags = m.groups()
        if rows:
            length = int(rows)
        midi = None if name == "r" else theory.note(name) + transpose
        events.append((row, length, midi, flags))
        row += length
    return events


def melody(song, ch, key, start_bar, text, velocity=0.85, transpose=0, porta=0x30):
    events = parse_melody(text, bar(start_bar), transpose)
    play(song, ch, key, events, velocity, porta)
    return events


def play(song, ch, key, events, velocity=0.85, porta=0x30):
    for i, (row, length, midi, flags) in enumerate(events):
        if midi is None:
            continue
        v = velocity * (1.15 if ">" in flags else 0.7 if "<" in flags else 1.0)
        song.put(ch, row, midi, key, min(v, 1.0), porta=porta if "~" in flags else 0)
        following = events[i + 1] if i + 1 < len(events) else None
        legato = following is not None and following[2] is not None
        if "^" not in flags and not legato:
            song.off(ch, row + length)


def harmonize(events, scale_pcs, steps=-2):
    """The same line moved `steps` degrees along the scale (-2: a third below)."""
    out = []
    for row, length, midi, flags in events:
        if midi is None:
            out.append((row, length, None, flags))
            continue
        degrees = sorted(scale_pcs)
        # walk the scale from the nearest scale note at or below the melody note
        n = midi
        while n % 12 not in degrees:
            n -= 1
        count = abs(steps)
        direction = 1 if steps > 0 else -1
        while count:
            n += direction
            if n % 12 in degrees:
                count -= 1
        out.append((row, length, n, flags))
    return out


# --- Bass -------------------------------------------------------------------------------------

def bass(song, ch, key, prog, rhythm, around=40, velocity=0.85, low=28, high=55):
    """Rhythm strings of 16 characters per bar, repeated: "x" root, "o" root an
    octave up, "5" fifth, "4" fifth below, "3" third, "7" seventh, "^" a half
    step under the next chord's root, "_" key-off, "." hold. Capitals accent."""
    begin, end = span(prog)
    for row in range(begin, end):
        ch_ = rhythm[(row - begin) % len(rhythm)]
        if ch_ == ".":
            continue
        if ch_ == "_":
            song.off(ch, row)
            continue
        c, start, length = chord_at(prog, row)
        root = theory.nearest(c.bass, around, low, high)
        accent = ch_.isupper()
        kind = ch_.lower()
        if kind == "x":
            n = root
        elif kind == "o":
            n = root + 12
        elif kind == "5":
            n = root + (c.fifth() - c.bass) % 12
        elif kind == "4":
            n = root + (c.fifth() - c.bass) % 12 - 12
        elif kind == "3":
            n = root + (c.third() - c.bass) % 12
        elif kind == "7":
            n = root + (c.seventh() - c.bass) % 12
        elif kind == "^":
            nxt, _, _ = chord_at(prog, start + length)
            target = theory.nearest((nxt or c).bass, around, low, high)
            n = target - 1
        else:
            raise ValueError(f"bad bass step {ch_!r}")
        song.put(ch, row, n, key, min(1.0, velocity * (1.15 if accent else 1.0)))
    song.off(ch, end)


def walking_bass(song, ch, key, prog, around=40, velocity=0.8, low=28, high=52, seed=3):
    """Quarter notes: root on the chord's first beat, chord and scale tones
    stepping on, and a half-step approach into the next chord."""
    rng = random.Random(seed)
    begin, end = span(prog)
    previous = theory.nearest(prog[0][2].bass, around, low, high)
    for row in range(begin, end, ROWS_PER_BEAT):
        c, start, length = chord_at(prog, row)
        nxt, _, _ = chord_at(prog, start + length)
        beat_in_chord = (row - start) // ROWS_PER_BEAT
        beats = length // ROWS_PER_BEAT
        if beat_in_chord == 0:
            n = theory.nearest(c.bass, previous, low, high)
        elif beat_in_chord == beats - 1 and nxt is not None:
            target = theory.nearest(nxt.bass, previous, low, high)
            n = target + (1 if rng.random() < 0.4 else -1)
        else:
            choices = [c.third(), c.fifth(), c.seventh(), (c.root + 2) % 12]
            pc = choices[rng.randrange(len(choices))]
            n = theory.nearest(pc, previous + rng.choice((-3, 3)), low, high)
        v = velocity * (1.0 if beat_in_chord % 2 == 0 else 0.88)
        song.put(ch, row, n, key, v)
        previous = n
    song.off(ch, end)


# --- Chords -----------------------------------------------------------------------------------

def pad(song, chs, key, prog, low, high, velocity=0.7, rhythm=None, centre=None, max_span=14,
        release=True):
    """Chord voicings over len(chs) channels. Without a rhythm each chord is
    held (a voice that keeps its note is not struck again); with one, "x"
    strikes the chord, "_" lets go, "." holds."""
    previous = None
    voicings = []
    for start, length, c in prog:
        v = theory.voicing(c, len(chs), low, high, previous, centre, max_span)
        voicings.append((start, length, v))
        previous = v
    begin, end = span(prog)
    if rhythm is None:
        held = [None] * len(chs)
        for start, length, notes in voicings:
            for i, ch in enumerate(chs):
                if held[i] != notes[i]:
                    song.put(ch, start, notes[i], key, velocity)
                    held[i] = notes[i]
        if release:
            for ch in chs:
                song.off(ch, end)
        return voicings
    for row in range(begin, end):
        step = rhythm[(row - begin) % len(rhythm)]
        if step == ".":
            continue
        for i, ch in enumerate(chs):
            if step == "_":
                song.off(ch, row)
            else:
                notes = next(v for s, l, v in voicings if s <= row < s + l)
                song.put(ch, row, notes[i], key, velocity * VELOCITY.get(step, 0.8) / 0.8)
    if release:
        for ch in chs:
            song.off(ch, end)
    return voicings


def arpeggio(song, ch, key, prog, low, step=2, order="up", notes=6, velocity=0.7,
             accents=None, release=True):
    """One note every `step` rows, walking through the chord's tones upwards
    from `low`. `order` is "up", "down", "updown" or a list of indices."""
    begin, end = span(prog)
    counter = 0
    for row in range(begin, end, step):
        c, _, _ = chord_at(prog, row)
        pool = []
        n = low
        while len(pool) < notes:
            if n % 12 in c.tones:
                pool.append(n)
            n += 1
        pool.sort()
        if order == "up":
            idx = counter % len(pool)
        elif order == "down":
            idx = len(pool) - 1 - counter % len(pool)
        elif order == "updown":
            cycle = list(range(len(pool))) + list(range(len(pool) - 2, 0, -1))
            idx = cycle[counter % len(cycle)]
        else:
            idx = order[counter % len(order)] % len(pool)
        v = velocity
        if accents:
            v *= VELOCITY.get(accents[counter % len(accents)], 0.8) / 0.8
        song.put(ch, row, pool[idx], key, min(1.0, v))
        counter += 1
    if release:
        song.off(ch, end)


def chip_chord(song, ch, key, prog, around, rhythm, velocity=0.7):
    """A whole chord on one channel, the way sound chips play them: the root
    with the arpeggio effect cycling through the third and fifth every tick.
    Rhythm like the pads: "x" strike, "_" off, "." hold (the effect repeats)."""
    begin, end = span(prog)
    sounding = False
    for row in range(begin, end):
        step = rhythm[(row - begin) % len(rhythm)]
        c, _, _ = chord_at(prog, row)
        root = theory.nearest(c.root, around)
        third = (c.third() - c.root) % 12
        fifth = (c.fifth() - c.root) % 12
        param = (third << 4) | fifth
        if step == "_":
            song.off(ch, row)
            sounding = False
        elif step in VELOCITY:
            song.put(ch, row, root, key, velocity * VELOCITY[step] / 0.8, effect=(xm.FX_ARPEGGIO, param))
            sounding = True
        elif sounding:
            song.effect(ch, row, xm.FX_ARPEGGIO, param)
    song.off(ch, end)


# --- Drums -----------------------------------------------------------------------------------

def drums(song, kit, start_bar, bars, pattern, humanize=0.05):
    """`kit` maps a letter to (channel, instrument key, MIDI note); `pattern`
    maps the same letters to step strings (16 per bar, repeated) whose
    characters are velocities: X x o - , and "." for nothing."""
    begin = bar(start_bar)
    for letter, steps in pattern.items():
        ch, key, midi = kit[letter]
        for row in range(begin, begin + bars * ROWS_PER_BAR):
            s = steps[(row - begin) % len(steps)]
            if s in VELOCITY:
                v = VELOCITY[s] * (1 + song.rng.uniform(-humanize, humanize))
                song.put(ch, row, midi, key, min(1.0, v))


def hit(song, kit, letter, row, velocity=1.0):
    ch, key, midi = kit[letter]
    song.put(ch, row, midi, key, velocity)


# --- Echo ------------------------------------------------------------------------------------------

def echo(song, src, dst, delay, factor, start_row, end_row):
    """Copy what `src` plays onto `dst`, `delay` rows later and quieter: the
    tracker's way of putting a delay line on a lead."""
    for row in range(start_row, min(end_row, song.rows)):
        cell = song.grid[row][src]
        target = row + delay
        if target >= song.rows or (cell.note == 0):
            continue
        copy = xm.Cell(cell.note, cell.instrument, cell.volume, cell.effect, cell.param)
        if copy.volume >= 0:
            copy.volume = max(1, round(copy.volume * factor))
        if copy.effect == xm.FX_PANNING:
            copy.effect = copy.param = 0
        song.grid[target][dst] = copy
