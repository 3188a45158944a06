#!/usr/bin/env python3
"""Makes the web edition's screen font: the 256 glyphs of code page 437,
8x16 pixels each, taken from a console font that a Debian package ships.

    make_web_font.py OUT.bin FONT.psf[.gz] [FONT.psf[.gz] ...]

The fonts are PC screen fonts (PSF1 or PSF2) with a Unicode table. Each code
page 437 character is looked up by its Unicode value in the first font that
has it, so the glyph set is complete even when one font lacks a few. OUT is
256 glyphs of 16 bytes, one byte per pixel row, the leftmost pixel in the
highest bit. Fails, naming the missing characters, when no font has a glyph
for one of them.
"""
import gzip
import sys

# Code page 437 as the PC shows it: the control values have glyphs of their
# own (faces, card suits, arrows) and 0x7F is the house. 0x00 is blank.
CONTROL_GLYPHS = ("\u0000\u263A\u263B\u2665\u2666\u2663\u2660\u2022\u25D8\u25CB\u25D9\u2642"
                  "\u2640\u266A\u266B\u263C\u25BA\u25C4\u2195\u203C\u00B6\u00A7\u25AC\u21A8"
                  "\u2191\u2193\u2192\u2190\u221F\u2194\u25B2\u25BC")


def cp437_unicode(code):
    if code < 0x20:
        return CONTROL_GLYPHS[code]
    if code == 0x7F:
        return "\u2302"
    return bytes([code]).decode("cp437")


# Look-alikes a font may carry instead of the character itself.
ALTERNATIVES = {
    "\u00B5": ["\u03BC"],  # micro sign / Greek mu
    "\u25BA": ["\u25B6"],  # the pointers right and left, in their wide forms
    "\u25C4": ["\u25C0"],
    "\u03B2": ["\u00DF"],  # beta / sharp s (the PC draws one glyph for both)
    "\u00DF": ["\u03B2"],
    "\u2205": ["\u03C6"],
    "\u03C6": ["\u2205"],
    "\u2208": ["\u03B5"],
    "\u03B5": ["\u2208"],
    "\u2126": ["\u03A9"],
    "\u03A9": ["\u2126"],
    "\u2219": ["\u00B7"],
    "\u00B7": ["\u2219"],
}


class Font:
    def __init__(self, path):
        opener = gzip.open if path.endswith(".gz") else open
        with opener(path, "rb") as f:
            data = f.read()
        self.path = path
        self.glyphs = []
        self.unicode = {}
        if data[:2] == b"\x36\x04":
            self._psf1(data)
        elif data[:4] == b"\x72\xb5\x4a\x86":
            self._psf2(data)
        else:
            raise SystemExit(f"{path}: not a PC screen font")

    def _psf1(self, data):
        mode, height = data[2], data[3]
        count = 512 if mode & 1 else 256
        self.width, self.height = 8, height
        self.glyphs = [data[4 + i * height:4 + (i + 1) * height] for i in range(count)]
        if mode & 2:  # Unicode table: 16-bit values, 0xFFFF ends a glyph's list
            pos, glyph = 4 + count * height, 0
            while glyph < count and pos + 1 < len(data):
                value = data[pos] | data[pos + 1] << 8
                pos += 2
                if value == 0xFFFF:
                    glyph += 1
                elif value != 0xFFFE:
                    self.unicode.setdefault(chr(value), glyph)

    def _psf2(self, data):
        def word(at):
            return int.from_bytes(data[at:at + 4], "little")
        header, flags, count, size = word(8), word(12), word(16), word(20)
        self.height, self.width = word(24), word(28)
        self.glyphs = [data[header + i * size:header + (i + 1) * size] for i in range(count)]
        if flags & 1:  # UTF-8 Unicode table: 0xFF ends a glyph's list
            pos, glyph = header + count * size, 0
            table = data[pos:]
            for entry in table.split(b"\xff")[:count]:
                # 0xFE starts sequences of several characters; only the
                # single characters before it matter here.
                text = entry.split(b"\xfe")[0].decode("utf-8", "replace")
                for ch in text:
                    self.unicode.setdefault(ch, glyph)
                glyph += 1

    def glyph(self, ch):
        for candidate in [ch] + ALTERNATIVES.get(ch, []):
            if candidate in self.unicode:
                return self.glyphs[self.unicode[candidate]]
        return None


def main(argv):
    if len(argv) < 3:
        raise SystemExit(__doc__)
    fonts = [Font(path) for path in argv[2:]]
    for font in fonts:
        if (font.width, font.height) != (8, 16):
            raise SystemExit(f"{font.path}: {font.width}x{font.height}, not 8x16")
    out, missing = bytearray(), []
    for code in range(256):
        ch = cp437_unicode(code)
        if code == 0:
            out += bytes(16)
            continue
        glyph = next((g for g in (f.glyph(ch) for f in fonts) if g is not None), None)
        if glyph is None:
            missing.append(f"0x{code:02X} U+{ord(ch):04X}")
            glyph = bytes(16)
        out += glyph
    if missing:
        raise SystemExit("no glyph for " + ", ".join(missing))
    with open(argv[1], "wb") as f:
        f.write(out)


if __name__ == "__main__":
    main(sys.argv)
