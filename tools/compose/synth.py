"""Instrument synthesis: wavetables built from harmonic partial lists, noise drums.

Tonal instruments are rendered by one engine: a few oscillator layers read
band-limited single-cycle tables, the table of each layer may morph over time
(a filter closing, an FM index falling), and the sample ends in a loop that
holds a whole number of cycles of every layer, so the tracker can sustain it
without a click. Drums are one-shot noise and sine bursts.

All randomness comes from generators seeded by the caller, so every run
writes the same bytes.
"""

import math
import random

TABLE_SIZE = 2048
_COS = [math.cos(2 * math.pi * i / TABLE_SIZE) for i in range(TABLE_SIZE)]
_SIN = [math.sin(2 * math.pi * i / TABLE_SIZE) for i in range(TABLE_SIZE)]


def midi_freq(midi):
    return 440.0 * 2.0 ** ((midi - 69) / 12.0)


# --- Partials: lists of (cos, sin) coefficients for harmonics 1..K -----------

def partials_saw(count):
    return [(0.0, 1.0 / k) for k in range(1, count + 1)]


def partials_square(count):
    return [(0.0, 1.0 / k if k % 2 else 0.0) for k in range(1, count + 1)]


def partials_triangle(count):
    out = []
    for k in range(1, count + 1):
        sign = 1.0 if (k // 2) % 2 == 0 else -1.0
        out.append((0.0, sign / (k * k) if k % 2 else 0.0))
    return out


def partials_sine():
    return [(0.0, 1.0)]


def partials_of(shape, count):
    """Band-limited copy of one period of shape(x), x in [0, 1)."""
    values = [shape(i / TABLE_SIZE) for i in range(TABLE_SIZE)]
    out = []
    for k in range(1, count + 1):
        re = im = 0.0
        for i, v in enumerate(values):
            j = (k * i) % TABLE_SIZE
            re += v * _COS[j]
            im += v * _SIN[j]
        out.append((2.0 * re / TABLE_SIZE, 2.0 * im / TABLE_SIZE))
    return out


def partials_pulse(width, count):
    return partials_of(lambda x: 1.0 if x < width else -1.0, count)


def partials_fm(index, ratio, count):
    """Two-operator FM with an integer ratio, so the result repeats every cycle."""
    def shape(x):
        phase = 2 * math.pi * x
        return math.sin(phase + index * math.sin(ratio * phase))
    return partials_of(shape, count)


def mixed(*parts):
    """Sum of (partials, gain) pairs."""
    size = max(len(s) for s, _ in parts)
    out = [(0.0, 0.0)] * size
    for partials, gain in parts:
        out = [(out[i][0] + (partials[i][0] * gain if i < len(partials) else 0.0),
                out[i][1] + (partials[i][1] * gain if i < len(partials) else 0.0))
               for i in range(size)]
    return out


def lowpass(partials, base_freq, cutoff, resonance=0.7, poles=2):
    """Shape the harmonics by the magnitude response of a resonant low-pass."""
    out = []
    for k, (a, b) in enumerate(partials, 1):
        r = k * base_freq / cutoff
        mag = 1.0 / math.sqrt((1 - r * r) ** 2 + (r / resonance) ** 2)
        mag **= poles / 2
        out.append((a * mag, b * mag))
    return out


def band_limit(partials, base_freq, top):
    """Drop harmonics above `top` Hz, with a gentle slope just below it, so a
    sample played higher than its base note does not fold back into noise."""
    out = []
    for k, (a, b) in enumerate(partials, 1):
        f = k * base_freq
        if f >= top:
            break
        fade = min(1.0, (top - f) / (0.25 * top))
        out.append((a * fade, b * fade))
    return out or [(0.0, 0.0)]


def table(partials):
    """One period of the wave as TABLE_SIZE points, peak 1."""
    values = [0.0] * TABLE_SIZE
    for k, (a, b) in enumerate(partials, 1):
        if a == 0.0 and b == 0.0:
            continue
        j = 0
        for i in range(TABLE_SIZE):
            values[i] += a * _COS[j] + b * _SIN[j]
            j += k
            if j >= TABLE_SIZE:
                j -= TABLE_SIZE
    peak = max(abs(v) for v in values) or 1.0
    return [v / peak for v in values]


# --- The tonal engine ---------------------------------------------------------

class Layer:
    """One oscillator: timbre keyframes [(seconds, partials)], a detune in
    whole cycles per loop, a gain and a start phase (0..1)."""

    def __init__(self, keyframes, detune=0, gain=1.0, phase=0.0):
        self.keyframes = keyframes
        self.detune = detune
        self.gain = gain
        self.phase = phase


def _interpolate(keyframes, t):
    """Index and weight of the two keyframes around time t."""
    if t <= keyframes[0][0]:
        return 0, 0.0
    for i in range(len(keyframes) - 1):
        t0, t1 = keyframes[i][0], keyframes[i + 1][0]
        if t < t1:
            return i, (t - t0) / (t1 - t0)
    return len(keyframes) - 1, 0.0


def _envelope(points, t):
    i, w = _interpolate(points, t)
    if w == 0.0:
        return points[i][1]
    return points[i][1] * (1 - w) + points[i + 1][1] * w


def render_tone(base_midi, period, loop_cycles, layers, amp=((0.0, 1.0),), attack_seconds=0.0, tail=0):
    """Render a looping tone.

    The sample rate is chosen so that one cycle of the base note lasts
    `period` samples; the loop holds `loop_cycles` cycles and every layer's
    detune is a whole number of cycles per loop, so the loop end meets its
    start exactly. Timbre and amplitude may change during the attack part,
    which lasts until the last keyframe (at least `attack_seconds`).
    `tail` renders that many samples past the loop's end, which a check can
    compare with the loop's first samples. Returns (values, rate,
    loop_start, loop_length).
    """
    rate = midi_freq(base_midi) * period
    loop_length = period * loop_cycles
    last = max([attack_seconds, amp[-1][0]] + [l.keyframes[-1][0] for l in layers])
    loop_start = int(math.ceil(last * rate))
    total = loop_start + loop_length + tail
    out = [0.0] * total
    for layer in layers:
        tables = [table(s) for _, s in layer.keyframes]
        marks = [(t, None) for t, _ in layer.keyframes]
        step = (loop_cycles + layer.detune) / loop_length * TABLE_SIZE
        pos = layer.phase * TABLE_SIZE
        for n in range(total):
            idx = int(pos)
            frac = pos - idx
            nxt = (idx + 1) % TABLE_SIZE
            i, w = _interpolate(marks, n / rate) if len(tables) > 1 else (0, 0.0)
            ta = tables[i]
            v = ta[idx] + (ta[nxt] - ta[idx]) * frac
            if w:
                tb = tables[i + 1]
                v = v * (1 - w) + (tb[idx] + (tb[nxt] - tb[idx]) * frac) * w
            out[n] += v * layer.gain
            pos += step
            if pos >= TABLE_SIZE:
                pos -= TABLE_SIZE
    for n in range(loop_start):
        out[n] *= _envelope(amp, n / rate)
    hold = amp[-1][1]
    for n in range(loop_start, total):
        out[n] *= hold
    return out, rate, loop_start, loop_length


# --- Time-domain filters and noise ------------------------------------------

class Biquad:
    """Second-order filter with the usual cookbook coefficients."""

    def __init__(self, kind, rate, freq, q=0.707):
        w = 2 * math.pi * min(freq, rate * 0.45) / rate
        alpha = math.sin(w) / (2 * q)
        c = math.cos(w)
        if kind == "lowpass":
            b = [(1 - c) / 2, 1 - c, (1 - c) / 2]
        elif kind == "highpass":
            b = [(1 + c) / 2, -(1 + c), (1 + c) / 2]
        elif kind == "bandpass":
            b = [alpha, 0.0, -alpha]
        else:
            raise ValueError(kind)
        a0 = 1 + alpha
        self.b = [x / a0 for x in b]
        self.a = [-2 * c / a0, (1 - alpha) / a0]
        self.z = [0.0, 0.0, 0.0, 0.0]

    def run(self, values):
        b0, b1, b2 = self.b
        a1, a2 = self.a
        x1, x2, y1, y2 = self.z
        out = []
        for x in values:
            y = b0 * x + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2
            x2, x1 = x1, x
            y2, y1 = y1, y
            out.append(y)
        self.z = [x1, x2, y1, y2]
        return out


def white(rng, count):
    return [rng.uniform(-1.0, 1.0) for _ in range(count)]


def decay(count, rate, seconds, curve=1.0):
    """Exponential fall to 1/e in `seconds`."""
    return [math.exp(-((n / rate) / seconds) ** curve) for n in range(count)]


def times(a, b):
    return [x * y for x, y in zip(a, b)]


def add(*signals):
    size = max(len(s) for s in signals)
    out = [0.0] * size
    for s in signals:
        for i, v in enumerate(s):
            out[i] += v
    return out


def gain(values, g):
    return [v * g for v in values]


def normalized(values, peak=1.0):
    top = max(abs(v) for v in values) or 1.0
    return [v * peak / top for v in values]


def soft_clip(values, drive):
    norm = math.tanh(drive)
    return [math.tanh(v * drive) / norm for v in values]


# --- Drums -------------------------------------------------------------------------

def kick(rate, seed, start=160.0, end=48.0, sweep=0.035, length=0.36, body=0.2,
         click=0.35, drive=1.6):
    rng = random.Random(seed)
    count = int(rate * length)
    out = []
    phase = 0.0
    for n in range(count):
        t = n / rate
        f = end + (start - end) * math.exp(-t / sweep)
        phase += 2 * math.pi * f / rate
        env = math.exp(-t / body) * min(1.0, t / 0.002 + 0.2)
        out.append(math.sin(phase) * env)
    burst = times(Biquad("bandpass", rate, 3000, 0.8).run(white(rng, count)),
                  decay(count, rate, 0.004))
    out = add(out, gain(burst, click))
    return _fade_tail(soft_clip(normalized(out), drive), rate)


def snare(rate, seed, tone=(185.0, 330.0), tone_decay=0.06, noise_decay=0.14,
          noise_band=(1800.0, 9000.0), noise_level=0.9, length=0.32, drive=2.2):
    rng = random.Random(seed)
    count = int(rate * length)
    body = [0.0] * count
    for i, f in enumerate(tone):
        w = 2 * math.pi * f / rate
        level = 1.0 if i == 0 else 0.5
        for n in range(count):
            body[n] += level * math.sin(w * n) * math.exp(-(n / rate) / tone_decay)
    noise = white(rng, count)
    noise = Biquad("highpass", rate, noise_band[0], 0.7).run(noise)
    noise = Biquad("lowpass", rate, noise_band[1], 0.7).run(noise)
    noise = times(noise, decay(count, rate, noise_decay))
    mix = normalized(add(gain(normalized(body), 0.7), gain(normalized(noise), noise_level)))
    # Saturation thickens the crack so it holds up against a long kick.
    return _fade_tail(soft_clip(mix, drive), rate)


def clap(rate, seed, length=0.35, centre=1300.0, bursts=4, spacing=0.011, tail=0.11):
    rng = random.Random(seed)
    count = int(rate * length)
    env = [0.0] * count
    for n in range(count):
        t = n / rate
        level = 0.0
        for b in range(bursts):
            start = b * spacing
            if t >= start:
                width = 0.004 if b < bursts - 1 else tail
                level = max(level, math.exp(-(t - start) / width))
        env[n] = level
    noise = Biquad("bandpass", rate, centre, 1.1).run(white(rng, count))
    noise = Biquad("highpass", rate, 600, 0.7).run(noise)
    return _fade_tail(soft_clip(normalized(times(noise, env)), 1.8), rate)


_METAL_RATIOS = (1.0, 1.483, 1.932, 2.546, 2.63, 3.897)


def metal(rate, count, base=330.0):
    """Six square waves at inharmonic ratios: the ring of a cymbal."""
    out = [0.0] * count
    for ratio in _METAL_RATIOS:
        step = base * ratio / rate
        pos = 0.0
        for n in range(count):
            out[n] += 1.0 if pos < 0.5 else -1.0
            pos += step
            if pos >= 1.0:
                pos -= 1.0
    return out


def hihat(rate, seed, length=0.09, body=0.028, tone=0.5, cutoff=7000.0):
    rng = random.Random(seed)
    count = int(rate * length)
    raw = add(gain(metal(rate, count), tone / 6), gain(white(rng, count), 1 - tone))
    raw = Biquad("highpass", rate, cutoff, 0.9).run(raw)
    raw = Biquad("highpass", rate, cutoff * 0.8, 0.7).run(raw)
    return _fade_tail(normalized(times(raw, decay(count, rate, body))), rate)


def cymbal(rate, seed, attack=0.05, loop=0.35, cutoff=5200.0, tone=0.45, base=410.0):
    """Crash or ride: an attack, then a stretch of steady noise that the
    tracker loops while the volume envelope lets it ring out. Returns
    (values, loop_start)."""
    rng = random.Random(seed)
    count = int(rate * (attack + loop))
    raw = add(gain(metal(rate, count, base), tone / 6), gain(white(rng, count), 1 - tone))
    raw = Biquad("highpass", rate, cutoff, 0.8).run(raw)
    raw = Biquad("highpass", rate, cutoff * 0.7, 0.7).run(raw)
    start = int(rate * attack)
    shaped = []
    for n, v in enumerate(raw):
        t = n / rate
        level = 1.0 if n >= start else 1.0 + 1.2 * (1 - t / attack)
        shaped.append(v * level)
    # Blend the loop's last few ms into its first ones so the seam is silent.
    blend = int(rate * 0.01)
    end = count - blend
    for i in range(blend):
        w = i / blend
        shaped[start + i] = shaped[start + i] * w + shaped[end + i] * (1 - w)
    shaped = shaped[:end]
    return normalized(shaped), start


def tom(rate, seed, pitch=110.0, length=0.45):
    rng = random.Random(seed)
    count = int(rate * length)
    out = []
    phase = 0.0
    for n in range(count):
        t = n / rate
        f = pitch * (1 + 0.6 * math.exp(-t / 0.03))
        phase += 2 * math.pi * f / rate
        out.append(math.sin(phase) * math.exp(-t / 0.16))
    skin = times(Biquad("bandpass", rate, pitch * 6, 1.0).run(white(rng, count)), decay(count, rate, 0.02))
    return _fade_tail(normalized(add(out, gain(skin, 0.3))), rate)


def shaker(rate, seed, length=0.12):
    rng = random.Random(seed)
    count = int(rate * length)
    env = [min(1.0, (n / rate) / 0.015) * math.exp(-(n / rate) / 0.035) for n in range(count)]
    noise = Biquad("bandpass", rate, 6500, 1.2).run(white(rng, count))
    return _fade_tail(normalized(times(noise, env)), rate)


def rim(rate, seed, length=0.08):
    rng = random.Random(seed)
    count = int(rate * length)
    out = [math.sin(2 * math.pi * 1650 * n / rate) * math.exp(-(n / rate) / 0.012)
           + 0.6 * math.sin(2 * math.pi * 520 * n / rate) * math.exp(-(n / rate) / 0.02)
           for n in range(count)]
    tick = times(Biquad("highpass", rate, 3000).run(white(rng, count)), decay(count, rate, 0.003))
    return _fade_tail(normalized(add(out, gain(tick, 0.5))), rate)


def chip_noise(rate, length, period_samples, short_mode, seed_state=1, decay_seconds=None):
    """The noise of a 15-bit shift register clocked every `period_samples`
    samples; short mode taps bit 6 and rings with a metallic buzz."""
    count = int(rate * length)
    state = seed_state
    out = []
    bit = 1.0
    for n in range(count):
        if n % period_samples == 0:
            tap = 6 if short_mode else 1
            feedback = (state ^ (state >> tap)) & 1
            state = (state >> 1) | (feedback << 14)
            bit = 1.0 if state & 1 else -1.0
        out.append(bit)
    if decay_seconds:
        out = times(out, decay(count, rate, decay_seconds))
    return _fade_tail(out, rate)


def chip_kick(rate, length=0.18):
    """A triangle dropping fast in pitch, as simple sound chips do it."""
    count = int(rate * length)
    out = []
    pos = 0.0
    for n in range(count):
        t = n / rate
        f = 55 + 240 * math.exp(-t / 0.025)
        pos = (pos + f / rate) % 1.0
        tri = 4 * abs(pos - 0.5) - 1
        level = math.exp(-t / 0.09)
        out.append(round(tri * 8) / 8 * level)     # 4-bit steps, for the grit
    return _fade_tail(out, rate)


def _fade_tail(values, rate, seconds=0.004):
    """Ramp the last few milliseconds to zero so a one-shot never ends in a click."""
    count = min(len(values), int(rate * seconds))
    out = list(values)
    for i in range(count):
        out[len(out) - count + i] *= 1 - (i + 1) / count
    return out


def to_pcm16(values, peak=0.97):
    top = max(abs(v) for v in values) or 1.0
    scale = 32767 * peak / top
    return [max(-32768, min(32767, int(round(v * scale)))) for v in values]
