"""Track 5: a bouncy sound-chip tune in G major, 150 BPM.

Only the voices of a simple sound chip: pulse waves, a stepped triangle and
shift-register noise. Chords are played on one channel with the arpeggio
effect, the bass bounces in octaves. Intro (4 bars) - A (8) - A answered
(8) - B (8) - half-time breakdown (8) - A (8) - B (8) - A answered (8) -
ending (4), then back to the first A.
"""

import arrange as ar
import instruments as ins
from arrange import bar

BPM = 150

KICK, SNARE, HAT, BASS, CHORD, LEAD, ECHO, COUNTER = range(8)

INTRO = "G | Em | C | D"
VERSE = "G | D/F# | Em | C | G | D/F# | C D | G"
BRIDGE = "C | D | Bm | Em | C | D | Am7 | D7"
BREAK = "Em | C | G | D | Em | C | Am | D"
ENDING = "C | D | G | G"

TUNE = """
g5:2 b5:2 d6:2 b5:2 a5:2 g5:2 d5:4 | f#5:2 a5:2 d6:2 a5:2 f#5:4 e5:2 d5:2 |
e5:2 g5:2 b5:4 a5:2 g5:2 e5:4 | c6:4 b5:2 a5:2 g5:4 e5:4 |
g5:2 b5:2 d6:2 g6:2 f#6:2 d6:2 b5:4 | a5:2 f#5:2 a5:2 d6:2 c6:2 a5:2 f#5:4 |
e5:2 g5:2 c6:4 d6:2 c6:2 a5:4 | g5:8 r:4 d5:2 f#5:2 |
"""

TUNE_ANSWERED = """
g5:2 b5:2 d6:2 b5:2 a5:2 g5:2 d5:4 | f#5:2 a5:2 d6:2 a5:2 f#5:4 e5:2 d5:2 |
e5:2 g5:2 b5:4 a5:2 g5:2 e5:4 | c6:2 d6:2 e6:4 d6:2 c6:2 a5:4 |
g5:2 b5:2 d6:2 g6:2 f#6:2 d6:2 b5:4 | a5:2 f#5:2 a5:2 d6:2 c6:2 a5:2 f#5:4 |
e6:4 d6:2 c6:2 d6:4 f#6:4~ | g6:8 r:8 |
"""

TUNE_B = """
e5:4 g5:4 c6:6 b5:2 | a5:4 f#5:4 d5:8 | d5:2 f#5:2 b5:4 a5:2 b5:2 d6:4 | b5:8 g5:4 e5:4 |
e5:4 g5:4 c6:6 d6:2 | e6:4 d6:4 a5:8 | c6:2 b5:2 a5:2 g5:2 e5:4 c6:4 | a5:4 b5:2 c6:2 d6:8~ |
"""

TUNE_BREAK = """
b5:8 a5:4 g5:4 | g5:8 e5:8 | d5:4 g5:4 b5:8 | a5:16 |
b5:8 c6:4 d6:4 | e6:8 d6:4 c6:4 | c6:8 b5:4 a5:4 | a5:8 f#5:8 |
"""

TUNE_END = """
e5:2 g5:2 c6:4 b5:2 a5:2 g5:4 | f#5:2 a5:2 d6:4 c6:2 a5:2 f#5:4 |
g5:2 b5:2 d6:2 g6:2 d6:2 b5:2 g5:4 | g5:4 r:12 |
"""

BOUNCE = {"k": "X.....x.X.......", "s": "....X.......X...", "h": "x.o.x.o.x.o.x.oo"}
BOUNCE_FILL = {"k": "X.....x.X.....x.", "s": "....X.......XxXX", "h": "x.o.x.o.x.o....."}
HALF = {"k": "X...............", "s": "........X.......", "h": "x...o...x...o..."}
HALF_FILL = {"k": "X...............", "s": "........X...x.xx", "h": "x...o...x...o..."}

STABS = "..x_..x_..x_..x_"
OOM_PAH = "x...o...x...o..."


def build():
    song = ar.Song("Pixel Parade", "p i x e l   p a r a d e", BPM, 64, 8, seed=505)
    song.add("kick", ins.chip_kick(BPM), 0.8)
    song.add("snare", ins.chip_noise(BPM, length=0.16, period=1, decay_seconds=0.07, name="chip snare"), 0.55)
    song.add("hat", ins.chip_noise(BPM, short=True, length=0.05, period=1, decay_seconds=0.015,
                                   name="chip hat"), 0.3)
    song.add("bass", ins.chip_triangle(BPM), 0.55)
    song.add("chord", ins.chip_pulse(BPM, 0.5, "pulse 50", ((0, 1.0), (0.08, 0.6), (0.3, 0.45)), 2), 0.42)
    song.add("lead", ins.chip_pulse(BPM, 0.25, "pulse 25", ((0, 1.0), (0.15, 0.8)), 1, 0.06,
                                    ins.vibrato(BPM, 6.0, 8, 0.25)), 0.42)
    song.add("thin", ins.chip_pulse(BPM, 0.125, "pulse 12", ((0, 1.0), (0.06, 0.5), (0.2, 0.3)), 2), 0.32)
    song.pan[CHORD] = 100
    song.pan[ECHO] = 180
    song.pan[COUNTER] = 160
    song.pan[HAT] = 150
    kit = {"k": (KICK, "kick", 60), "s": (SNARE, "snare", 60), "h": (HAT, "hat", 60)}

    def beat(start, bars, main, fill):
        for b in range(start, start + bars):
            ar.drums(song, kit, b, 1, fill if (b - start) % 4 == 3 else main, humanize=0.0)

    def backing(prog, stabs=STABS, bass=OOM_PAH):
        ar.chip_chord(song, CHORD, "chord", prog, 67, stabs)
        ar.bass(song, BASS, "bass", prog, bass, around=43, low=31, high=55)

    def lead(start, text, velocity=0.85):
        ar.melody(song, LEAD, "lead", start, text, velocity=velocity, porta=0x40)
        ar.echo(song, LEAD, ECHO, 3, 0.35, bar(start), bar(start + 8))

    # Intro: chords and bass, the drums rolling in.
    backing(ar.progression(INTRO, 0))
    ar.drums(song, kit, 2, 1, {"h": "x.o.x.o.x.o.x.oo"})
    ar.drums(song, kit, 3, 1, {"k": "X.......X.......", "s": "....x...x.x.xXXX"})

    def verse(start, text, counter):
        prog = ar.progression(VERSE, start)
        backing(prog)
        lead(start, text)
        if counter:
            ar.arpeggio(song, COUNTER, "thin", prog, 74, step=1, order="updown", notes=4,
                        velocity=0.6, accents="xo-o")
        beat(start, 8, BOUNCE, BOUNCE_FILL)

    def bridge(start):
        prog = ar.progression(BRIDGE, start)
        backing(prog, stabs="x_.x_.x_x_.x_.x_", bass="x.o.x.o.x.o.x.o.")
        lead(start, TUNE_B)
        ar.arpeggio(song, COUNTER, "thin", prog, 67, step=2, order="up", notes=3, velocity=0.55)
        beat(start, 8, BOUNCE, BOUNCE_FILL)

    verse(4, TUNE, counter=False)
    verse(12, TUNE_ANSWERED, counter=True)
    bridge(20)

    # Breakdown: half time, long chords, the lead slowed down.
    prog = ar.progression(BREAK, 28)
    backing(prog, stabs="x...............", bass="x.......x.......")
    lead(28, TUNE_BREAK, velocity=0.8)
    ar.arpeggio(song, COUNTER, "thin", prog, 62, step=1, order="up", notes=6, velocity=0.45,
                accents="x-o-")
    beat(28, 8, HALF, HALF_FILL)

    verse(36, TUNE, counter=True)
    bridge(44)
    verse(52, TUNE_ANSWERED, counter=True)

    prog = ar.progression(ENDING, 60)
    backing(prog)
    lead(60, TUNE_END)
    ar.drums(song, kit, 60, 3, BOUNCE, humanize=0.0)
    ar.drums(song, kit, 63, 1, {"k": "X...........x...", "s": "........x.x.xXXX"}, humanize=0.0)
    song.restart_bar = 4
    return song
