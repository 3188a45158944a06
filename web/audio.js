// The page's half of the sound library (music/soundlib_web.cpp): an audio
// context with the player's worklet (worklet.js, which runs libopenmpt in
// player.wasm). Browsers start sound only after the reader's first key or
// tap; until then the context waits, and the music is heard from then on.
//
// Nothing here makes the program wait. The audio context is made and the
// player fetched once the program has started its music and its first
// screen is painted, while the logo is drawn; a module asked for before the
// player is up (the first track always is) is queued and starts the moment
// the player and the module's bytes are both there. A module beside the
// page (tracks/NAME) is fetched when it is first asked for and kept for the
// next time.
'use strict';

(function () {
  const HINT = 'a key or a tap starts the sound';
  const NO_MUSIC = 'no music here: browsers play it only on a secure page (https, or this machine)';
  const SILENT = 'no music: the page was opened with ?silent';

  let context = null;
  let node = null;
  let meter = null;
  let player = Promise.resolve(null);  // the worklet's node once it runs, null without one
  let wanted = null;                   // the module the program asked for last: { source, play, sent }
  let asked = 0;
  const fetched = new Map();           // path: a promise of the file's bytes

  const note = document.getElementById('note');

  // A line that stays under the screen while the music is off for the run:
  // whatever clears the note (the page, once the program starts) gets it
  // back, and the page's own words ("loading...", the end) stand.
  let standing = '';
  function keepSaying(text) {
    standing = text;
    if (note.textContent === '') note.textContent = standing;
  }
  new MutationObserver(() => {
    if (standing && note.textContent === '') note.textContent = standing;
  }).observe(note, { childList: true, characterData: true, subtree: true });

  // Until the browser lets the sound start, the page says how to start it.
  function showState() {
    if (context && context.state === 'suspended') note.textContent = HINT;
    else if (note.textContent === HINT) note.textContent = '';
  }

  // Audio worklets exist only in secure contexts (HTTPS, or the local
  // machine): elsewhere the music is off, as on a machine without sound.
  function musicPossible() {
    return window.isSecureContext !== false && typeof AudioContext !== 'undefined' &&
      typeof AudioWorkletNode !== 'undefined';
  }

  if (new URLSearchParams(location.search).has('silent')) keepSaying(SILENT);
  else if (!musicPossible()) keepSaying(NO_MUSIC);

  // A module beside the page holds its bytes in two planes, those of even
  // offsets first (issue/site_tracks.h): they are put back in order.
  function inOrder(planes) {
    const from = new Uint8Array(planes);
    const bytes = new Uint8Array(from.length);
    const even = Math.ceil(from.length / 2);
    for (let i = 0; i < even; ++i) bytes[2 * i] = from[i];
    for (let i = even; i < from.length; ++i) bytes[2 * (i - even) + 1] = from[i];
    return bytes.buffer;
  }

  function bytesOf(path, shape = (b) => b) {
    if (!fetched.has(path)) {
      const bytes = fetch(path)
        .then((r) => (r.ok ? r.arrayBuffer() : Promise.reject(new Error(`${path}: ${r.status}`))))
        .then(shape);
      // A file that did not come is fetched again when it is asked for again.
      bytes.catch(() => fetched.delete(path));
      fetched.set(path, bytes);
    }
    return fetched.get(path);
  }

  function answered(e) {
    if (!e.data.ok && wanted && wanted.id === e.data.id) {
      console.warn('no music: the player refused the module');
      note.textContent = 'the player could not play this track';
    }
  }

  // Making an audio context holds the page while the browser starts its
  // audio (a sixth of a second in Chromium): it is made two frames after the
  // program starts its music, once the first screen is on its way to the
  // reader. Opening: the start that is waiting for those frames.
  let opening = null;

  function afterNextFrames() {
    return new Promise((resolve) => requestAnimationFrame(() => requestAnimationFrame(resolve)));
  }

  function start(silent) {
    const mine = {};
    opening = mine;
    player = afterNextFrames().then(() => {
      if (opening !== mine) return null;  // the music was released meanwhile
      opening = null;
      return open(silent);
    });
  }

  function open(silent) {
    try {
      context = new AudioContext({ latencyHint: 'playback' });
      if (!context.audioWorklet) throw new Error('no audio worklet');
    } catch (err) {
      console.warn(`no music: ${err.message}`);
      if (context) context.close();
      context = null;
      keepSaying(NO_MUSIC);
      return null;
    }
    context.onstatechange = showState;
    showState();
    // The meter reads what goes to the speakers; device -2 (no real
    // output) plays into the meter alone.
    meter = context.createAnalyser();
    meter.fftSize = 2048;
    if (!silent) meter.connect(context.destination);
    else meter.connect(context.createMediaStreamDestination());
    const own = context;
    return Promise.all([own.audioWorklet.addModule('worklet.js'), bytesOf('player.wasm')])
      .then(([, wasm]) => {
        if (context !== own) return null;  // the music was released meanwhile
        node = new AudioWorkletNode(own, 'quix-player', {
          numberOfInputs: 0, numberOfOutputs: 1, outputChannelCount: [2],
          processorOptions: { wasm },
        });
        node.port.onmessage = answered;
        node.connect(meter);
        return node;
      })
      .catch((err) => {
        console.warn(`no music: ${err.message}`);
        if (context === own) keepSaying(`no music: ${err.message}`);
        return null;
      });
  }

  function send(message) {
    if (node) node.port.postMessage(message);
  }

  // The module whose bytes Source brings replaces the one in play; it goes
  // to the player once both are there, unless another was asked for, or
  // the music stopped, meanwhile.
  function ask(source) {
    const mine = { id: ++asked, play: false, sent: false };
    wanted = mine;
    Promise.all([player, source]).then(([worklet, bytes]) => {
      if (wanted !== mine || !worklet) return;
      const copy = bytes.slice(0);  // the copy goes to the worklet, the bytes stay for the next time
      worklet.port.postMessage({ type: 'load', id: mine.id, bytes: copy }, [copy]);
      mine.sent = true;
      if (mine.play) worklet.port.postMessage({ type: 'play' });
    }, (err) => {
      if (wanted !== mine) return;
      console.warn(`no music: ${err.message}`);
      note.textContent = `this track did not come (${err.message})`;
    });
    return true;
  }

  Module.quixAudio = {
    init(silent) {
      if (!musicPossible()) return false;
      if (!context && !opening) start(silent);
      return true;
    },
    // A module's bytes, handed over by the program.
    load(bytes) { return ask(Promise.resolve(bytes.buffer)); },
    // A module beside the page, by its path in the site.
    fetch(path) { return ask(bytesOf(path, inOrder)); },
    play() {
      if (!wanted) return;
      wanted.play = true;
      if (wanted.sent) send({ type: 'play' });
    },
    stop() {
      wanted = null;
      send({ type: 'stop' });
    },
    free() {
      send({ type: 'stop' });
      opening = null;
      if (context) context.close();
      context = null;
      node = null;
      meter = null;
      wanted = null;
      player = Promise.resolve(null);
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
