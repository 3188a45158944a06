"""Note names, chord symbols and voice leading."""

import itertools
import re
from dataclasses import dataclass

_PITCH = {"c": 0, "d": 2, "e": 4, "f": 5, "g": 7, "a": 9, "b": 11}

# Intervals above the root for the chord symbols the songs use.
QUALITIES = {
    "": (0, 4, 7), "m": (0, 3, 7), "5": (0, 7), "dim": (0, 3, 6), "aug": (0, 4, 8),
    "sus2": (0, 2, 7), "sus4": (0, 5, 7), "6": (0, 4, 7, 9), "m6": (0, 3, 7, 9),
    "7": (0, 4, 7, 10), "m7": (0, 3, 7, 10), "maj7": (0, 4, 7, 11), "m7b5": (0, 3, 6, 10),
    "dim7": (0, 3, 6, 9), "7sus4": (0, 5, 7, 10), "add9": (0, 4, 7, 14), "madd9": (0, 3, 7, 14),
    "9": (0, 4, 7, 10, 14), "m9": (0, 3, 7, 10, 14), "maj9": (0, 4, 7, 11, 14),
    "7b9": (0, 4, 7, 10, 13), "7#9": (0, 4, 7, 10, 15), "13": (0, 4, 7, 10, 14, 21),
    "m11": (0, 3, 7, 10, 14, 17), "6/9": (0, 4, 7, 9, 14),
}


def note(name):
    """MIDI number of a note name such as "c4" (60), "f#3" or "bb5"."""
    m = re.fullmatch(r"([a-g])([#b]?)(-?\d)", name.strip().lower())
    if not m:
        raise ValueError(f"not a note name: {name!r}")
    letter, accidental, octave = m.groups()
    pc = _PITCH[letter] + {"#": 1, "b": -1, "": 0}[accidental]
    return (int(octave) + 1) * 12 + pc


def pitch_class(name):
    m = re.fullmatch(r"([A-Ga-g])([#b]?)", name)
    if not m:
        raise ValueError(f"not a pitch name: {name!r}")
    return (_PITCH[m.group(1).lower()] + {"#": 1, "b": -1, "": 0}[m.group(2)]) % 12


@dataclass(frozen=True)
class Chord:
    symbol: str
    root: int               # pitch class
    intervals: tuple
    bass: int               # pitch class of the lowest note (slash chords)

    @property
    def tones(self):
        """Pitch classes, most characteristic first: third, seventh, colour
        tones, fifth, root. Voicings with few voices keep the first ones."""
        order = sorted(self.intervals, key=_importance)
        return [(self.root + i) % 12 for i in order]

    def has(self, interval):
        return interval in self.intervals

    def tone(self, interval):
        return (self.root + interval) % 12

    def third(self):
        for i in (4, 3, 5, 2):
            if i in self.intervals:
                return self.tone(i)
        return self.root

    def fifth(self):
        for i in (7, 6, 8):
            if i in self.intervals:
                return self.tone(i)
        return self.tone(7)

    def seventh(self):
        for i in (10, 11, 9):
            if i in self.intervals:
                return self.tone(i)
        return self.root


def _importance(interval):
    return {4: 0, 3: 0, 10: 1, 11: 1, 9: 2, 14: 2, 13: 2, 15: 2, 17: 3, 21: 2,
            2: 2, 5: 1, 6: 2, 8: 2, 7: 4, 0: 5}.get(interval, 3)


def chord(symbol):
    m = re.fullmatch(r"([A-G][#b]?)([^/]*)(?:/([A-G][#b]?))?", symbol)
    if not m or m.group(2) not in QUALITIES:
        raise ValueError(f"unknown chord symbol: {symbol!r}")
    root = pitch_class(m.group(1))
    bass = pitch_class(m.group(3)) if m.group(3) else root
    return Chord(symbol, root, QUALITIES[m.group(2)], bass)


def voicing(chord_, count, low, high, previous=None, centre=None, max_span=14):
    """`count` notes of the chord between MIDI `low` and `high`, moving as
    little as possible from the previous voicing (or sitting near `centre`)."""
    tones = chord_.tones
    chosen = tones[:count]
    while len(chosen) < count:          # fewer tones than voices: double from the top of the list
        chosen.append(tones[len(chosen) % len(tones)])
    options = []
    for pc in chosen:
        options.append([n for n in range(low, high + 1) if n % 12 == pc])
    best, best_cost = None, None
    for combo in itertools.product(*options):
        notes = sorted(combo)
        if len(set(notes)) < len(notes) or notes[-1] - notes[0] > max_span:
            continue
        cost = 0.0
        for a, b in zip(notes, notes[1:]):
            if b - a <= 2 and a < 57:
                cost += 6          # close seconds get muddy low down
            if b - a == 1:
                cost += 2
        if previous:
            cost += sum(abs(a - b) for a, b in zip(notes, sorted(previous)))
        else:
            mid = centre if centre is not None else (low + high) / 2
            cost += abs(sum(notes) / len(notes) - mid) * len(notes)
        if best_cost is None or cost < best_cost:
            best, best_cost = notes, cost
    if best is None:
        raise ValueError(f"no voicing of {chord_.symbol} in {low}..{high}")
    return best


def nearest(pc, around, low=0, high=127):
    """The note of pitch class pc closest to `around`, kept inside [low, high]."""
    best = None
    for n in range(max(low, around - 7), min(high, around + 7) + 1):
        if n % 12 == pc and (best is None or abs(n - around) < abs(best - around)):
            best = n
    if best is None:
        best = low + (pc - low) % 12
    return best
