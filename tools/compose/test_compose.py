#!/usr/bin/env python3
"""Checks of the composer: the XM bytes read back as written, instruments
are in tune and loop without a seam, the note language catches miscounted
bars, and every song is a well-formed track of the right length.

    python3 tools/compose/test_compose.py
"""

import math
import os
import struct
import sys
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

import arrange as ar          # noqa: E402
import compose                # noqa: E402
import instruments as ins     # noqa: E402
import synth                  # noqa: E402
import theory                 # noqa: E402
import xm                     # noqa: E402


def read_xm(data):
    """A small independent reader: header, unpacked patterns, samples."""
    assert data[:17] == b"Extended Module: "
    assert data[37] == 0x1A
    (version,) = struct.unpack_from("<H", data, 58)
    header_size, length, restart, channels, npat, ninst, flags, speed, bpm = struct.unpack_from(
        "<IHHHHHHHH", data, 60)
    orders = list(data[80:80 + length])
    pos = 60 + header_size
    patterns = []
    for _ in range(npat):
        plen, _packing, rows, size = struct.unpack_from("<IBHH", data, pos)
        pos += plen
        body = data[pos:pos + size]
        pos += size
        cells, i = [], 0
        while i < len(body):
            first = body[i]
            i += 1
            if first & 0x80:
                values = []
                for bit in range(5):
                    if first & (1 << bit):
                        values.append(body[i])
                        i += 1
                    else:
                        values.append(0)
            else:
                values = [first] + list(body[i:i + 4])
                i += 4
            cells.append(tuple(values))
        assert len(cells) == rows * channels, (len(cells), rows, channels)
        patterns.append([cells[r * channels:(r + 1) * channels] for r in range(rows)])
    samples = []
    for _ in range(ninst):
        (isize,) = struct.unpack_from("<I", data, pos)
        (nsamples,) = struct.unpack_from("<H", data, pos + 27)
        headers = []
        hpos = pos + isize
        for _ in range(nsamples):
            length_b, loop_start_b, loop_len_b, vol, fine, kind, pan, rel = struct.unpack_from(
                "<IIIBbBBb", data, hpos)
            headers.append((length_b, loop_start_b, loop_len_b, vol, fine, kind, pan, rel))
            hpos += 40
        for length_b, loop_start_b, loop_len_b, vol, fine, kind, pan, rel in headers:
            assert kind & 0x10, "16-bit data"
            deltas = struct.unpack_from(f"<{length_b // 2}h", data, hpos)
            hpos += length_b
            values, acc = [], 0
            for d in deltas:
                acc = (acc + d + 32768) % 65536 - 32768
                values.append(acc)
            samples.append({"data": values, "loop": (loop_start_b // 2, loop_len_b // 2),
                            "finetune": fine, "relnote": rel, "volume": vol})
        pos = hpos
    assert pos == len(data), "nothing after the last sample"
    return {"version": version, "orders": orders, "restart": restart, "channels": channels,
            "speed": speed, "bpm": bpm, "flags": flags, "patterns": patterns, "samples": samples}


def tiny_instrument(name="t", data=None, loop=(0, 0)):
    sample = xm.Sample(name, data or [0, 1000, -1000, 32767, -32768, 5], 8363.0, 60, *loop)
    return xm.Instrument(name, sample, xm.Envelope([(0, 64), (10, 32)], 0), 100)


class XmWriterTest(unittest.TestCase):
    def test_round_trip_of_header_cells_and_samples(self):
        rows = [[xm.Cell() for _ in range(4)] for _ in range(8)]
        rows[0][1] = xm.Cell(49, 1, 40, xm.FX_PANNING, 0x80)
        rows[3][0] = xm.Cell(xm.NOTE_OFF)
        rows[5][3] = xm.Cell(0, 0, -1, xm.FX_ARPEGGIO, 0x47)      # effect 0 with a parameter
        rows[7][2] = xm.Cell(96, 2, 0)                            # volume 0 is not "no volume"
        data = [0, 32767, -32768, 12345, -1, 0]
        module = xm.Module("round trip", 4, 5, 133, [tiny_instrument(), tiny_instrument("u", data, (2, 3))],
                           [xm.Pattern(rows)], [0, 0, 0], restart=1)
        back = read_xm(module.to_bytes())
        self.assertEqual(back["version"], 0x0104)
        self.assertEqual((back["channels"], back["speed"], back["bpm"]), (4, 5, 133))
        self.assertEqual(back["orders"], [0, 0, 0])
        self.assertEqual(back["restart"], 1)
        self.assertEqual(back["flags"] & 1, 1, "linear frequency table")
        cells = back["patterns"][0]
        self.assertEqual(cells[0][1], (49, 1, 0x10 + 40, xm.FX_PANNING, 0x80))
        self.assertEqual(cells[3][0], (xm.NOTE_OFF, 0, 0, 0, 0))
        self.assertEqual(cells[5][3], (0, 0, 0, 0, 0x47))
        self.assertEqual(cells[7][2], (96, 2, 0x10, 0, 0))
        self.assertEqual(cells[1][1], (0, 0, 0, 0, 0))
        self.assertEqual(back["samples"][1]["data"], data, "delta coding survives the extremes")
        self.assertEqual(back["samples"][1]["loop"], (2, 3))

    def test_rejects_what_the_format_cannot_hold(self):
        with self.assertRaises(ValueError):
            xm.midi_to_note(11)                       # below C-0
        with self.assertRaises(ValueError):
            xm.midi_to_note(108)                      # above B-7
        with self.assertRaises(ValueError):
            xm.Envelope([(0, 64), (0, 10)])           # ticks must rise
        with self.assertRaises(ValueError):
            xm.Envelope([(i, 1) for i in range(13)])  # twelve points at most
        with self.assertRaises(ValueError):
            xm.Module("odd", 3, 6, 125, [], [xm.Pattern([[xm.Cell()] * 3])], [0]).to_bytes()

    def test_tuning_plays_the_base_note_at_the_render_rate(self):
        for rate, base in ((16744.0, 60), (22050.0, 60), (32000.0, 60), (2093.0, 48), (65.4 * 256, 36)):
            relnote, finetune = xm.tuning_for(rate, base)
            note = xm.midi_to_note(base)
            played = xm.C4_RATE * 2 ** ((note - 49 + relnote + finetune / 128) / 12)
            cents = 1200 * math.log2(played / rate)
            self.assertLess(abs(cents), 0.5, (rate, base, relnote, finetune))
            self.assertLessEqual(abs(finetune), 64)


class SynthTest(unittest.TestCase):
    def test_every_tone_loops_without_a_seam(self):
        """Render each instrument's tone a little past its loop: what follows
        the loop's end must be the loop's start again."""
        real = synth.render_tone
        renders = []

        def with_tail(*args, **kwargs):
            values, rate, start, length = real(*args, tail=64, **kwargs)
            renders.append((values, start, length))
            return values[:start + length], rate, start, length

        synth.render_tone = with_tail
        try:
            made = [make(120) for make in (ins.saw_pad, ins.glass_pad, ins.organ, ins.saw_bass, ins.sub_bass,
                                           ins.round_bass, ins.fm_bass, ins.pluck, ins.electric_piano,
                                           ins.vibes, ins.piano, ins.square_lead, ins.saw_lead, ins.flute)]
        finally:
            synth.render_tone = real
        self.assertEqual(len(renders), len(made))
        for instrument, (values, start, length) in zip(made, renders):
            s = instrument.sample
            with self.subTest(instrument=instrument.name):
                self.assertEqual((s.loop_start, s.loop_length), (start, length))
                self.assertEqual(s.loop_start + s.loop_length, len(s.data))
                peak = max(abs(v) for v in values)
                drift = max(abs(values[start + length + i] - values[start + i]) for i in range(64))
                self.assertLess(drift, peak * 1e-3)

    def test_cymbal_loops_join_like_neighbouring_samples(self):
        for instrument in (ins.crash(120), ins.ride(120), ins.chip_triangle(120)):
            s = instrument.sample
            loop = s.data[s.loop_start:s.loop_start + s.loop_length]
            with self.subTest(instrument=instrument.name):
                self.assertEqual(s.loop_start + s.loop_length, len(s.data))
                steps = sorted(abs(b - a) for a, b in zip(loop, loop[1:]))
                typical = steps[int(len(steps) * 0.9)]
                self.assertLessEqual(abs(loop[0] - loop[-1]), typical)

    def test_tone_holds_its_pitch(self):
        # One layer of a pure sine: count the rising zero crossings of the loop.
        values, rate, start, length = synth.render_tone(69, 50, 40, [synth.Layer([(0, synth.partials_sine())])])
        self.assertAlmostEqual(rate, 440.0 * 50)
        loop = values[start:start + length]
        crossings = sum(1 for a, b in zip(loop, loop[1:]) if a < 0 <= b)
        self.assertIn(crossings, (39, 40))
        self.assertEqual(length, 50 * 40)

    def test_band_limit_keeps_harmonics_under_the_ceiling(self):
        partials = synth.band_limit(synth.partials_saw(200), 100.0, 5000.0)
        self.assertEqual(len(partials), 49)
        self.assertGreater(partials[0][1], partials[-1][1])

    def test_one_shots_end_in_silence_and_stay_in_range(self):
        for name, values in (("kick", synth.kick(22050, 1)), ("snare", synth.snare(22050, 2)),
                             ("clap", synth.clap(22050, 3)), ("hat", synth.hihat(32000, 4)),
                             ("tom", synth.tom(22050, 5)), ("rim", synth.rim(22050, 6)),
                             ("chip kick", synth.chip_kick(22050))):
            with self.subTest(drum=name):
                self.assertEqual(values[-1], 0.0)
                self.assertLessEqual(max(abs(v) for v in values), 1.0 + 1e-9)
                self.assertGreater(max(abs(v) for v in values), 0.3)

    def test_noise_is_the_same_on_every_run(self):
        self.assertEqual(synth.snare(22050, 7), synth.snare(22050, 7))
        self.assertNotEqual(synth.snare(22050, 7), synth.snare(22050, 8))


class TheoryTest(unittest.TestCase):
    def test_note_names(self):
        self.assertEqual(theory.note("c4"), 60)
        self.assertEqual(theory.note("a4"), 69)
        self.assertEqual(theory.note("bb3"), 58)
        self.assertEqual(theory.note("f#5"), 78)
        with self.assertRaises(ValueError):
            theory.note("h2")

    def test_chord_symbols(self):
        c = theory.chord("A/C#")
        self.assertEqual((c.root, c.bass), (9, 1))
        self.assertEqual(sorted(theory.chord("Dm7").tones), sorted([2, 5, 9, 0]))
        self.assertEqual(theory.chord("C13").seventh(), 10)
        with self.assertRaises(ValueError):
            theory.chord("Cmaj13#11")

    def test_voicing_uses_chord_tones_in_range_and_moves_little(self):
        first = theory.voicing(theory.chord("C"), 3, 55, 72)
        second = theory.voicing(theory.chord("Am"), 3, 55, 72, previous=first)
        for notes, pcs in ((first, {0, 4, 7}), (second, {9, 0, 4})):
            self.assertEqual(len(set(notes)), 3)
            self.assertTrue(all(55 <= n <= 72 and n % 12 in pcs for n in notes))
        self.assertLessEqual(sum(abs(a - b) for a, b in zip(first, second)), 3)


class ArrangerTest(unittest.TestCase):
    def song(self, bars=4, channels=4):
        song = ar.Song("t", "t", 120, bars, channels)
        song.add("i", tiny_instrument(), 1.0)
        return song

    def test_melody_bar_lines_catch_miscounted_bars(self):
        with self.assertRaises(ValueError):
            ar.parse_melody("c5:4 d5:4 e5:4 | f5:4", 0)
        events = ar.parse_melody("c5:4 d5 r:8 | e5:16>", 16)
        self.assertEqual([(r, l, m) for r, l, m, _ in events],
                         [(16, 4, 72), (20, 4, 74), (24, 8, None), (32, 16, 76)])
        self.assertEqual(events[3][3], ">")

    def test_key_offs_follow_rests_but_not_legato_or_ringing_notes(self):
        song = self.song()
        ar.melody(song, 0, "i", 0, "c5:4 d5:4 r:4 e5:2^ r:2 |")
        notes = [song.grid[r][0].note for r in range(16)]
        self.assertEqual(notes[0], xm.midi_to_note(72))
        self.assertEqual(notes[4], xm.midi_to_note(74), "legato: no key-off between notes")
        self.assertEqual(notes[8], xm.NOTE_OFF)
        self.assertEqual(notes[12], xm.midi_to_note(76))
        self.assertEqual(notes[14], 0, "a ringing note keeps sounding")

    def test_progression_holds_and_splits(self):
        prog = ar.progression("Am . . G | C F", 2)
        self.assertEqual([(r, l, c.symbol) for r, l, c in prog],
                         [(32, 12, "Am"), (44, 4, "G"), (48, 8, "C"), (56, 8, "F")])
        with self.assertRaises(ValueError):
            ar.progression("C F G", 0)

    def test_held_pad_does_not_restrike_common_tones(self):
        song = self.song(channels=4)
        ar.pad(song, [0, 1, 2], "i", ar.progression("C | Am", 0), 55, 72)
        struck = sum(1 for ch in range(3) if song.grid[16][ch].note not in (0, xm.NOTE_OFF))
        self.assertEqual(struck, 1, "C to Am keeps C and E, moves G to A")
        self.assertEqual([song.grid[32][ch].note for ch in range(3)], [xm.NOTE_OFF] * 3,
                         "every voice lets go where the progression ends")

    def test_identical_patterns_are_stored_once_and_loop_point_is_checked(self):
        song = self.song(bars=12)
        for b in (0, 8):
            ar.melody(song, 0, "i", b, "c5:4 e5:4 g5:8 |")
        ar.melody(song, 0, "i", 4, "d5:16 |")
        module = song.module()
        self.assertEqual(module.orders, [0, 1, 0])
        self.assertEqual(len(module.patterns), 2)
        song.restart_bar = 2
        with self.assertRaises(ValueError):
            song.module()

    def test_groove_writes_a_speed_on_every_row(self):
        song = self.song(bars=4)
        song.groove = (7, 7, 5, 5)
        song.groove_channel = 3
        back = read_xm(song.module().to_bytes())
        speeds = [row[3] for row in back["patterns"][0][:4]]
        self.assertEqual(speeds, [(0, 0, 0, xm.FX_SPEED, s) for s in (7, 7, 5, 5)])
        self.assertAlmostEqual(song.seconds(), 64 * 6 * 2.5 / 120)

    def test_chip_chord_repeats_the_arpeggio_while_held(self):
        song = self.song()
        ar.chip_chord(song, 0, "i", ar.progression("Am", 0), 57, "x..._...........")
        self.assertEqual([(song.grid[r][0].effect, song.grid[r][0].param) for r in range(5)],
                         [(0, 0x37)] * 4 + [(0, 0)])
        self.assertEqual(song.grid[4][0].note, xm.NOTE_OFF)


class SongsTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.songs = [compose.build(n) for n in range(1, 6)]
        cls.files = [s.module().to_bytes() for s in cls.songs]

    def test_each_song_is_a_distinct_track_of_at_least_ninety_seconds(self):
        tempos = set()
        for song, data in zip(self.songs, self.files):
            with self.subTest(song=song.label):
                self.assertGreaterEqual(song.seconds(), 90.0)
                self.assertLess(len(data), 400 * 1024)
                self.assertRegex(song.label, r"^[a-z](?: {1,3}[a-z])*$")
                self.assertLessEqual(len(song.label), 33)
                back = read_xm(data)
                self.assertGreater(len(set(back["orders"])), 4, "several different patterns")
                self.assertLess(back["restart"], len(back["orders"]))
                tempos.add(song.bpm)
        self.assertEqual(len(tempos), 5)
        self.assertEqual(len({s.label for s in self.songs}), 5)

    def test_every_instrument_is_played_and_every_note_is_known(self):
        for song, data in zip(self.songs, self.files):
            back = read_xm(data)
            used = {cell[1] for p in back["patterns"] for row in p for cell in row if cell[1]}
            with self.subTest(song=song.label):
                self.assertEqual(used, set(range(1, len(back["samples"]) + 1)))
                notes = {cell[0] for p in back["patterns"] for row in p for cell in row if cell[0]}
                self.assertTrue(all(1 <= n <= 97 for n in notes))

    def test_generation_is_repeatable_and_matches_the_committed_files(self):
        again = compose.build(5).module().to_bytes()
        self.assertEqual(again, self.files[4])
        for number, data in enumerate(self.files, 1):
            path = os.path.join(compose.DEFAULT_OUT, f"music{number}.xm")
            with self.subTest(file=path), open(path, "rb") as f:
                self.assertEqual(f.read(), data, "content/ is stale: run tools/compose/compose.py")


if __name__ == "__main__":
    unittest.main()
