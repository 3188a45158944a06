#!/usr/bin/env python3
"""Regenerates the magazine's five tracker modules from code.

    python3 tools/compose/compose.py            # writes content/music1.xm .. music5.xm
    python3 tools/compose/compose.py --check    # and renders each one to report its levels
    python3 tools/compose/compose.py --out DIR 3 5

Every instrument is synthesised here and every note is written in the song
files under songs/; the output is the same bytes on every run.
"""

import argparse
import importlib
import os
import re
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

SONGS = ["song1", "song2", "song3", "song4", "song5"]
DEFAULT_OUT = os.path.normpath(os.path.join(HERE, "..", "..", "content"))


def build(number):
    module = importlib.import_module(f"songs.{SONGS[number - 1]}")
    return module.build()


def measure(path):
    """Render with the reference player and read peak, RMS and length back
    from sox; None when either tool is missing."""
    if not (shutil.which("openmpt123") and shutil.which("sox")):
        return None
    with tempfile.TemporaryDirectory() as tmp:
        copy = os.path.join(tmp, os.path.basename(path))
        shutil.copyfile(path, copy)
        # --render writes "<module>.wav" beside the module, in float samples
        # so that anything over full scale would show as a positive peak.
        subprocess.run(["openmpt123", "--quiet", "--render", "--force", "--float",
                        "--samplerate", "44100", copy], check=True, capture_output=True)
        stats = subprocess.run(["sox", copy + ".wav", "-n", "stats"],
                               capture_output=True, text=True).stderr
    found = {}
    for key, label in (("peak", "Pk lev dB"), ("rms", "RMS lev dB"), ("length", "Length s")):
        m = re.search(rf"^{re.escape(label)}\s+(\S+)", stats, re.M)
        found[key] = float(m.group(1)) if m else float("nan")
    return found


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("songs", nargs="*", type=int, help="song numbers (default: all)")
    parser.add_argument("--out", default=DEFAULT_OUT, help="output folder (default: content/)")
    parser.add_argument("--check", action="store_true", help="render and report levels")
    parser.add_argument("--dump", metavar="BAR", type=int,
                        help="print four bars of each song from BAR, tracker style, and write nothing")
    args = parser.parse_args()
    os.makedirs(args.out, exist_ok=True)
    for number in args.songs or range(1, len(SONGS) + 1):
        song = build(number)
        if args.dump is not None:
            print(f"music{number}: {song.label}")
            print(song.dump(args.dump))
            continue
        data = song.module().to_bytes()
        path = os.path.join(args.out, f"music{number}.xm")
        with open(path, "wb") as f:
            f.write(data)
        line = (f"music{number}.xm  {song.label!r:36} {song.bpm:3} bpm  {song.seconds():6.1f} s  "
                f"{len(data) / 1024:6.1f} KiB")
        if args.check:
            stats = measure(path)
            if stats:
                line += (f"  rendered {stats['length']:.1f} s, peak {stats['peak']:.2f} dBFS, "
                         f"RMS {stats['rms']:.2f} dBFS")
        print(line, flush=True)


if __name__ == "__main__":
    main()
