// Registers the service worker (sw.js) that keeps the site for reading
// without the network. Service workers exist only in secure contexts
// (HTTPS, or the local machine as 127.0.0.1 or localhost); elsewhere the
// page is read from the network alone, as before, and nothing is said.
'use strict';

(function () {
  if (!window.isSecureContext || !('serviceWorker' in navigator)) return;
  const workers = navigator.serviceWorker;
  // A page that a worker already served came from a cached version; when a
  // newer one takes over, the page is loaded again from it, unless the
  // reader has begun to read: then a note says that it is there.
  const servedFromCache = Boolean(workers.controller);
  let reading = false;
  for (const kind of ['keydown', 'pointerdown']) {
    window.addEventListener(kind, () => { reading = true; }, { capture: true, once: true });
  }
  workers.addEventListener('controllerchange', () => {
    if (!servedFromCache) return;
    if (!reading) {
      location.reload();
      return;
    }
    const note = document.getElementById('note');
    if (note) note.textContent = 'a new edition is in \u2014 reload the page to read it';
  });
  // After the page's own files, so that the first visit is not slowed.
  window.addEventListener('load', () => {
    workers.register('sw.js').catch((err) => console.info(`the magazine is not kept for offline reading: ${err.message}`));
  });
  // What this page fetched before the worker took over (an issue read on
  // the first visit, its music) is named to it, so that it is kept too:
  // the worker keeps only the files of an issue read (web/sw.js).
  // From the moment it takes over, every fetch passes through it.
  if (!servedFromCache) {
    workers.addEventListener('controllerchange', () => {
      const read = performance.getEntriesByType('resource').map((e) => e.name);
      workers.controller?.postMessage({ read });
    }, { once: true });
  }
})();
