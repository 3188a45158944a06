// The page's half of the sound library (music/soundlib_web.cpp): an audio
// context with the player's worklet (worklet.js, which runs libopenmpt in
// player.wasm). Browsers start sound only after the reader's first key or
// tap; until then the context waits, and the music is heard from then on.
'use strict';

(function () {
  // How long the program waits for the worklet to answer a module.
  const ANSWER_MS = 5000;
  let context = null;
  let node = null;
  let meter = null;
  let ready = null;    // resolves to true once the worklet runs
  let answers = 0;
  const waiting = new Map();

  function withTimeout(promise, ms, value) {
    return Promise.race([promise, new Promise((resolve) => setTimeout(() => resolve(value), ms))]);
  }

  const HINT = 'a key or a tap starts the sound';

  // Until the browser lets the sound start, the page says how to start it.
  function showState() {
    const note = document.getElementById('note');
    if (context && context.state === 'suspended') note.textContent = HINT;
    else if (note.textContent === HINT) note.textContent = '';
  }

  function start(silent) {
    context = new AudioContext({ latencyHint: 'playback' });
    context.onstatechange = showState;
    showState();
    ready = context.audioWorklet.addModule('worklet.js')
      .then(() => fetch('player.wasm'))
      .then((r) => (r.ok ? r.arrayBuffer() : Promise.reject(new Error(`player.wasm: ${r.status}`))))
      .then((wasm) => {
        node = new AudioWorkletNode(context, 'quix-player', {
          numberOfInputs: 0, numberOfOutputs: 1, outputChannelCount: [2],
          processorOptions: { wasm },
        });
        node.port.onmessage = (e) => {
          const wake = waiting.get(e.data.id);
          if (wake) {
            waiting.delete(e.data.id);
            wake(e.data.ok ? 1 : 0);
          }
        };
        // The meter reads what goes to the speakers; device -2 (no real
        // output) plays into the meter alone.
        meter = context.createAnalyser();
        meter.fftSize = 2048;
        node.connect(meter);
        if (!silent) meter.connect(context.destination);
        else meter.connect(context.createMediaStreamDestination());
        return true;
      })
      .catch((err) => { console.warn(`no music: ${err.message}`); return false; });
  }

  function send(message) {
    if (node) node.port.postMessage(message);
  }

  Module.quixAudio = {
    // Audio worklets exist only in secure contexts (HTTPS, or the local
    // machine): elsewhere the music is off, as on a machine without sound.
    init(silent) {
      if (typeof AudioContext === 'undefined' || typeof AudioWorkletNode === 'undefined') return false;
      try {
        if (!context) start(silent);
      } catch (err) {
        console.warn(`no music: ${err.message}`);
        return false;
      }
      return true;
    },
    async load(bytes) {
      if (!(await withTimeout(ready, ANSWER_MS, false))) return 0;
      const id = ++answers;
      const answer = new Promise((resolve) => waiting.set(id, resolve));
      node.port.postMessage({ type: 'load', id, bytes: bytes.buffer }, [bytes.buffer]);
      const ok = await withTimeout(answer, ANSWER_MS, 0);
      waiting.delete(id);
      return ok;
    },
    play() { send({ type: 'play' }); },
    stop() { send({ type: 'stop' }); },
    free() {
      send({ type: 'stop' });
      if (context) context.close();
      context = null;
      node = null;
      meter = null;
      ready = Promise.resolve(false);
    },
    // The reader's first key or tap: the browser now lets the sound start.
    gesture() {
      if (context && context.state === 'suspended') context.resume();
    },
  };

  // The loudness of what is playing now: the root mean square of the last
  // 2048 samples reaching the output, 0 for silence; -1 with no audio.
  window.quixmagAudioLevel = function () {
    if (!meter) return -1;
    const samples = new Float32Array(meter.fftSize);
    meter.getFloatTimeDomainData(samples);
    let sum = 0;
    for (const s of samples) sum += s * s;
    return Math.sqrt(sum / samples.length);
  };
  window.quixmagAudioState = () => (context ? context.state : 'none');
})();
