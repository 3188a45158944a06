"""Track 3: dark, driving electro in A minor, 140 BPM.

A rolling sixteenth-note bass between the kicks, a hard saw lead, a low
pad. Intro (8 bars) - A (16) - B (8) - breakdown (8) - A again, doubled
(16) - outro (8), then back to the first A.
"""

import arrange as ar
import instruments as ins
from arrange import bar

BPM = 140

(KICK, CLAP, SNARE, HAT, OPEN, CRASH, BASS, PAD1, PAD2, PAD3, ARP, LEAD, ECHO, LEAD2,
 FX) = range(15)
PADS = [PAD1, PAD2, PAD3]

INTRO = "Am | Am | Am | Am | Am | Am | F | E"
VERSE = "Am | Am | F | F | Dm | Dm | E | E"
BRIDGE = "F | G | Am | Am | F | G | E | E"
BREAK = "F | G | Am | Em | F | G | E | E"
OUTRO = "Am | Am | F | E | Am | Am | F | E"

RIFF = """
a4:2 a4:2 c5:2 e5:4 d5:2 c5:2 b4:2 | c5:4 a4:4 e4:4 g4:2 a4:2 |
a4:2 a4:2 c5:2 f5:4 e5:2 c5:2 a4:2 | e5:6 d5:2 c5:4 a4:4 |
d5:2 d5:2 f5:2 a5:4 g5:2 f5:2 e5:2 | f5:4 d5:4 a4:4 c5:2 d5:2 |
e5:2 e5:2 g#5:2 b5:4 a5:2 g#5:2 e5:2 | d5:4 c5:4 b4:4 g#4:4 |
"""

RIFF_TURN = """
a4:2 a4:2 c5:2 e5:4 d5:2 c5:2 b4:2 | c5:4 a4:4 e4:4 g4:2 a4:2 |
a4:2 a4:2 c5:2 f5:4 e5:2 c5:2 a4:2 | e5:6 d5:2 c5:4 a4:4 |
d5:2 d5:2 f5:2 a5:4 g5:2 f5:2 e5:2 | f5:4 d5:4 a4:4 c5:2 d5:2 |
e5:2 e5:2 g#5:2 b5:4 d6:2 c6:2 b5:2 | b5:8 g#5:4 e5:4 |
"""

HOOK = """
c6:6 a5:2 f5:8 | d6:6 b5:2 g5:8 | e6:4 d6:2 c6:2 b5:4 a5:4 | a5:8 r:4 e5:2 a5:2 |
c6:6 a5:2 f5:8 | d6:6 b5:2 g5:8 | e6:4 f6:2 e6:2 d6:4 b5:4 | g#5:8 b5:4 e6:4 |
"""

SLOW = """
a5:8 c6:8 | b5:8 d6:8 | c6:12 b5:4 | g5:16 |
a5:8 c6:8 | d6:8 b5:4 g5:4 | g#5:16 | b5:8 r:8 |
"""

ROLL = ".xxx.xxx.xxx.xox"

FOUR = {"k": "X...X...X...X...", "c": "....X.......X...", "h": "o-.-o-.-o-.-o-.-",
        "o": "..x...x...x...x."}
FOUR_FILL = {"k": "X...X...X...X...", "c": "....X.......X...", "h": "o-.-o-.-o-.-....",
             "s": "........x.x.XxXX", "o": "..x...x...x....."}


def build():
    song = ar.Song("Cold Circuit", "c o l d   c i r c u i t", BPM, 64, 16, seed=303)
    song.add("kick", ins.kick(BPM, start=190.0, end=45.0, sweep=0.03, body=0.17, drive=2.4), 0.62)
    song.add("clap", ins.clap(BPM), 0.6)
    song.add("snare", ins.snare(BPM, tone=(200.0, 360.0), noise_decay=0.1), 0.65)
    song.add("hat", ins.hihat(BPM, length=0.06, body=0.018), 0.42)
    song.add("open hat", ins.hihat(BPM, open_=True, length=0.3, body=0.09), 0.34)
    song.add("crash", ins.crash(BPM, ring=2.6), 0.5)
    song.add("bass", ins.saw_bass(BPM, bright=1800.0, dark=300.0, sweep=0.09, resonance=2.4), 0.78)
    song.add("pad", ins.saw_pad(BPM, cutoff=1100.0, attack=0.6, release=1.2, name="dark pad"), 0.5)
    song.add("pluck", ins.pluck(BPM, bright=3500.0, ring=0.35), 0.42)
    song.add("lead", ins.saw_lead(BPM, cutoff=3600.0), 0.62)
    song.add("square", ins.square_lead(BPM, width=0.25, cutoff=2500.0, name="low square"), 0.4)
    song.pan[HAT] = 165
    song.pan[OPEN] = 95
    song.pan[ARP] = 85
    song.pan[ECHO] = 180
    song.pan[LEAD2] = 110
    song.pan[PAD1], song.pan[PAD2], song.pan[PAD3] = 90, 128, 166
    kit = {"k": (KICK, "kick", 60), "c": (CLAP, "clap", 60), "s": (SNARE, "snare", 60),
           "h": (HAT, "hat", 60), "o": (OPEN, "open hat", 60), "x": (CRASH, "crash", 60)}

    def beat(start, bars, main=FOUR, fill=FOUR_FILL):
        for b in range(start, start + bars):
            ar.drums(song, kit, b, 1, fill if (b - start) % 8 == 7 else main)

    # Intro: kick and rolling bass on a pedal, hats at bar 3, the arpeggio
    # creeping in, a snare run into the riff.
    intro = ar.progression(INTRO, 0)
    ar.bass(song, BASS, "bass", intro, ROLL, around=45, low=33, high=52)
    ar.drums(song, kit, 0, 2, {"k": "X...X...X...X..."})
    ar.drums(song, kit, 2, 4, {"k": "X...X...X...X...", "h": "o-.-o-.-o-.-o-.-"})
    ar.drums(song, kit, 6, 1, {"k": "X...X...X...X...", "h": "o-.-o-.-o-.-o-.-",
                               "o": "..x...x...x...x."})
    ar.drums(song, kit, 7, 1, {"k": "X...X...X...X...", "s": "o.o.o.o.x.x.xxXX"})
    ar.arpeggio(song, ARP, "pluck", ar.progression("Am | Am | F | E", 4), 57, step=1,
                order=[0, 2, 1, 3, 2, 4, 3, 1], notes=6, velocity=0.45, accents="xo-o")
    ar.pad(song, PADS, "pad", ar.progression("Am | Am | F | E", 4), 52, 67, velocity=0.5)

    def verse(start, doubled):
        for half, tune in ((0, RIFF), (8, RIFF_TURN)):
            prog = ar.progression(VERSE, start + half)
            ar.bass(song, BASS, "bass", prog, ROLL, around=45, low=33, high=52)
            ar.pad(song, PADS, "pad", prog, 52, 67, velocity=0.45)
            events = ar.melody(song, LEAD, "lead", start + half, tune, velocity=0.85)
            ar.echo(song, LEAD, ECHO, 3, 0.38, bar(start + half), bar(start + half + 8))
            if doubled:
                ar.play(song, LEAD2, "square", [(r, l, m - 12 if m else None, f) for r, l, m, f in events],
                        velocity=0.8)
                ar.arpeggio(song, ARP, "pluck", prog, 69, step=1, order="updown", notes=5,
                            velocity=0.4, accents="x-o-")
        ar.hit(song, kit, "x", bar(start))
        ar.hit(song, kit, "x", bar(start + 8), 0.8)
        beat(start, 16)

    verse(8, doubled=False)

    # B: the hook an octave up over moving chords.
    prog = ar.progression(BRIDGE, 24)
    ar.bass(song, BASS, "bass", prog, ".xxx.xxx.xxx.xxo", around=45, low=33, high=52)
    ar.pad(song, PADS, "pad", prog, 55, 70, velocity=0.5)
    ar.melody(song, LEAD, "lead", 24, HOOK, velocity=0.85)
    ar.echo(song, LEAD, ECHO, 3, 0.4, bar(24), bar(32))
    ar.arpeggio(song, ARP, "pluck", prog, 57, step=2, order="up", notes=4, velocity=0.45)
    ar.hit(song, kit, "x", bar(24))
    beat(24, 8, dict(FOUR, s="..........o....."), FOUR_FILL)

    # Breakdown: pad and arpeggio alone, the tune stretched out, then the
    # kick on quarters and a snare roll climbing into the drop.
    prog = ar.progression(BREAK, 32)
    ar.pad(song, PADS, "pad", prog, 55, 70, velocity=0.62)
    ar.arpeggio(song, ARP, "pluck", prog, 57, step=1, order=[0, 1, 2, 3, 4, 3, 2, 1], notes=5,
                velocity=0.45, accents="x-o-")
    ar.melody(song, LEAD, "lead", 32, SLOW, velocity=0.7)
    ar.echo(song, LEAD, ECHO, 6, 0.45, bar(32), bar(40))
    ar.bass(song, BASS, "bass", ar.progression("F | G | E | E", 36), "x...............", around=45,
            low=33, high=52)
    ar.hit(song, kit, "x", bar(32), 0.8)
    ar.drums(song, kit, 32, 4, {"h": "..o...o...o...o."})
    ar.drums(song, kit, 36, 2, {"k": "X...X...X...X...", "s": "o.......o......."})
    ar.drums(song, kit, 38, 1, {"k": "X...X...X...X...", "s": "o...o...o.o.o.o."})
    ar.drums(song, kit, 39, 1, {"s": "oooooooxxxxxXXXX"})

    verse(40, doubled=True)

    # Outro: the riff drops away, bass and drums carry the last bars.
    prog = ar.progression(OUTRO, 56)
    ar.bass(song, BASS, "bass", prog, ROLL, around=45, low=33, high=52)
    ar.pad(song, PADS, "pad", prog, 52, 67, velocity=0.45)
    ar.arpeggio(song, ARP, "pluck", prog, 57, step=1, order=[0, 2, 1, 3, 2, 4, 3, 1], notes=6,
                velocity=0.4, accents="xo-o")
    ar.hit(song, kit, "x", bar(56))
    beat(56, 8)
    song.restart_bar = 8
    return song
