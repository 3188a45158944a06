// The page of the web edition: draws the magazine's 80x25 cells on the
// canvas with the PC's font and palette (or a piece's own font and colours),
// queues the browser's keys for the program, and tells the program's console
// (console/con_web.cpp) when a key came or a pause is over.
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
  // A cell's colour of its own: this bit set over 0xRRGGBB (conapi.h's
  // OwnColourFlag); without it the attribute's colour.
  const OWN = 0x01000000;
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
  // over the cell's last two pixel rows (the 15th and 16th of the PC's font).
  const BLINK_MS = 267;
  const CURSOR_ROWS = 2;

  const params = new URLSearchParams(location.search);
  const canvas = document.getElementById('screen');
  const ctx = canvas.getContext('2d', { alpha: false });
  const note = document.getElementById('note');
  const keysRow = document.getElementById('keys');

  let rows = 25;
  // The look of what is on the screen: letters 8 or 9 pixels apart, and
  // pixels stretched for the legacy 4:3 display (a piece's choice).
  let cellW = CELL_W;
  let stretch = 1;
  const LEGACY_STRETCH = 1.35;
  // Each cell's character (9 bits for a font of 512), attribute, and
  // colours of its own (OWN | 0xRRGGBB, else 0).
  let chars = new Uint16Array(COLS * rows);
  let attrs = new Uint8Array(COLS * rows);
  let fores = new Uint32Array(COLS * rows);
  let backs = new Uint32Array(COLS * rows);
  let painted = false;       // the canvas has been drawn once
  // The font in force: glyphCount glyphs of cellH rows, a byte a row; the
  // console's own (font.bin, 256 * 16 bytes) unless a piece brought its own.
  let standardGlyphs = null;
  let glyphs = null;
  let glyphCount = 256;
  let cellH = CELL_H;
  const tinted = [];         // per colour and letter spacing: a canvas of the font's glyphs in it
  let ownCell = null;        // the pixels of one cell in colours of its own
  let cursor = { x: 0, y: 0, visible: false, on: true };
  let blinkTimer = 0;

  const keys = [];
  let keyWaiter = null;
  let keyTimer = 0;
  let keyTime = -1;          // when the latest key came, for the latency figures
  const latencies = [];
  let firstCellTime = -1;
  let state = { state: 'running', status: null };

  // What the program says the screen means (console/con_web.cpp): where the
  // reader is, the menu on the screen, the window that shows a text.
  const meaning = { place: '', title: '', menu: null, text: null };
  let wantedPlace = decodeURIComponent(location.hash.slice(1));
  let placesSeen = 0;
  const baseTitle = document.title;
  const screenBox = document.getElementById('screenbox');
  const textLayer = document.getElementById('text');
  const menuList = document.getElementById('menu');
  const where = document.getElementById('where');
  const say = document.getElementById('say');
  const typing = document.getElementById('typing');

  // --- Drawing ---------------------------------------------------------------

  // The glyph's pixel X (0-based) in a cell CellW wide: in a cell of 9
  // the ninth column repeats the eighth for the line-drawing characters
  // 0xC0-0xDF (of either half of a font of 512), so that their lines join,
  // and is the background for the others, as the VGA draws them.
  function glyphPixel(ch, bits, x) {
    if (x < 8) return (bits & (0x80 >> x)) !== 0;
    const code = ch & 0xFF;
    return code >= 0xC0 && code <= 0xDF && (bits & 1) !== 0;
  }

  // The glyph of a cell's character in the font in force: a font of 256
  // takes the character's low eight bits.
  function glyphOf(i) { return chars[i] & (glyphCount - 1); }

  function glyphCanvas(colour) {
    const key = colour + 16 * (cellW - CELL_W);
    if (tinted[key]) return tinted[key];
    const c = document.createElement('canvas');
    c.width = glyphCount * cellW;
    c.height = cellH;
    const g = c.getContext('2d');
    const image = g.createImageData(c.width, c.height);
    const [r, gr, b] = PALETTE[colour];
    for (let ch = 0; ch < glyphCount; ++ch) {
      for (let y = 0; y < cellH; ++y) {
        const bits = glyphs[ch * cellH + y];
        for (let x = 0; x < cellW; ++x) {
          if (!glyphPixel(ch, bits, x)) continue;
          const at = ((y * c.width) + ch * cellW + x) * 4;
          image.data[at] = r;
          image.data[at + 1] = gr;
          image.data[at + 2] = b;
          image.data[at + 3] = 255;
        }
      }
    }
    g.putImageData(image, 0, 0);
    tinted[key] = c;
    return c;
  }

  // A colour as [r, g, b]: the cell's own, else the palette's entry.
  function rgbOf(own, index) {
    return own & OWN ? [(own >> 16) & 255, (own >> 8) & 255, own & 255] : PALETTE[index];
  }

  function cssOf(own, index) {
    return own & OWN ? `rgb(${(own >> 16) & 255},${(own >> 8) & 255},${own & 255})` : CSS_COLOURS[index];
  }

  // A cell in colours of its own, which may be any of 2^24, is written
  // pixel by pixel: exactly those colours, with no canvas kept per colour.
  function drawOwnCell(x, y, ch, fg, bg) {
    if (!ownCell || ownCell.width !== cellW || ownCell.height !== cellH) ownCell = ctx.createImageData(cellW, cellH);
    const d = ownCell.data;
    for (let py = 0, at = 0; py < cellH; ++py) {
      const bits = glyphs[ch * cellH + py];
      for (let px = 0; px < cellW; ++px, at += 4) {
        const c = glyphPixel(ch, bits, px) ? fg : bg;
        d[at] = c[0];
        d[at + 1] = c[1];
        d[at + 2] = c[2];
        d[at + 3] = 255;
      }
    }
    ctx.putImageData(ownCell, x, y);
  }

  // Attribute: bits 0-3 the foreground, bits 4-7 the background; bit 7 is a
  // bright background, never blinking text.
  function drawCell(i) {
    const x = (i % COLS) * cellW;
    const y = Math.floor(i / COLS) * cellH;
    const a = attrs[i];
    const ch = glyphOf(i);
    if ((fores[i] | backs[i]) & OWN) {
      drawOwnCell(x, y, ch, rgbOf(fores[i], a & 15), rgbOf(backs[i], a >> 4));
    } else {
      ctx.fillStyle = CSS_COLOURS[a >> 4];
      ctx.fillRect(x, y, cellW, cellH);
      ctx.drawImage(glyphCanvas(a & 15), ch * cellW, 0, cellW, cellH, x, y, cellW, cellH);
    }
    if (cursor.visible && cursor.on && i === cursor.y * COLS + cursor.x) {
      const lines = Math.min(CURSOR_ROWS, cellH);
      ctx.fillStyle = cssOf(fores[i], a & 15);
      ctx.fillRect(x, y + cellH - lines, cellW, lines);
    }
  }

  function cursorIndex() {
    if (cursor.x < 0 || cursor.x >= COLS || cursor.y < 0 || cursor.y >= rows) return -1;
    return cursor.y * COLS + cursor.x;
  }

  function blink() {
    cursor.on = !cursor.on;
    const i = cursorIndex();
    if (i >= 0) markCell(i);
  }

  // Cells are drawn once a frame, however often the program hands them
  // over between two frames: what it draws and overdraws in one go was
  // never on the screen anyway.
  const dirty = new Uint8Array(COLS * 50);
  const dirtyCells = [];
  let frameAsked = false;

  function markCell(i) {
    if (!dirty[i]) {
      dirty[i] = 1;
      dirtyCells.push(i);
    }
    if (!frameAsked) {
      frameAsked = true;
      requestAnimationFrame(drawPending);
    }
  }

  function drawPending() {
    frameAsked = false;
    for (const i of dirtyCells) {
      dirty[i] = 0;
      if (i >= COLS * rows) continue;
      drawCell(i);
      if (firstCellTime < 0 && chars[i] !== 0 && chars[i] !== 32) firstCellTime = performance.now();
    }
    dirtyCells.length = 0;
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
    if (old >= 0) markCell(old);
    const now = cursorIndex();
    if (now >= 0) markCell(now);
  }

  // The canvas sized for the rows and the letter spacing in force, every
  // cell drawn again, and fitted to the window.
  function redrawAll() {
    canvas.width = COLS * cellW;
    canvas.height = rows * cellH;
    ctx.imageSmoothingEnabled = false;
    for (let i = 0; i < COLS * rows; ++i) drawCell(i);
    fit();
  }

  function resizeRows(n) {
    rows = n;
    chars = new Uint16Array(COLS * rows);
    attrs = new Uint8Array(COLS * rows);
    fores = new Uint32Array(COLS * rows);
    backs = new Uint32Array(COLS * rows);
    redrawAll();
  }

  // Heap (16-bit words) holds the program's cells from Base, six words a
  // cell (conapi::Cell): character, attribute, and the own foreground and
  // background, each of two words, the low one first. Only the cells that
  // changed since the last call are drawn, at the next frame.
  function paint(heap, base, n, cx, cy, cursorShown) {
    if (!glyphs) return;
    if (n !== rows || !painted) resizeRows(n);
    painted = true;
    let changed = false;
    for (let i = 0, at = base; i < COLS * rows; ++i, at += 6) {
      const ch = heap[at] & 0x1FF;
      const a = heap[at + 1] & 0xFF;
      let fore = (heap[at + 2] | (heap[at + 3] << 16)) >>> 0;
      let back = (heap[at + 4] | (heap[at + 5] << 16)) >>> 0;
      if (!(fore & OWN)) fore = 0;
      if (!(back & OWN)) back = 0;
      if (ch === chars[i] && a === attrs[i] && fore === fores[i] && back === backs[i]) continue;
      chars[i] = ch;
      attrs[i] = a;
      fores[i] = fore;
      backs[i] = back;
      markCell(i);
      changed = true;
    }
    setCursor(cx, cy, cursorShown);
    if (changed && meaning.text) textChanged();
    if (changed && keyTime >= 0) {
      const since = keyTime;
      keyTime = -1;
      requestAnimationFrame(() => latencies.push(performance.now() - since));
    }
  }

  // The screen as large as the window lets it be. A scale of whole device
  // pixels per font pixel keeps every glyph crisp, and is taken when it
  // gives up little of the room; otherwise the nearest-neighbour scale that
  // fills the room (a phone, a laptop a little short of twice the size).
  const CRISP_SHARE = 0.85;
  let cellCss = CELL_H;  // a cell's height in CSS pixels, as last fitted

  function fit() {
    const dpr = window.devicePixelRatio || 1;
    const spare = keysRow.offsetHeight + note.offsetHeight + 8;
    const w = window.innerWidth;
    const h = Math.max(1, window.innerHeight - spare);
    const fill = Math.min(w / canvas.width, h / (canvas.height * stretch));
    const crisp = Math.floor(fill * dpr) / dpr;
    const scale = crisp >= CRISP_SHARE * fill ? crisp : fill;
    canvas.style.width = `${canvas.width * scale}px`;
    // Stretched to whole device pixels, each taken from its nearest row.
    canvas.style.height = `${Math.round(canvas.height * scale * stretch * dpr) / dpr}px`;
    cellCss = cellH * scale * stretch;
    placeLayers();
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
    // A touch keyboard names no key: the letter comes as the field's input.
    if (e.target === typing && (e.key === 'Unidentified' || e.keyCode === 229)) return;
    // The magazine takes every key it is given: F1, Ctrl+F, Ctrl+S, Ctrl+R
    // and the rest mean nothing to the browser while it runs.
    e.preventDefault();
    if (['Shift', 'Control', 'Alt', 'Meta', 'CapsLock', 'NumLock', 'ScrollLock'].includes(e.key)) return;
    queueKey(e.key, e.code, (e.shiftKey ? 1 : 0) | (e.ctrlKey ? 2 : 0) | (e.altKey ? 4 : 0));
  });

  // A key button answers at the touch, and keeps the focus where it is; a
  // screen reader or a keyboard presses it with a click instead.
  for (const button of keysRow.querySelectorAll('button[data-key]')) {
    const press = (e) => {
      e.preventDefault();
      if (state.state === 'running') queueKey(button.dataset.key, button.dataset.code, button.dataset.ctrl ? 2 : 0);
    };
    button.addEventListener('pointerdown', press);
    button.addEventListener('click', (e) => { if (e.detail === 0) press(e); });
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

  // --- What the screen means: text for assistive technology, places ---------

  // Below this height of a cell in CSS pixels an article is not readable on
  // the canvas: its page is shown as text in the page instead.
  const READABLE_CSS = 12;

  function decode(bytes) {
    let out = '';
    for (const b of bytes) out += CP437[b];
    return out;
  }

  // A label as a reader would say it: pipe colour codes gone, and letters
  // spaced out for the screen's look ("a n s i   a r t") joined again.
  function readable(label) {
    const text = label.replace(/\|\d\d/g, '').trim();
    const tokens = text.split(/ +/);
    if (tokens.length < 2 || !tokens.every((t) => t.length === 1)) return text;
    return text.split(/ {2,}/).map((word) => word.replace(/ /g, '')).join(' ');
  }

  // The rows of a rectangle of cells as text, trailing blanks gone.
  function rowsOf(rect) {
    const lines = [];
    for (let y = rect.top; y <= rect.bottom && y < rows; ++y) {
      let line = '';
      for (let x = rect.left; x <= rect.right && x < COLS; ++x) line += CP437[chars[y * COLS + x] & 0xFF];
      lines.push(line.replace(/[\s\u00A0]+$/, ''));
    }
    return lines;
  }

  const measure = document.createElement('canvas').getContext('2d');

  function reading() { return meaning.text !== null && cellCss < READABLE_CSS; }

  // The text layer lies over the canvas's text window, its letters clear,
  // so that find and copy work on what the canvas shows; where the canvas is
  // too small to read, it takes the canvas's place and shows the page in its
  // colours at a size that can be read.
  function placeLayers() {
    const read = reading();
    document.body.classList.toggle('reading', read);
    if (!meaning.text || read) {
      textLayer.style.cssText = '';
      if (read) fitReading();
      return;
    }
    const scale = cellCss / cellH / stretch;
    const r = meaning.text;
    textLayer.style.left = `${canvas.offsetLeft + r.left * cellW * scale}px`;
    textLayer.style.top = `${canvas.offsetTop + r.top * cellCss}px`;
    textLayer.style.width = `${(r.right - r.left + 1) * cellW * scale}px`;
    // The letters one cell apart, whatever the width of the page's monospace font.
    const size = cellCss * 0.8;
    measure.font = `${size}px monospace`;
    textLayer.style.fontSize = `${size}px`;
    textLayer.style.letterSpacing = `${cellW * scale - measure.measureText('M').width}px`;
    textLayer.style.lineHeight = `${cellCss}px`;
  }

  // The reading view's page in the room left by the buttons, its letters as
  // large as lets every line of the page be seen, and never under 12 px.
  const READING_PX = [16, 15, 14, 13, 12];

  function fitReading() {
    const room = window.innerHeight - keysRow.offsetHeight - note.offsetHeight - where.offsetHeight - 24;
    textLayer.style.maxHeight = `${Math.max(room, 0)}px`;
    for (const px of READING_PX) {
      textLayer.style.fontSize = `${px}px`;
      if (textLayer.scrollHeight <= textLayer.clientHeight) break;
    }
  }

  let textTimer = 0;
  let shownText = '';

  // The page's lines go to the layer once the drawing has settled, so that a
  // screen reader hears a new page once, not once per drawn row.
  function textChanged() {
    clearTimeout(textTimer);
    textTimer = setTimeout(showText, 120);
  }

  function showText() {
    if (!meaning.text) return;
    const lines = rowsOf(meaning.text);
    const joined = lines.join('\n');
    if (joined === shownText) return;
    shownText = joined;
    const r = meaning.text;
    textLayer.replaceChildren(...lines.map((line, i) => {
      const div = document.createElement('div');
      const y = r.top + i;
      // Runs of one colour, for the reading view.
      let run = null;
      let runColours = '';
      for (let x = r.left; x < r.left + line.length; ++x) {
        const i = y * COLS + x;
        const fg = cssOf(fores[i], attrs[i] & 15);
        const bg = cssOf(backs[i], attrs[i] >> 4);
        if (`${fg} ${bg}` !== runColours || !run) {
          run = document.createElement('span');
          run.style.setProperty('--fg', fg);
          run.style.setProperty('--bg', bg);
          div.appendChild(run);
          runColours = `${fg} ${bg}`;
        }
        run.textContent += CP437[chars[i] & 0xFF];
      }
      if (!line) div.textContent = '\u00A0';
      return div;
    }));
    placeLayers();
  }

  function look(letterSpacing, legacyAspect) {
    const w = letterSpacing === 9 ? 9 : CELL_W;
    const k = legacyAspect ? LEGACY_STRETCH : 1;
    if (w === cellW && k === stretch) return;
    cellW = w;
    stretch = k;
    if (painted) redrawAll();
  }

  // The font a piece was drawn for (conapi::DescribeFont): Count (256 or
  // 512) glyphs of Height (1 to 32) rows in Bytes; no bytes, or a font that
  // is none of those: the console's own font again. The canvas is Height
  // pixels a row while it is in force.
  function font(bytes, height, count) {
    const own = bytes.length > 0 && height >= 1 && height <= 32 && (count === 256 || count === 512)
      && bytes.length >= height * count;
    const next = own ? bytes.slice(0, height * count) : standardGlyphs;
    if (next === glyphs) return;
    glyphs = next;
    glyphCount = own ? count : 256;
    cellH = own ? height : CELL_H;
    tinted.length = 0;
    if (painted) redrawAll();
  }

  function text(left, top, right, bottom) {
    const had = meaning.text !== null;
    meaning.text = right < left ? null : { left, top, right, bottom };
    if (!meaning.text) {
      clearTimeout(textTimer);
      shownText = '';
      textLayer.replaceChildren();
    }
    textLayer.hidden = !meaning.text;
    if (had !== (meaning.text !== null)) fit();
    if (meaning.text) textChanged();
  }

  function menu(entryBytes, lit, top, left, boxTop, right, bottom) {
    if (lit < 0) {
      meaning.menu = null;
      menuList.replaceChildren();
      menuList.hidden = true;
      return;
    }
    const entries = [];
    let from = 0;
    for (let i = 0; i <= entryBytes.length; ++i) {
      if (i < entryBytes.length && entryBytes[i] !== 10) continue;
      entries.push(readable(decode(entryBytes.subarray(from, i))));
      from = i + 1;
    }
    const old = meaning.menu;
    meaning.menu = { entries, lit, top, left, boxTop, right, bottom };
    const same = old && old.entries.join('\n') === entries.join('\n');
    if (!same) {
      menuList.replaceChildren(...entries.map((entry, i) => {
        const li = document.createElement('li');
        li.setAttribute('role', 'option');
        li.id = `entry-${i}`;
        li.textContent = entry;
        li.setAttribute('aria-label', entry);
        li.addEventListener('click', () => chooseEntry(i));
        return li;
      }));
    }
    menuList.hidden = false;
    menuList.setAttribute('aria-label', meaning.title || baseTitle);
    menuList.querySelectorAll('li').forEach((li, i) => li.setAttribute('aria-selected', String(i === lit)));
    menuList.setAttribute('aria-activedescendant', `entry-${lit}`);
    if (!same || old.lit !== lit) announce(`${entries[lit]}, ${lit + 1} of ${entries.length}`);
  }

  // What a screen reader is told: the place first, when it is new, with
  // the menu's lit entry when a menu follows at once (one announcement, not
  // two that cut each other short).
  let placeToSay = '';
  let sayTimer = 0;

  function announce(text) {
    clearTimeout(sayTimer);
    say.textContent = [placeToSay, text].filter(Boolean).join(': ');
    placeToSay = '';
  }

  function place(placeBytes, titleBytes) {
    const name = decode(placeBytes);
    const title = readable(decode(titleBytes));
    meaning.place = name;
    meaning.title = title;
    document.title = title ? `${title} \u2014 ${baseTitle}` : baseTitle;
    where.textContent = title || baseTitle;
    // The screen, as an image, is called what it shows: the piece, the
    // article, the section.
    canvas.setAttribute('aria-label', title || baseTitle);
    placeToSay = title || baseTitle;
    clearTimeout(sayTimer);
    sayTimer = setTimeout(() => announce(''), 60);
    const address = `#${name}`;
    if (placesSeen++ === 0) {
      // The first place replaces the address the page was opened with. An
      // address deep in the magazine gets the places above it first, so
      // that Back climbs to the section and the main menu before it leaves.
      // In a magazine of many issues a place begins with its issue's number
      // ("2/articles/news"), and so does each place above it.
      const [, issue = '', within] = /^(\d+\/)?(.*)$/.exec(name);
      const parts = within.split('/');
      const above = within === 'menu' ? []
        : [`${issue}menu`, ...parts.slice(0, -1).map((_, i) => issue + parts.slice(0, i + 1).join('/'))];
      history.replaceState(null, '', `#${above.length ? above[0] : name}`);
      for (const step of [...above.slice(1), ...(above.length ? [name] : [])]) history.pushState(null, '', `#${step}`);
    } else if (location.hash === address) {
      history.replaceState(null, '', address);  // Back or Forward brought the reader here
    } else {
      history.pushState(null, '', address);
    }
  }

  // Back, Forward or an address typed: the program is asked to go there,
  // and an Esc ends what it is waiting for so that it looks.
  window.addEventListener('popstate', () => {
    const wanted = decodeURIComponent(location.hash.slice(1));
    if (state.state !== 'running' || !wanted || wanted === meaning.place) return;
    wantedPlace = wanted;
    queueKey('Escape', 'Escape', 0);
  });

  // --- Touch -------------------------------------------------------------------

  // Moves the bar to entry I, or chooses it when it is lit already.
  function chooseEntry(i) {
    const m = meaning.menu;
    if (!m || state.state !== 'running') return;
    if (i === m.lit) {
      queueKey('Enter', 'Enter', 0);
      return;
    }
    const key = i > m.lit ? 'ArrowDown' : 'ArrowUp';
    for (let n = Math.abs(i - m.lit); n > 0; --n) queueKey(key, key, 0);
  }

  // The cell under a point of the canvas.
  function cellAt(e) {
    const box = canvas.getBoundingClientRect();
    return {
      x: Math.floor(((e.clientX - box.left) / box.width) * COLS),
      y: Math.floor(((e.clientY - box.top) / box.height) * rows),
    };
  }

  // A tap on a menu entry moves the bar there; a tap on the lit one chooses
  // it. A vertical swipe is Up or Down, one line per row of travel.
  let swipe = null;

  function swipeStart(e) {
    if (e.pointerType === 'mouse') return;
    swipe = { id: e.pointerId, y0: e.clientY, y: e.clientY, moved: false, e };
  }

  function swipeMove(e) {
    if (!swipe || e.pointerId !== swipe.id) return;
    const step = reading() ? READABLE_CSS * 1.5 : cellCss;
    while (Math.abs(e.clientY - swipe.y) >= step) {
      const up = e.clientY < swipe.y;  // the finger goes up: the text comes up
      queueKey(up ? 'ArrowDown' : 'ArrowUp', up ? 'ArrowDown' : 'ArrowUp', 0);
      swipe.y += up ? -step : step;
      swipe.moved = true;
    }
    if (Math.abs(e.clientY - swipe.y0) > step / 2) swipe.moved = true;
  }

  function swipeEnd(e) {
    if (!swipe || e.pointerId !== swipe.id) return;
    const tapped = !swipe.moved;
    swipe = null;
    if (!tapped || e.currentTarget !== canvas) return;
    const m = meaning.menu;
    const at = cellAt(e);
    if (m && at.x >= m.left && at.x <= m.right && at.y >= m.boxTop && at.y <= m.bottom) {
      const i = m.top + at.y - m.boxTop;
      if (i < m.entries.length) chooseEntry(i);
    }
  }

  for (const surface of [canvas, textLayer]) {
    surface.addEventListener('pointerdown', swipeStart);
    surface.addEventListener('pointermove', swipeMove);
    surface.addEventListener('pointerup', swipeEnd);
    surface.addEventListener('pointercancel', () => { swipe = null; });
  }
  // A mouse click on an entry does what a tap does.
  canvas.addEventListener('click', (e) => {
    if (e.pointerType && e.pointerType !== 'mouse') return;
    const m = meaning.menu;
    const at = cellAt(e);
    if (m && at.x >= m.left && at.x <= m.right && at.y >= m.boxTop && at.y <= m.bottom) {
      const i = m.top + at.y - m.boxTop;
      if (i < m.entries.length) chooseEntry(i);
    }
  });

  // The keyboard button brings up the device's keyboard: what is typed in
  // the hidden field goes to the magazine letter by letter.
  document.getElementById('type').addEventListener('click', () => {
    typing.value = '';
    typing.focus();
  });
  typing.addEventListener('input', (e) => {
    const typed = e.data || typing.value;
    typing.value = '';
    if (state.state !== 'running' || !typed) return;
    for (const ch of typed) queueKey(ch, '', 0);
  });

  // --- Saves: a download under the typed name -----------------------------

  function download(name, bytes) {
    const url = URL.createObjectURL(new Blob([bytes], { type: 'application/octet-stream' }));
    const a = document.createElement('a');
    a.href = url;
    a.download = name.replace(/^.*[\\/]/, '') || 'quixmag.txt';
    document.body.appendChild(a);
    a.click();
    a.remove();
    // Some browsers take the focus away for the download: the magazine keeps
    // it, so that the next key reaches it.
    setTimeout(() => canvas.focus(), 0);
    setTimeout(() => URL.revokeObjectURL(url), 10000);
  }

  // --- Issues fetched when they are read ------------------------------------

  function writeFile(path, bytes) {
    Module.FS.mkdirTree(path.slice(0, path.lastIndexOf('/')) || '/');
    Module.FS.writeFile(path, bytes);
  }

  // A file of the site beside the page, to Path in the program's memory
  // file system (sys::web::FetchSiteFile): the line under the screen says
  // that What is loading while it comes, and plainly why when it did not.
  // Answers '' when it came, else that line.
  let fetchFailed = '';

  async function fetchFile(name, path, what) {
    const before = note.textContent;
    note.textContent = `loading ${what}\u2026`;
    let reason = '';
    try {
      const r = await fetch(name);
      if (r.ok) writeFile(path, new Uint8Array(await r.arrayBuffer()));
      else reason = `${what} cannot be fetched: the site answers ${r.status}`;
    } catch (err) {
      // No answer at all: the line is down, and what has not been read
      // before is not kept (web/sw.js).
      reason = `${what} cannot be fetched offline: only the issues read before are kept`;
    }
    fetchFailed = reason;
    note.textContent = reason || (before === 'loading...' || before.startsWith('loading issue') ? '' : before);
    return reason;
  }

  // --- For the tests and the curious ---------------------------------------

  window.quixmagScreen = function () {
    drawPending();  // the canvas as the cells say, for a test that reads both
    const text = [];
    const attr = [];
    for (let y = 0; y < rows; ++y) {
      let line = '';
      const a = [];
      for (let x = 0; x < COLS; ++x) {
        line += CP437[chars[y * COLS + x] & 0xFF];
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
    quixPage: {
      paint, pendingKeys: () => keys.length, takeKey: () => keys.shift(), waitForKey, pause, download,
      place, menu, text, look, font, wanted: () => wantedPlace, forgetWanted: () => { wantedPlace = ''; }, fetchFile,
    },
    print: (text) => console.log(text),
    printErr: (text) => console.warn(text),
    onExit: (status) => {
      state = { state: 'ended', status };
      setCursor(cursor.x, cursor.y, false);
      text(0, 0, -1, -1);
      menu(new Uint8Array(0), -1);
      note.textContent = status !== 0 && fetchFailed ? `${fetchFailed} \u2014 reload to try again`
        : 'the magazine has ended \u2014 reload to read again';
      if (Module.quixAudio) Module.quixAudio.free();
    },
  };

  const fontReady = fetch('font.bin')
    .then((r) => (r.ok ? r.arrayBuffer() : Promise.reject(new Error(`font.bin: ${r.status}`))))
    .then((b) => { standardGlyphs = new Uint8Array(b); glyphs = standardGlyphs; });
  // A web edition made with quixmag --pack carries its issue beside the
  // page (issue.zip) and names it in the page; the program finds it where an
  // executable carries its pack, at the end of its own file (/quixmag). A
  // page that names none shows the issue built in, and asks for nothing.
  // A magazine of many issues names its shelf (magazine.zip: the issues'
  // manifests) and the newest issue's pack (issues/N.zip), which is fetched
  // beside it; the program reads it where the shelf's folder has it, and
  // fetches any other issue when it is opened.
  const packName = document.querySelector('meta[name="quixmag-issue"]')?.content || '';
  const firstName = document.querySelector('meta[name="quixmag-first"]')?.content || '';
  const bytesOf = (name) => fetch(name).then((r) => (r.ok ? r.arrayBuffer() : null), () => null);
  const issueReady = packName ? bytesOf(packName) : Promise.resolve(null);
  // An address into an issue (#1/articles/news) fetches that issue's pack in
  // the newest's place, and the program starts on it; an issue the site has
  // no pack of is no issue of it, and the newest is read.
  async function firstIssue() {
    if (!firstName) return null;
    const newest = /(\d+)\.zip$/.exec(firstName);
    const linked = /^(\d{1,4})(\/|$)/.exec(wantedPlace);
    if (newest && linked && Number(linked[1]) !== Number(newest[1])) {
      const name = firstName.replace(/\d+\.zip$/, `${Number(linked[1])}.zip`);
      const bytes = await bytesOf(name);
      if (bytes) {
        args.push('--read', String(Number(linked[1])));
        return [bytes, name];
      }
    }
    const bytes = await bytesOf(firstName);
    return bytes ? [bytes, firstName] : null;
  }
  const firstReady = firstIssue();
  Module.onRuntimeInitialized = () => {
    Promise.all([fontReady, issueReady, firstReady]).then(([, pack, first]) => {
      if (pack) Module.FS.writeFile('/quixmag', new Uint8Array(pack));
      if (first) writeFile(`/${first[1]}`, new Uint8Array(first[0]));
      if (note.textContent === 'loading...') note.textContent = '';
      canvas.focus();
      Module.callMain(args);
    }, (err) => { note.textContent = `cannot start: ${err.message}`; });
  };

  window.addEventListener('resize', fit);
  fit();
})();
