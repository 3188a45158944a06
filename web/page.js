// The page of the web edition: draws the magazine's 80x25 cells on the
// canvas with the VGA font and palette, queues the browser's keys for the
// program, and tells the program's console (console/con_web.cpp) when a key
// came or a pause is over.
'use strict';

(function () {
  const COLS = 80;
  const CELL_W = 8;
  const CELL_H = 16;
  // The 16 colours of the VGA text mode (colour 6 is brown).
  const PALETTE = [
    [0x00, 0x00, 0x00], [0x00, 0x00, 0xAA], [0x00, 0xAA, 0x00], [0x00, 0xAA, 0xAA],
    [0xAA, 0x00, 0x00], [0xAA, 0x00, 0xAA], [0xAA, 0x55, 0x00], [0xAA, 0xAA, 0xAA],
    [0x55, 0x55, 0x55], [0x55, 0x55, 0xFF], [0x55, 0xFF, 0x55], [0x55, 0xFF, 0xFF],
    [0xFF, 0x55, 0x55], [0xFF, 0x55, 0xFF], [0xFF, 0xFF, 0x55], [0xFF, 0xFF, 0xFF],
  ];
  const CSS_COLOURS = PALETTE.map(([r, g, b]) => `rgb(${r},${g},${b})`);
  // Code page 437 as Unicode, for the text the tests read back.
  const CP437 =
    ' \u263A\u263B\u2665\u2666\u2663\u2660\u2022\u25D8\u25CB\u25D9\u2642\u2640\u266A\u266B\u263C' +
    '\u25BA\u25C4\u2195\u203C\u00B6\u00A7\u25AC\u21A8\u2191\u2193\u2192\u2190\u221F\u2194\u25B2\u25BC' +
    ' !"#$%&\'()*+,-./0123456789:;<=>?@ABCDEFGHIJKLMNOPQRSTUVWXYZ[\\]^_`abcdefghijklmnopqrstuvwxyz{|}~\u2302' +
    '\u00C7\u00FC\u00E9\u00E2\u00E4\u00E0\u00E5\u00E7\u00EA\u00EB\u00E8\u00EF\u00EE\u00EC\u00C4\u00C5' +
    '\u00C9\u00E6\u00C6\u00F4\u00F6\u00F2\u00FB\u00F9\u00FF\u00D6\u00DC\u00A2\u00A3\u00A5\u20A7\u0192' +
    '\u00E1\u00ED\u00F3\u00FA\u00F1\u00D1\u00AA\u00BA\u00BF\u2310\u00AC\u00BD\u00BC\u00A1\u00AB\u00BB' +
    '\u2591\u2592\u2593\u2502\u2524\u2561\u2562\u2556\u2555\u2563\u2551\u2557\u255D\u255C\u255B\u2510' +
    '\u2514\u2534\u252C\u251C\u2500\u253C\u255E\u255F\u255A\u2554\u2569\u2566\u2560\u2550\u256C\u2567' +
    '\u2568\u2564\u2565\u2559\u2558\u2552\u2553\u256B\u256A\u2518\u250C\u2588\u2584\u258C\u2590\u2580' +
    '\u03B1\u00DF\u0393\u03C0\u03A3\u03C3\u00B5\u03C4\u03A6\u0398\u03A9\u03B4\u221E\u03C6\u03B5\u2229' +
    '\u2261\u00B1\u2265\u2264\u2320\u2321\u00F7\u2248\u00B0\u2219\u00B7\u221A\u207F\u00B2\u25A0\u00A0';
  // The cursor blinks as the VGA's does, about every 16 frames; it is a line
  // over the cell's 15th and 16th pixel rows.
  const BLINK_MS = 267;
  const CURSOR_TOP = 14;
  const CURSOR_ROWS = 2;

  const params = new URLSearchParams(location.search);
  const canvas = document.getElementById('screen');
  const ctx = canvas.getContext('2d', { alpha: false });
  const note = document.getElementById('note');
  const keysRow = document.getElementById('keys');

  let rows = 25;
  let chars = new Uint8Array(COLS * rows);
  let attrs = new Uint8Array(COLS * rows);
  let painted = false;       // the canvas has been drawn once
  let glyphs = null;         // 256 * 16 bytes of font rows
  const tinted = [];         // per colour: a canvas of the 256 glyphs in it
  let cursor = { x: 0, y: 0, visible: false, on: true };
  let blinkTimer = 0;

  const keys = [];
  let keyWaiter = null;
  let keyTimer = 0;
  let keyTime = -1;          // when the latest key came, for the latency figures
  const latencies = [];
  let firstCellTime = -1;
  let state = { state: 'running', status: null };

  // --- Drawing ---------------------------------------------------------------

  function glyphCanvas(colour) {
    if (tinted[colour]) return tinted[colour];
    const c = document.createElement('canvas');
    c.width = 256 * CELL_W;
    c.height = CELL_H;
    const g = c.getContext('2d');
    const image = g.createImageData(c.width, c.height);
    const [r, gr, b] = PALETTE[colour];
    for (let ch = 0; ch < 256; ++ch) {
      for (let y = 0; y < CELL_H; ++y) {
        const bits = glyphs[ch * CELL_H + y];
        for (let x = 0; x < CELL_W; ++x) {
          if (!(bits & (0x80 >> x))) continue;
          const at = ((y * c.width) + ch * CELL_W + x) * 4;
          image.data[at] = r;
          image.data[at + 1] = gr;
          image.data[at + 2] = b;
          image.data[at + 3] = 255;
        }
      }
    }
    g.putImageData(image, 0, 0);
    tinted[colour] = c;
    return c;
  }

  // Attribute: bits 0-3 the foreground, bits 4-7 the background; bit 7 is a
  // bright background, never blinking text.
  function drawCell(i) {
    const x = (i % COLS) * CELL_W;
    const y = Math.floor(i / COLS) * CELL_H;
    const a = attrs[i];
    ctx.fillStyle = CSS_COLOURS[a >> 4];
    ctx.fillRect(x, y, CELL_W, CELL_H);
    ctx.drawImage(glyphCanvas(a & 15), chars[i] * CELL_W, 0, CELL_W, CELL_H, x, y, CELL_W, CELL_H);
    if (cursor.visible && cursor.on && i === cursor.y * COLS + cursor.x) {
      ctx.fillStyle = CSS_COLOURS[a & 15];
      ctx.fillRect(x, y + CURSOR_TOP, CELL_W, CURSOR_ROWS);
    }
  }

  function cursorIndex() {
    if (cursor.x < 0 || cursor.x >= COLS || cursor.y < 0 || cursor.y >= rows) return -1;
    return cursor.y * COLS + cursor.x;
  }

  function blink() {
    cursor.on = !cursor.on;
    const i = cursorIndex();
    if (i >= 0) drawCell(i);
  }

  function setCursor(x, y, visible) {
    const old = cursorIndex();
    const moved = x !== cursor.x || y !== cursor.y || visible !== cursor.visible;
    if (!moved) return;
    cursor.x = x;
    cursor.y = y;
    cursor.visible = visible;
    cursor.on = true;  // a cursor that moves shows at once, as on the PC
    clearInterval(blinkTimer);
    blinkTimer = visible ? setInterval(blink, BLINK_MS) : 0;
    if (old >= 0) drawCell(old);
    const now = cursorIndex();
    if (now >= 0) drawCell(now);
  }

  function resizeRows(n) {
    rows = n;
    chars = new Uint8Array(COLS * rows);
    attrs = new Uint8Array(COLS * rows);
    canvas.width = COLS * CELL_W;
    canvas.height = rows * CELL_H;
    ctx.imageSmoothingEnabled = false;
    for (let i = 0; i < COLS * rows; ++i) drawCell(i);
    fit();
  }

  // Heap holds the program's cells from Base: character, attribute, ... ;
  // only the cells that changed since the last call are drawn.
  function paint(heap, base, n, cx, cy, cursorShown) {
    if (!glyphs) return;
    if (n !== rows || !painted) resizeRows(n);
    painted = true;
    let changed = false;
    for (let i = 0; i < COLS * rows; ++i) {
      const ch = heap[base + 2 * i] & 0xFF;
      const a = heap[base + 2 * i + 1] & 0xFF;
      if (ch === chars[i] && a === attrs[i]) continue;
      chars[i] = ch;
      attrs[i] = a;
      drawCell(i);
      changed = true;
      if (firstCellTime < 0 && ch !== 0 && ch !== 32) firstCellTime = performance.now();
    }
    setCursor(cx, cy, cursorShown);
    if (changed && keyTime >= 0) {
      const since = keyTime;
      keyTime = -1;
      requestAnimationFrame(() => latencies.push(performance.now() - since));
    }
  }

  // Whole multiples of the device's pixels that fit the window; a window
  // narrower than the screen gets it shrunk to fit.
  function fit() {
    const dpr = window.devicePixelRatio || 1;
    const spare = keysRow.offsetHeight + note.offsetHeight + 8;
    const w = window.innerWidth * dpr;
    const h = Math.max(1, window.innerHeight - spare) * dpr;
    const scale = Math.min(w / canvas.width, h / canvas.height);
    const k = scale >= 1 ? Math.floor(scale) : scale;
    canvas.style.width = `${(canvas.width * k) / dpr}px`;
    canvas.style.height = `${(canvas.height * k) / dpr}px`;
  }

  // --- Keys ------------------------------------------------------------------

  function queueKey(key, code, modifiers) {
    keys.push({ key, code, modifiers });
    keyTime = performance.now();
    if (window.Module && Module.quixAudio) Module.quixAudio.gesture();
    if (keyWaiter) {
      const wake = keyWaiter;
      keyWaiter = null;
      clearTimeout(keyTimer);
      wake(1);
    }
  }

  // Keys the browser keeps for itself whatever a page does.
  function browsersOwn(e) {
    return e.key === 'F11' || e.key === 'F12' || (e.ctrlKey && e.shiftKey && (e.key === 'I' || e.key === 'J'));
  }

  document.addEventListener('keydown', (e) => {
    if (state.state !== 'running' || browsersOwn(e) || e.isComposing) return;
    // The magazine takes every key it is given: F1, Ctrl+F, Ctrl+S, Ctrl+R
    // and the rest mean nothing to the browser while it runs.
    e.preventDefault();
    if (['Shift', 'Control', 'Alt', 'Meta', 'CapsLock', 'NumLock', 'ScrollLock'].includes(e.key)) return;
    queueKey(e.key, e.code, (e.shiftKey ? 1 : 0) | (e.ctrlKey ? 2 : 0) | (e.altKey ? 4 : 0));
  });

  for (const button of keysRow.querySelectorAll('button')) {
    button.addEventListener('pointerdown', (e) => {
      e.preventDefault();
      if (state.state === 'running') queueKey(button.dataset.key, button.dataset.code, 0);
    });
  }
  canvas.addEventListener('pointerdown', () => {
    canvas.focus();
    if (window.Module && Module.quixAudio) Module.quixAudio.gesture();
  });

  function waitForKey(timeoutMs) {
    if (keys.length > 0) return Promise.resolve(1);
    return new Promise((resolve) => {
      keyWaiter = resolve;
      if (timeoutMs >= 0) {
        keyTimer = setTimeout(() => {
          keyWaiter = null;
          resolve(keys.length > 0 ? 1 : 0);
        }, timeoutMs);
      }
    });
  }

  // A pause of Ms milliseconds; 0 gives the browser one turn without the
  // few milliseconds that a timer of 0 costs.
  const channel = new MessageChannel();
  const turns = [];
  channel.port1.onmessage = () => turns.shift()();
  function pause(ms) {
    return new Promise((resolve) => {
      if (ms > 0) {
        setTimeout(resolve, ms);
      } else {
        turns.push(resolve);
        channel.port2.postMessage(0);
      }
    });
  }

  // --- Saves: a download under the typed name -----------------------------

  function download(name, bytes) {
    const url = URL.createObjectURL(new Blob([bytes], { type: 'application/octet-stream' }));
    const a = document.createElement('a');
    a.href = url;
    a.download = name.replace(/^.*[\\/]/, '') || 'quixmag.txt';
    document.body.appendChild(a);
    a.click();
    a.remove();
    setTimeout(() => URL.revokeObjectURL(url), 10000);
  }

  // --- For the tests and the curious ---------------------------------------

  window.quixmagScreen = function () {
    const text = [];
    const attr = [];
    for (let y = 0; y < rows; ++y) {
      let line = '';
      const a = [];
      for (let x = 0; x < COLS; ++x) {
        line += CP437[chars[y * COLS + x]];
        a.push(attrs[y * COLS + x]);
      }
      text.push(line);
      attr.push(a);
    }
    return { text, attr, cursor: { x: cursor.x, y: cursor.y, visible: cursor.visible } };
  };
  window.quixmagState = () => ({ state: state.state, status: state.status });
  window.quixmagFigures = () => ({ firstCell: firstCellTime, latencies: latencies.slice() });

  // --- The program -------------------------------------------------------------

  const args = [];
  if (params.has('silent')) args.push('--silent');
  if (params.has('ascii')) args.push('--ascii');
  if (params.has('keys') || window.matchMedia('(pointer: coarse)').matches) keysRow.classList.add('shown');

  window.Module = {
    noInitialRun: true,
    quixPage: { paint, pendingKeys: () => keys.length, takeKey: () => keys.shift(), waitForKey, pause, download },
    print: (text) => console.log(text),
    printErr: (text) => console.warn(text),
    onExit: (status) => {
      state = { state: 'ended', status };
      setCursor(cursor.x, cursor.y, false);
      note.textContent = 'the magazine has ended \u2014 reload to read again';
      if (Module.quixAudio) Module.quixAudio.free();
    },
  };

  const fontReady = fetch('font.bin')
    .then((r) => (r.ok ? r.arrayBuffer() : Promise.reject(new Error(`font.bin: ${r.status}`))))
    .then((b) => { glyphs = new Uint8Array(b); });
  // A web edition made with quixmag --pack carries its issue as issue.zip
  // beside the page; the program finds it where an executable carries its
  // pack, at the end of its own file (/quixmag). Without one it shows the
  // issue built in.
  const issueReady = fetch('issue.zip')
    .then((r) => (r.ok ? r.arrayBuffer() : null), () => null);
  Module.onRuntimeInitialized = () => {
    Promise.all([fontReady, issueReady]).then(([, pack]) => {
      if (pack) Module.FS.writeFile('/quixmag', new Uint8Array(pack));
      if (note.textContent === 'loading...') note.textContent = '';
      canvas.focus();
      Module.callMain(args);
    }, (err) => { note.textContent = `cannot start: ${err.message}`; });
  };

  window.addEventListener('resize', fit);
  fit();
})();
