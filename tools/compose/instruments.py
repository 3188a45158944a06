"""The instrument rack: synthesised sounds wrapped as XM instruments.

Envelope times are given in seconds and turned into ticks for the song's
tempo (a tick lasts 2.5 / BPM seconds), so a sound keeps its shape in every
song that uses it.
"""

import synth
import xm
from synth import Layer, midi_freq

DRUM_NOTE = 60          # drums sound at their own rate on this note


def ticks(bpm, seconds):
    return max(0, round(seconds * bpm * 0.4))


def envelope(bpm, points, sustain=-1):
    """Points of (seconds, level 0..1)."""
    out = []
    for seconds, level in points:
        t = ticks(bpm, seconds)
        if out and t <= out[-1][0]:
            t = out[-1][0] + 1
        out.append((t, max(0, min(64, round(level * 64)))))
    return xm.Envelope(out, sustain)


def fadeout(bpm, seconds):
    """Fade value that silences a released note in about `seconds`."""
    return max(1, min(0xFFF, round(32768 / max(1.0, seconds * bpm * 0.4))))


def vibrato(bpm, hz, depth, delay):
    rate = max(1, min(63, round(hz * 256 / (bpm * 0.4))))
    return (0, min(255, ticks(bpm, delay)), depth, rate)


def wrap(name, values, rate, base_midi, bpm, points, sustain=-1, release=0.2, loop=None,
         vib=(0, 0, 0, 0), pan=128):
    pcm = synth.to_pcm16(values)
    start, length = loop or (0, 0)
    sample = xm.Sample(name, pcm, rate, base_midi, start, length, 64, pan)
    return xm.Instrument(name, sample, envelope(bpm, points, sustain), fadeout(bpm, release), vib)


def tone(name, bpm, base_midi, period, cycles, layers, amp=((0.0, 1.0),), points=((0, 1),),
         sustain=-1, release=0.2, vib=(0, 0, 0, 0)):
    values, rate, start, length = synth.render_tone(base_midi, period, cycles, layers, amp)
    return wrap(name, values, rate, base_midi, bpm, points, sustain, release, (start, length), vib)


def _limit(base_midi, top=7000.0):
    return lambda partials: synth.band_limit(partials, midi_freq(base_midi), top)


# --- Pads ------------------------------------------------------------------------------------

def saw_pad(bpm, cutoff=2400.0, attack=0.35, release=0.9, detune=(-1, 0, 1), name="saw pad"):
    """Three detuned band-limited saws through a soft low-pass: a wide,
    slowly beating chord pad."""
    base = 48
    f0 = midi_freq(base)
    partials = _limit(base, 6000)(synth.lowpass(synth.partials_saw(80), f0, cutoff, 0.8))
    layers = [Layer([(0, partials)], d, 1.0, phase=i * 0.31) for i, d in enumerate(detune)]
    return tone(name, bpm, base, 128, 128, layers,
                points=((0, 0), (attack, 1.0), (attack + 0.6, 0.85)), sustain=2,
                release=release)


def glass_pad(bpm, attack=1.2, release=1.6, name="glass pad"):
    """Soft triangles with a sprinkle of upper partials: a calm ambient bed."""
    base = 48
    tri = synth.partials_triangle(24)
    shine = [(0.0, 0.0)] * 3 + [(0.0, 0.12), (0.0, 0.0), (0.0, 0.07), (0.0, 0.0), (0.0, 0.05)]
    partials = _limit(base, 5000)(synth.mixed((tri, 1.0), (shine, 1.0)))
    layers = [Layer([(0, partials)], -1, 0.9), Layer([(0, partials)], 1, 0.9, 0.4),
              Layer([(0, synth.partials_sine())], 0, 0.6, 0.2)]
    return tone(name, bpm, base, 128, 128, layers,
                points=((0, 0), (attack, 1.0), (attack + 1.5, 0.8)), sustain=2, release=release)


def organ(bpm, name="organ"):
    """Drawbar-style sine stack with a little chorus: warm sustained chords."""
    base = 60
    parts = [(1, 1.0), (2, 0.55), (3, 0.35), (4, 0.25), (6, 0.12), (8, 0.08)]
    size = 8
    partials = [(0.0, 0.0)] * size
    for k, a in parts:
        partials[k - 1] = (0.0, a)
    layers = [Layer([(0, partials)], 0, 1.0), Layer([(0, partials)], 1, 0.45, 0.3)]
    return tone(name, bpm, base, 64, 128, layers,
                points=((0, 0), (0.03, 1.0), (0.5, 0.8)), sustain=2, release=0.25)


# --- Basses -----------------------------------------------------------------------------------

def saw_bass(bpm, bright=2600.0, dark=420.0, sweep=0.18, resonance=1.6, name="saw bass"):
    """A saw with its filter closing quickly after each note: the punchy
    bass of dance music. A sine an octave down gives it weight."""
    base = 36
    f0 = midi_freq(base)
    saw = synth.partials_saw(100)
    frames = []
    for i, t in enumerate((0.0, sweep * 0.3, sweep * 0.65, sweep)):
        cutoff = bright * (dark / bright) ** (i / 3)
        frames.append((t, _limit(base, 6000)(synth.lowpass(saw, f0, cutoff, resonance, 4))))
    layers = [Layer(frames, 0, 1.0), Layer([(0, synth.partials_sine())], 0, 0.55, 0.25)]
    return tone(name, bpm, base, 256, 16, layers,
                points=((0, 1.0), (0.25, 0.8)), sustain=1, release=0.08)


def sub_bass(bpm, name="sub bass", warmth=0.2):
    base = 36
    partials = [(0.0, 1.0), (0.0, warmth), (0.0, warmth * 0.35)]
    return tone(name, bpm, base, 256, 8, [Layer([(0, partials)], 0, 1.0)],
                points=((0, 0.0), (0.01, 1.0), (0.4, 0.85)), sustain=2, release=0.12)


def round_bass(bpm, name="round bass"):
    """Plucked, rounded: a fast thump of upper partials settling into a
    soft fundamental, for the walking lines of the quiet songs."""
    base = 36
    f0 = midi_freq(base)
    tri = synth.partials_triangle(40)
    saw = synth.partials_saw(40)
    frames = [(0.0, synth.lowpass(saw, f0, 1400, 0.9, 4)), (0.05, synth.lowpass(saw, f0, 500, 0.8, 4)),
              (0.25, synth.mixed((tri, 0.6), (synth.partials_sine(), 0.8)))]
    frames = [(t, _limit(base, 5000)(s)) for t, s in frames]
    return tone(name, bpm, base, 256, 16, [Layer(frames)],
                amp=((0, 1.0), (0.25, 0.7)),
                points=((0, 1.0), (0.6, 0.55), (2.5, 0.2), (4.0, 0.0)), release=0.12)


def fm_bass(bpm, name="fm bass"):
    """A growling two-operator bass whose brightness falls after the attack."""
    base = 36
    frames = [(t, _limit(base, 5000)(synth.partials_fm(i, 1, 48)))
              for t, i in ((0.0, 3.2), (0.06, 2.0), (0.16, 1.3), (0.3, 1.0))]
    return tone(name, bpm, base, 256, 16, [Layer(frames), Layer([(0, synth.partials_sine())], 0, 0.5)],
                points=((0, 1.0), (0.3, 0.8)), sustain=1, release=0.07)


# --- Keys and plucks --------------------------------------------------------------------------

def pluck(bpm, bright=5200.0, ring=0.7, name="pluck"):
    """A bright pick that darkens and fades: arpeggios and counter lines."""
    base = 60
    f0 = midi_freq(base)
    saw = synth.partials_saw(40)
    sq = synth.partials_pulse(0.3, 40)
    source = synth.mixed((saw, 0.6), (sq, 0.5))
    frames = [(t, _limit(base, 7000)(synth.lowpass(source, f0, c, 1.0, 2)))
              for t, c in ((0.0, bright), (0.04, bright * 0.45), (0.12, bright * 0.2), (0.3, 700))]
    return tone(name, bpm, base, 64, 128, [Layer(frames), Layer(frames, 1, 0.4, 0.3)],
                amp=((0, 1.0), (0.3, 0.55)),
                points=((0, 1.0), (ring * 0.3, 0.55), (ring, 0.18), (ring * 2.2, 0.0)), release=0.1)


def electric_piano(bpm, name="e-piano"):
    """FM tine piano: a bell-like bark at the strike that mellows into a
    round tone, with a quick metallic tine on top."""
    base = 60
    body = [(t, _limit(base, 6000)(synth.partials_fm(i, 1, 24)))
            for t, i in ((0.0, 1.9), (0.08, 1.1), (0.3, 0.6), (0.7, 0.35))]
    tine_partials = [(0.0, 0.0)] * 13 + [(0.0, 1.0)]
    silent = [(0.0, 0.0)]
    tine = Layer([(0.0, _limit(base, 9000)(tine_partials)), (0.06, silent), (0.7, silent)], 0, 0.35)
    return tone(name, bpm, base, 64, 64, [Layer(body), tine],
                amp=((0, 1.0), (0.7, 0.6)),
                points=((0, 1.0), (0.8, 0.6), (2.5, 0.3), (5.0, 0.0)), release=0.25)


def vibes(bpm, name="vibes"):
    """Mallet bell: FM at ratio 4 whose shimmer dies away first."""
    base = 72
    frames = [(t, _limit(base, 9000)(synth.mixed((synth.partials_fm(i, 4, 24), 1.0),
                                                 (synth.partials_sine(), 0.6))))
              for t, i in ((0.0, 1.4), (0.1, 0.7), (0.5, 0.25))]
    return tone(name, bpm, base, 32, 64, [Layer(frames)],
                amp=((0, 1.0), (0.5, 0.7)),
                points=((0, 1.0), (0.3, 0.7), (1.5, 0.3), (3.5, 0.0)), release=0.3,
                vib=vibrato(bpm, 5.0, 3, 0.2))


def piano(bpm, name="soft piano"):
    """A felt-hammer piano: the partials decay at different speeds."""
    base = 60
    amps = [1.0, 0.5, 0.3, 0.22, 0.12, 0.1, 0.06, 0.04, 0.03, 0.02]

    def at(t):
        partials = []
        for k, a in enumerate(amps, 1):
            partials.append((0.0, a * (0.15 + 0.85 * 2.718 ** (-t * k * 2.2))))
        return partials
    frames = [(t, _limit(base, 7000)(at(t))) for t in (0.0, 0.1, 0.3, 0.7)]
    return tone(name, bpm, base, 64, 128, [Layer(frames), Layer(frames, 1, 0.3, 0.5)],
                amp=((0, 1.0), (0.7, 0.6)),
                points=((0, 1.0), (0.5, 0.6), (2.0, 0.3), (5.0, 0.0)), release=0.35)


# --- Leads ----------------------------------------------------------------------------------------

def square_lead(bpm, width=0.5, cutoff=5000.0, name="square lead", depth=6):
    base = 72
    f0 = midi_freq(base)
    partials = _limit(base, 9000)(synth.lowpass(synth.partials_pulse(width, 24), f0, cutoff, 0.9))
    layers = [Layer([(0, partials)], 0, 1.0), Layer([(0, partials)], 1, 0.4, 0.25)]
    return tone(name, bpm, base, 32, 128, layers,
                points=((0, 0.0), (0.01, 1.0), (0.3, 0.8)), sustain=2, release=0.12,
                vib=vibrato(bpm, 5.5, depth, 0.3))


def saw_lead(bpm, cutoff=4200.0, name="saw lead", depth=6):
    base = 72
    f0 = midi_freq(base)
    partials = _limit(base, 9000)(synth.lowpass(synth.partials_saw(24), f0, cutoff, 1.2))
    layers = [Layer([(0, partials)], -1, 0.8), Layer([(0, partials)], 1, 0.8, 0.5)]
    return tone(name, bpm, base, 32, 256, layers,
                points=((0, 0.0), (0.01, 1.0), (0.4, 0.85)), sustain=2, release=0.15,
                vib=vibrato(bpm, 5.0, depth, 0.35))


def flute(bpm, name="soft flute"):
    """A near-sine voice with a gentle breathy edge and slow vibrato."""
    base = 72
    partials = [(0.0, 1.0), (0.0, 0.22), (0.0, 0.1), (0.0, 0.04), (0.0, 0.02)]
    attack_partials = [(0.0, 1.0), (0.0, 0.4), (0.0, 0.3), (0.0, 0.15), (0.0, 0.08)]
    return tone(name, bpm, base, 32, 64, [Layer([(0, attack_partials), (0.12, partials)])],
                points=((0, 0.0), (0.07, 1.0), (0.5, 0.85)), sustain=2, release=0.3,
                vib=vibrato(bpm, 4.8, 10, 0.35))


# --- Sound-chip voices ---------------------------------------------------------------------------

def chip_pulse(bpm, width, name, points=((0, 1.0), (0.1, 0.75)), sustain=1, release=0.05,
               vib=(0, 0, 0, 0)):
    """A raw pulse wave of 32 steps, one cycle looped, no band-limiting: the
    sharp edges are the sound."""
    base = 72
    high = round(32 * width)
    values = [0.8 if i < high else -0.8 for i in range(32)]
    rate = midi_freq(base) * 32
    return wrap(name, values, rate, base, bpm, points, sustain, release, (0, 32), vib)


def chip_triangle(bpm, name="chip triangle"):
    """A 4-bit staircase triangle, the usual bass voice of a sound chip."""
    base = 48
    steps = list(range(16)) + list(range(15, -1, -1))
    values = [(s - 7.5) / 7.5 for s in steps]
    rate = midi_freq(base) * 32
    return wrap(name, values, rate, base, bpm, ((0, 1.0), (0.2, 1.0)), 1, 0.03, (0, 32))


# --- Drums -----------------------------------------------------------------------------------------

def drum(name, values, rate, bpm, release=0.05, loop=None, points=((0, 1.0),)):
    return wrap(name, values, rate, DRUM_NOTE, bpm, points, -1, release, loop)


def kick(bpm, seed=11, **kw):
    return drum("kick", synth.kick(22050, seed, **kw), 22050, bpm)


def snare(bpm, seed=12, **kw):
    return drum("snare", synth.snare(22050, seed, **kw), 22050, bpm)


def clap(bpm, seed=13, **kw):
    return drum("clap", synth.clap(22050, seed, **kw), 22050, bpm)


def hihat(bpm, seed=14, open_=False, **kw):
    if open_:
        kw.setdefault("length", 0.42)
        kw.setdefault("body", 0.16)
    return drum("open hat" if open_ else "hihat", synth.hihat(32000, seed, **kw), 32000, bpm)


def crash(bpm, seed=15, ring=2.2, name="crash", **kw):
    values, start = synth.cymbal(32000, seed, **kw)
    return drum(name, values, 32000, bpm, 0.3, (start, len(values) - start),
                ((0, 1.0), (0.05, 0.7), (ring * 0.4, 0.3), (ring, 0.0)))


def ride(bpm, seed=16):
    values, start = synth.cymbal(32000, seed, attack=0.03, loop=0.3, cutoff=3800, tone=0.7, base=520)
    return drum("ride", values, 32000, bpm, 0.3, (start, len(values) - start),
                ((0, 1.0), (0.03, 0.55), (0.4, 0.3), (1.6, 0.0)))


def tom(bpm, seed=17, pitch=110.0):
    return drum("tom", synth.tom(22050, seed, pitch), 22050, bpm)


def shaker(bpm, seed=18):
    return drum("shaker", synth.shaker(32000, seed), 32000, bpm)


def rim(bpm, seed=19):
    return drum("rim", synth.rim(22050, seed), 22050, bpm)


def chip_noise(bpm, short=False, length=0.12, period=2, decay_seconds=0.05, name="chip noise"):
    rate = 22050
    return drum(name, synth.chip_noise(rate, length, period, short, 1, decay_seconds), rate, bpm)


def chip_kick(bpm):
    return drum("chip kick", synth.chip_kick(22050), 22050, bpm)
