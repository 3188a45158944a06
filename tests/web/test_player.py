"""The page's player (worklet.js with player.wasm, libopenmpt cut down by
tools/web_deps.sh) run under node as an audio worklet runs it: the four
formats an issue may use load (MOD, S3M, XM, IT) and the ones with samples
sound; a format cut from it (MTM) is refused without stopping the player,
and the module after it plays.

  QUIX_WEB_SITE  the site folder (build-web/site)
"""
import json
import os
import struct
import subprocess
import tempfile
import unittest

SITE = os.environ["QUIX_WEB_SITE"]
HERE = os.path.dirname(os.path.abspath(__file__))
SAMPLE_XM = os.path.join(HERE, "..", "sample-issue", "parade.xm")

# Runs the site's worklet.js under node with what an AudioWorkletGlobalScope
# gives it, hands its player each module as the page does, renders a second
# at 48 kHz, and prints what came of each: loaded, and the loudest sample.
NODE = r"""
const fs = require('fs');
const vm = require('vm');
const [site, ...files] = process.argv.slice(1);  // node -e: the arguments follow node's own name
const answers = [];
let Player = null;
globalThis.sampleRate = 48000;
globalThis.AudioWorkletProcessor = class { constructor() { this.port = { postMessage: (m) => answers.push(m) }; } };
globalThis.registerProcessor = (name, processor) => { Player = processor; };
vm.runInThisContext(fs.readFileSync(`${site}/worklet.js`, 'utf8'));
const player = new Player({ processorOptions: { wasm: fs.readFileSync(`${site}/player.wasm`) } });
const send = (data) => player.port.onmessage({ data });
const ready = () => new Promise((resolve) => {
  const look = () => (player.exports ? resolve() : setTimeout(look, 10));
  look();
});
ready().then(() => {
  const results = {};
  files.forEach((file, n) => {
    const bytes = fs.readFileSync(file);
    send({ type: 'load', id: n + 1, bytes: bytes.buffer.slice(bytes.byteOffset, bytes.byteOffset + bytes.length) });
    const answer = answers.find((a) => a.id === n + 1);
    send({ type: 'play' });
    let loudest = 0;
    for (let k = 0; k < 48000 / 128; ++k) {
      const out = [new Float32Array(128), new Float32Array(128)];
      player.process([], [out]);
      for (const s of out[0]) loudest = Math.max(loudest, Math.abs(s));
    }
    send({ type: 'stop' });
    results[file.split('/').pop()] = { loaded: Boolean(answer && answer.ok), loudest };
  });
  console.log(JSON.stringify(results));
});
"""


def tiny_mod():
    """Four channels, one pattern whose first row starts a looped square wave."""
    sample = b"square".ljust(22, b"\0") + struct.pack(">HbBHH", 32, 0, 64, 0, 32)
    pattern = bytearray(64 * 4 * 4)
    pattern[0:4] = bytes([428 >> 8, 428 & 0xFF, 1 << 4, 0])
    return (b"tiny test tune".ljust(20, b"\0") + sample + bytes(30 * 30) + bytes([1, 127]) + bytes(128) +
            b"M.K." + bytes(pattern) + bytes([100] * 32 + [156] * 32))


def tiny_s3m():
    """A Scream Tracker 3 song of one empty pattern on four channels."""
    h = bytearray(96)
    h[0:8] = b"tiny s3m"
    h[28], h[29] = 0x1A, 16
    struct.pack_into("<HHHHHH", h, 32, 2, 0, 1, 0, 0x1320, 2)  # 2 orders, no instruments, 1 pattern
    h[44:48] = b"SCRM"
    h[48:52] = bytes([64, 6, 125, 0xB0])
    h[64:96] = bytes(range(4)) + bytes([255] * 28)
    body = h + bytes([0, 255]) + struct.pack("<H", 7)  # the pattern at paragraph 7
    return bytes(body + bytes(112 - len(body)) + struct.pack("<H", 66) + bytes(64))


def tiny_it():
    """An Impulse Tracker song of one empty pattern."""
    h = bytearray(192)
    h[0:11] = b"IMPMtiny it"
    struct.pack_into("<HHHHHHHHH", h, 30, 0x1004, 2, 0, 0, 1, 0x0214, 0x0214, 1, 0)
    h[48:53] = bytes([128, 48, 6, 125, 128])
    h[64:128] = bytes([32] * 64)
    h[128:192] = bytes([64] * 64)
    return bytes(h + bytes([0, 255]) + struct.pack("<I", 198) + struct.pack("<HH", 64, 64) + bytes(68))


def tiny_mtm():
    """A MultiTracker song: a format the page's player is built without."""
    h = bytearray(66)
    h[0:12] = b"MTM\x10tiny mtm"
    struct.pack_into("<HBBHBBBB", h, 24, 1, 0, 0, 0, 0, 0, 64, 4)
    h[34:66] = bytes([8] * 32)
    return bytes(h) + bytes(128 + 192) + struct.pack("<32H", *([1] * 4 + [0] * 28))


class PlayerTest(unittest.TestCase):
    def test_the_issues_formats_play_and_a_cut_one_is_refused(self):
        with tempfile.TemporaryDirectory() as tmp:
            files = []
            for name, make in (("a.mod", tiny_mod), ("a.s3m", tiny_s3m), ("a.it", tiny_it), ("a.mtm", tiny_mtm)):
                files.append(os.path.join(tmp, name))
                with open(files[-1], "wb") as f:
                    f.write(make())
            done = subprocess.run(["node", "-e", NODE, SITE, *files, SAMPLE_XM],
                                  capture_output=True, text=True, timeout=120)
        self.assertEqual(done.returncode, 0, done.stderr)
        results = json.loads(done.stdout)
        for name in ("a.mod", "a.s3m", "a.it", "parade.xm"):
            self.assertTrue(results[name]["loaded"], f"{name}: {results}")
        self.assertGreater(results["a.mod"]["loudest"], 0.05, results)
        self.assertGreater(results["parade.xm"]["loudest"], 0.05, results)
        self.assertFalse(results["a.mtm"]["loaded"], results)
        self.assertEqual(results["a.mtm"]["loudest"], 0, results)


if __name__ == "__main__":
    unittest.main()
