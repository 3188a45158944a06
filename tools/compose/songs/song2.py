"""Track 2: a laid-back swing in F major, 90 BPM.

Swung eighths (the rows of each beat alternate 7 and 5 ticks), tine piano
comping, a walking bass, brushes-and-ride drums, vibraphone and flute on
the tunes. Intro (4 bars) - A (8) - A again, answered (8) - bridge (8) -
vibes solo (8) - last phrase (4), then back to the first A.
"""

import arrange as ar
import instruments as ins
from arrange import bar

BPM = 90

KICK, SNARE, RIDE, HAT, BASS, EP1, EP2, EP3, EP4, VIBES, FLUTE, ECHO, GROOVE = range(13)
EPS = [EP1, EP2, EP3, EP4]

INTRO = "Fmaj9 | Dm9 | Gm9 | C13"
VERSE = "Gm9 | C13 | Fmaj9 | Dm9 | Bbmaj7 | Am7 D7b9 | Gm9 | C7sus4 C13"
BRIDGE = "Bbmaj9 | Eb9 | Am7 | D7b9 | Gm9 | Bbm9 Eb9 | Am7 D7b9 | Gm7 C7b9"
CODA = "Gm9 | C13 | Fmaj9 | Dm9 D7b9"

TUNE_A = """
r:2 d5:2 f5:2 a5:4 g5:2 f5:4 | e5:6 d5:2 bb4:4 a4:4 |
r:2 c5:2 e5:2 g5:6 a5:4 | f5:8 e5:4 r:4 |
r:2 f5:2 a5:2 d6:4 c6:2 a5:4 | g5:6 e5:2 f#5:4 eb5:4 |
d5:4 bb4:2 a4:2 bb4:4 d5:4 | f5:8 e5:4 r:4 |
"""

TUNE_A2 = """
r:2 d5:2 f5:2 a5:2 bb5:2 a5:2 g5:2 f5:2 | e5:4 g5:2 bb5:4 a5:2 g5:4 |
a5:6 g5:2 e5:4 c5:4 | d5:8 r:8 |
r:2 f5:2 a5:2 c6:2 d6:4 c6:4 | c6:4 a5:4 c6:2 a5:2 f#5:4 |
a5:4 g5:2 f5:2 d5:4 bb4:4 | c5:6 d5:2 e5:8 |
"""

# The flute's answers to the vibes in the second A: short phrases in the gaps.
ANSWER = """
r:16 | r:8 g5:2 a5:2 bb5:4 | r:16 | r:6 a5:2 c6:4 a5:4 |
r:16 | r:16 | r:16 | r:8 g5:4 bb5:4 |
"""

TUNE_B = """
d5:4 f5:4 a5:8 | g5:6 f5:2 db5:8 | c5:4 e5:4 g5:8 | a5:6 f#5:2 eb5:8 |
d5:4 f5:4 bb5:6 a5:2 | ab5:8 g5:8 | g5:4 e5:4 f#5:4 c5:4 | bb4:8 e5:4 g5:4 |
"""

SOLO = """
d5:2 f5:2 a5:2 bb5:2 a5:2 f5:2 d5:2 f5:2 | e5:2 g5:2 bb5:2 d6:2 c6:4 a5:4 |
g5:2 a5:2 c6:2 e6:2 d6:2 c6:2 a5:4 | f5:6 e5:2 d5:2 c5:2 a4:4 |
bb4:2 d5:2 f5:2 a5:2 c6:4 bb5:2 a5:2 | g5:2 e5:2 c5:2 e5:2 f#5:2 a5:2 c6:2 eb6:2 |
d6:4 bb5:2 a5:2 g5:2 f5:2 d5:4 | f5:4 g5:2 bb5:2 a5:8 |
"""

TUNE_CODA = """
r:2 d5:2 f5:2 a5:4 g5:2 f5:4 | e5:6 d5:2 bb4:4 a4:4 |
r:2 c5:2 e5:2 g5:6 a5:4 | f5:8 f#5:4 a5:4 |
"""

# Piano comping, two bars at a time: short chords on and around the beats.
COMP = "x.....x...._....x.....x...._....", "..x.....x..._.....x.....x..._..."
COMP_SOLO = "x.......x...._..", "..x...x.....x.._"

SWING = {"r": "x...x.o.x...x.o.", "h": "....o.......o...", "k": "o.........o.....",
         "s": "............x..."}
SWING_FILL = {"r": "x...x.o.x...x...", "h": "....o.......o...", "k": "o.........o.....",
              "s": "......-.....x.o-"}
BRUSH = {"r": "x...x.o.x...x.o.", "h": "....o.......o...", "k": "o.........o.....",
         "s": "..-...-...-.x.-."}


def build():
    song = ar.Song("Rain on Glass", "r a i n   o n   g l a s s", BPM, 40, 14, seed=202)
    song.add("kick", ins.kick(BPM, start=110.0, end=50.0, body=0.16, click=0.1, drive=1.2), 0.6)
    song.add("rim", ins.rim(BPM), 0.7)
    song.add("ride", ins.ride(BPM), 0.55)
    song.add("hat", ins.hihat(BPM, length=0.07, body=0.02, cutoff=6000.0), 0.45)
    song.add("bass", ins.round_bass(BPM), 0.75)
    song.add("piano", ins.electric_piano(BPM), 0.4)
    song.add("vibes", ins.vibes(BPM), 0.62)
    song.add("flute", ins.flute(BPM), 0.5)
    song.groove = (7, 7, 5, 5)
    song.groove_channel = GROOVE
    song.pan[RIDE] = 170
    song.pan[HAT] = 150
    song.pan[EP1], song.pan[EP2], song.pan[EP3], song.pan[EP4] = 90, 110, 130, 150
    song.pan[VIBES] = 115
    song.pan[FLUTE] = 150
    song.pan[ECHO] = 80
    kit = {"k": (KICK, "kick", 60), "s": (SNARE, "rim", 60), "r": (RIDE, "ride", 60),
           "h": (HAT, "hat", 60)}

    def comp(prog, rhythm, velocity=0.62):
        ar.pad(song, EPS, "piano", prog, 53, 72, velocity=velocity, rhythm=rhythm, max_span=13)

    def drums(start, bars, main, fill):
        for b in range(start, start + bars):
            ar.drums(song, kit, b, 1, fill if (b - start) % 4 == 3 else main, humanize=0.08)

    # Intro: piano, a two-beat bass and the ride, the kick joining later.
    intro = ar.progression(INTRO, 0)
    comp(intro, COMP[0] + COMP[1])
    ar.bass(song, BASS, "bass", intro, "x.......5.......", around=41)
    ar.drums(song, kit, 0, 2, {"r": "x...x.o.x...x.o.", "h": "....o.......o..."}, humanize=0.08)
    ar.drums(song, kit, 2, 2, SWING, humanize=0.08)

    def verse(start, tune, answer=None):
        prog = ar.progression(VERSE, start)
        comp(prog, COMP[0] + COMP[1])
        ar.walking_bass(song, BASS, "bass", prog, around=41, seed=start)
        ar.melody(song, VIBES, "vibes", start, tune, velocity=0.85)
        ar.echo(song, VIBES, ECHO, 6, 0.32, bar(start), bar(start + 8))
        if answer:
            ar.melody(song, FLUTE, "flute", start, answer, velocity=0.7)
        drums(start, 8, SWING, SWING_FILL)

    verse(4, TUNE_A)
    verse(12, TUNE_A2, ANSWER)

    # Bridge: the flute takes the tune, brushes under it, a two-feel bass.
    prog = ar.progression(BRIDGE, 20)
    comp(prog, "x.........._....x.........._....", velocity=0.55)
    ar.bass(song, BASS, "bass", prog, "x.......5.....^.", around=41)
    ar.melody(song, FLUTE, "flute", 20, TUNE_B, velocity=0.85)
    ar.echo(song, FLUTE, ECHO, 6, 0.3, bar(20), bar(28))
    drums(20, 8, BRUSH, SWING_FILL)

    # Vibes solo over the verse changes, the piano sparser.
    prog = ar.progression(VERSE, 28)
    comp(prog, COMP_SOLO[0] + COMP_SOLO[1], velocity=0.5)
    ar.walking_bass(song, BASS, "bass", prog, around=41, seed=28)
    ar.melody(song, VIBES, "vibes", 28, SOLO, velocity=0.9)
    drums(28, 8, SWING, SWING_FILL)

    # Last phrase, turning back to the top.
    prog = ar.progression(CODA, 36)
    comp(prog, COMP[0] + COMP[1])
    ar.walking_bass(song, BASS, "bass", prog, around=41, seed=36)
    ar.melody(song, VIBES, "vibes", 36, TUNE_CODA, velocity=0.85)
    ar.echo(song, VIBES, ECHO, 6, 0.32, bar(36), bar(40))
    drums(36, 4, SWING, SWING_FILL)
    song.restart_bar = 4
    return song
