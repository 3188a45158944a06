"""Track 1: the title theme. D major, 125 BPM, bright and forward.

Intro (8 bars) - A (8) - B (8) - A with harmony (8) - breakdown (8) -
B with harmony (8) - last A (8), then back to the first A.
"""

import arrange as ar
import instruments as ins
from arrange import bar

BPM = 125

KICK, SNARE, CLAP, HATS, CRASH, BASS, PAD1, PAD2, PAD3, ARP, LEAD, ECHO, HARM, PERC = range(14)
PADS = [PAD1, PAD2, PAD3]

D_MAJOR = [2, 4, 6, 7, 9, 11, 1]

INTRO = "Bm7 | G | D | A | Bm7 | G | Em7 | Asus4 A"
VERSE = "D | A/C# | Bm7 | G | D | A/C# | G | A"
VERSE_END = "D | A/C# | Bm7 | G | D | A/C# | G | A D"
BRIDGE = "Em7 | F#m7 | G | A | Em7 | F#m7 | G | Asus4 A"
BREAK = "Bm7 | G | D | A | Bm7 | G | Em7 | A"

THEME = """
a4:2 d5:2 f#5:3 e5:3 d5:2 e5:4 | e5:6 c#5:2 a4:4 r:4 |
b4:2 d5:2 f#5:3 e5:3 d5:2 f#5:4 | g5:6 f#5:2 e5:4 d5:2 e5:2 |
a4:2 d5:2 f#5:3 e5:3 d5:2 a5:4 | g5:2 f#5:2 e5:4 c#5:4 a4:4 |
b4:2 d5:2 g5:4 f#5:2 e5:2 d5:4 | e5:6 f#5:2 e5:4 c#5:4 |
"""

THEME_END = """
a4:2 d5:2 f#5:3 e5:3 d5:2 e5:4 | e5:6 c#5:2 a4:4 r:4 |
b4:2 d5:2 f#5:3 e5:3 d5:2 f#5:4 | g5:6 f#5:2 e5:4 d5:2 e5:2 |
a4:2 d5:2 f#5:3 e5:3 d5:2 a5:4 | g5:2 f#5:2 e5:4 c#5:4 a4:4 |
b4:2 d5:2 g5:4 f#5:2 e5:2 d5:4 | e5:4 c#5:4 d5:8 |
"""

BRIDGE_TUNE = """
r:2 e5:2 g5:2 b5:4 a5:2 g5:2 f#5:2 | a5:6 e5:2 c#5:4 e5:4 |
d5:2 g5:2 b5:3 a5:3 g5:2 f#5:4 | e5:6 a5:2 g5:4 f#5:2 e5:2 |
r:2 e5:2 g5:2 b5:4 d6:2 b5:2 a5:2 | c#6:6 a5:2 f#5:4 a5:4 |
b5:4 a5:2 g5:2 f#5:4 g5:2 a5:2 | a5:6 g5:2 f#5:4 e5:4 |
"""

BREAK_TUNE = """
f#5:8 e5:4 d5:4 | d5:8 b4:8 | a4:4 d5:4 f#5:4 a5:4 | e5:16 |
f#5:8 a5:4 b5:4 | b5:8 a5:4 g5:4 | g5:8 f#5:4 e5:4 | e5:12 r:4 |
"""

INTRO_CALL = """
r:16 | r:16 | r:16 | r:16 |
a4:2 d5:2 f#5:3 e5:3 d5:6 | r:16 | b4:2 d5:2 g5:4 f#5:2 e5:6 | r:16 |
"""

DRIVE = {"k": "X...X...X...X...", "s": "....X.......X...", "h": "o.x.o.x.o.x.o.xo"}
DRIVE_FILL = {"k": "X...X...X...X.x.", "s": "....X.....x.XxXX", "h": "o.x.o.x.o.x....."}
BRIGHT = {"k": "X...X...X...X...", "s": "....X.......X...", "c": "....X.......X...",
          "h": "x-xox-xox-xox-xo"}
BRIGHT_FILL = {"k": "X...X...X..xX...", "s": "....X..x.xX.XXXX", "c": "....X.......X...",
               "h": "x-xox-xox-xo...."}


def kit(song):
    return {"k": (KICK, "kick", 60), "s": (SNARE, "snare", 60), "c": (CLAP, "clap", 60),
            "h": (HATS, "hat", 60), "H": (HATS, "open hat", 60), "x": (CRASH, "crash", 60),
            "t": (PERC, "tom", 60), "T": (PERC, "tom", 55), "p": (PERC, "shaker", 60)}


def groove(song, drums, start, bars, main, fill, open_hats=True):
    """`bars` bars of `main`, every fourth bar a fill, open hats on the
    last off-beat of the other bars."""
    for b in range(start, start + bars):
        last = (b - start) % 4 == 3
        ar.drums(song, drums, b, 1, fill if last else main)
        if open_hats and not last:
            ar.hit(song, drums, "H", bar(b, 14), 0.55)


def build():
    song = ar.Song("Bright Horizon", "b r i g h t   h o r i z o n", BPM, 56, 14, seed=101)
    song.add("kick", ins.kick(BPM), 0.72)
    song.add("snare", ins.snare(BPM), 0.85)
    song.add("clap", ins.clap(BPM), 0.55)
    song.add("hat", ins.hihat(BPM), 0.45)
    song.add("open hat", ins.hihat(BPM, open_=True), 0.36)
    song.add("crash", ins.crash(BPM), 0.5)
    song.add("tom", ins.tom(BPM, pitch=120.0), 0.6)
    song.add("shaker", ins.shaker(BPM), 0.3)
    song.add("bass", ins.saw_bass(BPM), 0.78)
    song.add("pad", ins.saw_pad(BPM), 0.42)
    song.add("pluck", ins.pluck(BPM), 0.45)
    song.add("lead", ins.square_lead(BPM, width=0.35, cutoff=4200), 0.58)
    song.master = 1.0
    song.pan[HATS] = 170
    song.pan[ARP] = 80
    song.pan[ECHO] = 190
    song.pan[HARM] = 150
    song.pan[PAD1], song.pan[PAD2], song.pan[PAD3] = 96, 128, 160
    drums = kit(song)

    # Intro: the chords rise in on the pad, the arpeggio and hats join, the
    # bass and kick take over halfway and a tom fill leads into the theme.
    intro = ar.progression(INTRO, 0)
    ar.pad(song, PADS, "pad", intro, 57, 74, velocity=0.55)
    ar.arpeggio(song, ARP, "pluck", ar.progression(INTRO, 0), 62, step=2, order="updown",
                notes=6, velocity=0.55, accents="xoo-xo-o")
    ar.drums(song, drums, 2, 2, {"h": "..o...o...o...o."})
    ar.drums(song, drums, 4, 3, {"k": "X...X...X...X...", "h": "o.x.o.x.o.x.o.xo"})
    ar.drums(song, drums, 7, 1, {"k": "X...X...X.......", "t": "........x.x.", "T": "............x.x.",
                                  "h": "o.x.o.x........."})
    ar.bass(song, BASS, "bass", ar.progression("Bm7 | G | Em7 | Asus4 A", 4), "x.x.o.x.x.x.o.x.")
    ar.melody(song, LEAD, "lead", 0, INTRO_CALL, velocity=0.7)
    ar.echo(song, LEAD, ECHO, 3, 0.45, 0, bar(8))

    def verse(start, harmony, last=False):
        prog = ar.progression(VERSE_END if last else VERSE, start)
        ar.pad(song, PADS, "pad", prog, 57, 74, velocity=0.5)
        ar.bass(song, BASS, "bass", prog, "X.x.o.x.x.x.o.xo")
        ar.arpeggio(song, ARP, "pluck", prog, 62, step=2, order=[0, 2, 4, 2, 1, 3, 5, 3],
                    notes=6, velocity=0.5)
        events = ar.melody(song, LEAD, "lead", start, THEME_END if last else THEME, velocity=0.9)
        if harmony:
            ar.play(song, HARM, "lead", ar.harmonize(events, D_MAJOR, -2), velocity=0.55)
        ar.echo(song, LEAD, ECHO, 3, 0.4, bar(start), bar(start + 8))
        ar.hit(song, drums, "x", bar(start), 1.0)
        groove(song, drums, start, 8, DRIVE, DRIVE_FILL)

    def bridge(start, harmony):
        prog = ar.progression(BRIDGE, start)
        ar.pad(song, PADS, "pad", prog, 57, 74, velocity=0.55)
        ar.bass(song, BASS, "bass", prog, "X.xxo.x.X.xxo.x^")
        ar.arpeggio(song, ARP, "pluck", prog, 64, step=1, order="updown", notes=5,
                    velocity=0.42, accents="xo-o")
        events = ar.melody(song, LEAD, "lead", start, BRIDGE_TUNE, velocity=0.9)
        if harmony:
            ar.play(song, HARM, "lead", ar.harmonize(events, D_MAJOR, -2), velocity=0.5)
        ar.echo(song, LEAD, ECHO, 3, 0.4, bar(start), bar(start + 8))
        ar.hit(song, drums, "x", bar(start), 1.0)
        groove(song, drums, start, 8, BRIGHT, BRIGHT_FILL)

    verse(8, harmony=False)
    bridge(16, harmony=False)
    verse(24, harmony=True)

    # Breakdown: no kick for four bars, the tune slowed to long notes, then
    # the kick returns and the snare rolls up into the bridge.
    prog = ar.progression(BREAK, 32)
    ar.pad(song, PADS, "pad", prog, 57, 74, velocity=0.6)
    ar.arpeggio(song, ARP, "pluck", prog, 62, step=1, order="up", notes=7, velocity=0.4,
                accents="x-o-")
    ar.bass(song, BASS, "bass", prog, "x.......x.......")
    ar.melody(song, LEAD, "lead", 32, BREAK_TUNE, velocity=0.75)
    ar.echo(song, LEAD, ECHO, 6, 0.5, bar(32), bar(40))
    ar.hit(song, drums, "x", bar(32), 0.8)
    ar.drums(song, drums, 32, 4, {"p": "x.o.x.o.x.o.x.o.", "h": "..o...o...o...o."})
    ar.drums(song, drums, 36, 2, {"k": "X...X...X...X...", "p": "x.o.x.o.x.o.x.o.",
                                   "h": "..o...o...o...o."})
    ar.drums(song, drums, 38, 1, {"k": "X...X...X...X...", "s": "o...o...o...o.o.",
                                   "h": "o.x.o.x.o.x.o.x."})
    ar.drums(song, drums, 39, 1, {"k": "X...X...X...X...", "s": "o.o.x.x.xoxoXxXX",
                                   "h": "o.x.o.x.o.x....."})

    bridge(40, harmony=True)
    verse(48, harmony=True, last=True)
    ar.hit(song, drums, "x", bar(55, 8), 0.7)
    song.restart_bar = 8
    return song
