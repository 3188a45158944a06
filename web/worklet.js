// The module player of the web edition, in the audio worklet: libopenmpt
// (player.wasm, built by tools/web_deps.sh and music/worklet_player.cpp)
// renders the module at the context's rate, 128 frames at a time.
//
// Messages from the page, in the order the program called: {type: 'load',
// id, bytes} answered by {id, ok}; {type: 'play'}; {type: 'stop'} (stops
// and frees the module). Those that come while player.wasm compiles wait.
'use strict';

// player.wasm is a stand-alone module: it asks its host for a few system
// calls (output, clock, exit) that the player never needs; each answers
// "nothing done", and an exit or abort stops the player.
function hostImports(module) {
  const imports = {};
  for (const { module: from, name, kind } of WebAssembly.Module.imports(module)) {
    if (kind !== 'function') continue;
    imports[from] = imports[from] || {};
    const fatal = name === 'proc_exit' || name.includes('abort');
    imports[from][name] = fatal ? () => { throw new Error(`player: ${name}`); } : () => 0;
  }
  return imports;
}

class QuixPlayer extends AudioWorkletProcessor {
  constructor(options) {
    super();
    this.exports = null;
    this.playing = false;
    this.buffers = 0;
    this.early = [];
    this.port.onmessage = (e) => (this.exports ? this.handle(e.data) : this.early.push(e.data));
    WebAssembly.compile(options.processorOptions.wasm)
      .then((module) => {
        this.module = module;
        return WebAssembly.instantiate(module, hostImports(module));
      })
      .then((instance) => {
        this.start(instance);
        for (const message of this.early) this.handle(message);
        this.early = [];
      })
      .catch(() => {
        for (const message of this.early) if (message.id) this.port.postMessage({ id: message.id, ok: false });
        this.early = [];
      });
  }

  start(instance) {
    this.exports = instance.exports;
    if (this.exports._initialize) this.exports._initialize();
    this.buffers = this.exports.player_alloc(2 * 128 * 4);
  }

  // libopenmpt refuses a file by throwing, which a player built without
  // C++ exceptions cannot catch: the player stops at a trap, its memory as
  // it was then. A fresh instance of the compiled player takes its place.
  loaded(bytes) {
    const x = this.exports;
    const at = x.player_alloc(bytes.length);
    if (!at) return false;
    try {
      new Uint8Array(x.memory.buffer, at, bytes.length).set(bytes);
      const ok = x.player_load(at, bytes.length) === 1;
      x.player_release(at);
      return ok;
    } catch (err) {
      this.start(new WebAssembly.Instance(this.module, hostImports(this.module)));
      return false;
    }
  }

  handle(message) {
    if (message.type === 'load') {
      const ok = this.loaded(new Uint8Array(message.bytes));
      // The page answered the program before the module came: a refused
      // module must not leave the one before it to play in its place.
      if (!ok) this.exports.player_unload();
      this.playing = false;
      this.port.postMessage({ id: message.id, ok });
    } else if (message.type === 'play') {
      this.playing = true;
    } else if (message.type === 'stop') {
      this.playing = false;
      this.exports.player_unload();
    }
  }

  process(inputs, outputs) {
    const out = outputs[0];
    if (!this.playing || !this.exports || out.length < 2) return true;
    const frames = Math.min(out[0].length, 128);
    const left = this.buffers;
    const right = this.buffers + 128 * 4;
    const got = this.exports.player_render(sampleRate, frames, left, right);
    const heap = this.exports.memory.buffer;
    out[0].set(new Float32Array(heap, left, got));
    out[1].set(new Float32Array(heap, right, got));
    return true;
  }
}

registerProcessor('quix-player', QuixPlayer);
