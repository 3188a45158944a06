"""Track 4: a slow ballad in D minor, 75 BPM, wistful and spacious.

Broken piano chords under a soft flute, a glassy pad, a sine bass and
brushed percussion that only joins halfway. Intro (4 bars) - A (8) -
B (8) - interlude (4) - A again (8), then back to the first A.
"""

import arrange as ar
import instruments as ins
from arrange import bar

BPM = 75

KICK, RIM, SHAKER, CRASH, BASS, PAD1, PAD2, PAD3, PIANO, KEYS, FLUTE, ECHO = range(12)
PADS = [PAD1, PAD2, PAD3]

INTRO = "Dm | Bbmaj7 | Gm7 | A7sus4 A7"
VERSE = "Dm | Bbmaj7 | F | C | Gm7 | Dm/F | Em7b5 | A7"
CHORUS = "Bbmaj7 | C | Am7 | Dm | Gm7 | C | Fmaj7 | A7sus4 A7"
INTERLUDE = "Dm | Bbmaj7 | Gm7 | A7sus4 A7"

TUNE = """
a4:6 d5:2 f5:4 e5:4 | d5:10 c5:2 d5:4 | c5:6 a4:2 f4:4 g4:2 a4:2 | g4:12 r:4 |
bb4:6 d5:2 g5:4 f5:4 | f5:6 e5:2 d5:4 a4:4 | bb4:6 a4:2 g4:4 e5:4 | e5:8 c#5:4 a4:4 |
"""

TUNE_LAST = """
a4:6 d5:2 f5:4 e5:4 | d5:10 c5:2 d5:4 | c5:6 a4:2 f4:4 g4:2 a4:2 | g4:12 r:4 |
bb4:6 d5:2 g5:4 f5:4 | f5:6 e5:2 d5:4 a4:4 | bb4:4 d5:4 g5:4 bb5:4 | a5:8 g5:4 e5:4 |
"""

CHORUS_TUNE = """
f5:4 a5:4 d6:8 | c6:6 bb5:2 g5:8 | a5:4 c6:4 e6:4 d6:2 c6:2 | d6:8 a5:4 f5:4 |
g5:4 bb5:4 d6:6 c6:2 | c6:6 bb5:2 g5:4 e5:4 | a5:6 g5:2 f5:4 e5:4 | d5:8 c#5:8 |
"""

INTERLUDE_TUNE = "a5:4 f5:4 d5:8 | f5:4 d5:4 bb4:8 | bb4:4 d5:4 g5:8 | e5:8 c#5:8 |"

# The piano's answer in the last A: a few notes in the flute's pauses.
ANSWER = "r:16 | r:8 f5:4 e5:4 | r:16 | r:4 e5:4 d5:4 c5:4 | r:16 | r:16 | r:16 | r:16 |"

BALLAD = {"k": "X.........x.....", "r": "....x.......x...", "p": "x.o.x.o.x.o.x.o."}
BALLAD_FILL = {"k": "X.........x.....", "r": "....x.......x.x.", "p": "x.o.x.o.x.o.xoxo"}


def build():
    song = ar.Song("Last Ferry", "l a s t   f e r r y", BPM, 32, 12, seed=404)
    song.add("kick", ins.kick(BPM, start=100.0, end=45.0, body=0.22, click=0.05, drive=1.1), 0.6)
    song.add("rim", ins.rim(BPM), 0.6)
    song.add("shaker", ins.shaker(BPM), 0.4)
    song.add("crash", ins.crash(BPM, ring=3.5, cutoff=4200.0), 0.32)
    song.add("bass", ins.sub_bass(BPM, warmth=0.3), 0.5)
    song.add("pad", ins.glass_pad(BPM), 0.4)
    song.add("piano", ins.piano(BPM), 0.6)
    song.add("flute", ins.flute(BPM), 0.52)
    song.pan[SHAKER] = 170
    song.pan[RIM] = 110
    song.pan[PIANO] = 100
    song.pan[KEYS] = 150
    song.pan[ECHO] = 175
    song.pan[FLUTE] = 128
    song.pan[PAD1], song.pan[PAD2], song.pan[PAD3] = 80, 128, 176
    kit = {"k": (KICK, "kick", 60), "r": (RIM, "rim", 60), "p": (SHAKER, "shaker", 60),
           "x": (CRASH, "crash", 60)}

    def bed(prog, piano_velocity=0.55, bass_rhythm="x..............."):
        ar.pad(song, PADS, "pad", prog, 55, 72, velocity=0.5)
        ar.arpeggio(song, PIANO, "piano", prog, 50, step=2, order=[0, 2, 4, 3, 5, 3, 4, 2],
                    notes=6, velocity=piano_velocity, accents="xooox-o-")
        ar.bass(song, BASS, "bass", prog, bass_rhythm, around=40, low=31, high=47)

    def tune(start, text, velocity=0.8):
        ar.melody(song, FLUTE, "flute", start, text, velocity=velocity)
        ar.echo(song, FLUTE, ECHO, 6, 0.35, bar(start), bar(start + 8))

    def drums(start, bars):
        for b in range(start, start + bars):
            ar.drums(song, kit, b, 1, BALLAD_FILL if (b - start) % 4 == 3 else BALLAD, humanize=0.1)

    # Intro: pad and piano alone.
    bed(ar.progression(INTRO, 0), piano_velocity=0.5, bass_rhythm="x...............")

    # A: the flute enters, the shaker joins for the second half.
    bed(ar.progression(VERSE, 4))
    tune(4, TUNE)
    ar.drums(song, kit, 8, 4, {"p": "x.o.x.o.x.o.x.o."}, humanize=0.1)

    # B: the tune climbs, the drums arrive.
    bed(ar.progression(CHORUS, 12), piano_velocity=0.6, bass_rhythm="x.......x.......")
    tune(12, CHORUS_TUNE, velocity=0.9)
    ar.hit(song, kit, "x", bar(12), 0.7)
    drums(12, 8)

    # Interlude: the piano carries a short line of its own, no drums.
    bed(ar.progression(INTERLUDE, 20), piano_velocity=0.45)
    ar.melody(song, KEYS, "piano", 20, INTERLUDE_TUNE, velocity=0.65)
    ar.echo(song, KEYS, ECHO, 6, 0.35, bar(20), bar(24))

    # Last A with the piano answering, drums to the end.
    bed(ar.progression(VERSE, 24), piano_velocity=0.55, bass_rhythm="x.......x.......")
    tune(24, TUNE_LAST, velocity=0.85)
    ar.melody(song, KEYS, "piano", 24, ANSWER, velocity=0.55)
    ar.hit(song, kit, "x", bar(24), 0.6)
    drums(24, 8)
    song.restart_bar = 4
    return song
