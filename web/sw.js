// The web edition's service worker: keeps every file of the site in a cache
// named after the site's version, so that after one visit the magazine
// opens and plays with the network off. A new version of the site (its
// files differ, so this file differs) is cached whole before it takes over;
// the caches of the versions before it are then deleted. A magazine of many
// issues lists apart the files fetched only when their issue is read (its
// pack, its tracks): each is kept once it has been read, not before, so a
// read issue opens offline and the site is not fetched whole at once.
'use strict';

// The site's files beside this one, those fetched when read, and a version
// made of their contents:
// the build (cmake/WebOffline.cmake) and quixmag --pack (issue/editions.cpp)
// each write this one line, which they find by its start.
const SITE = { "version": "unbuilt", "files": [] };

const SCOPE = self.registration.scope;
// Several sites may share an origin (one folder each): a cache's name says
// whose it is, and only this site's older caches are deleted.
const OURS = `quixmag ${SCOPE} `;
const CACHE = OURS + SITE.version;
const START = new URL(SCOPE).pathname;

function urlOf(name) {
  return new URL(name.split('/').map(encodeURIComponent).join('/'), SCOPE).href;
}

const LISTED = new Set(SITE.files.map(urlOf));
const WHEN_READ = new Set((SITE.whenRead || []).map(urlOf));
const PAGE = urlOf('index.html');

self.addEventListener('install', (event) => {
  // 'no-cache': each file as the server has it now, never an HTTP cache's
  // copy of an older version; a copy the server confirms unchanged (the
  // page has just fetched it) is not fetched a second time.
  const requests = SITE.files.map((name) => new Request(urlOf(name), { cache: 'no-cache' }));
  event.waitUntil(caches.open(CACHE)
    .then((cache) => cache.addAll(requests))
    .then(() => self.skipWaiting(),
      (err) => caches.delete(CACHE).then(() => { throw err; })));
});

self.addEventListener('activate', (event) => {
  event.waitUntil(caches.keys()
    .then((names) => Promise.all(names.filter((n) => n.startsWith(OURS) && n !== CACHE).map((n) => caches.delete(n))))
    .then(() => self.clients.claim()));
});

// The files read before this worker took over (the page's first visit) are
// named by the page (web/offline.js), and kept as if read through it.
self.addEventListener('message', (event) => {
  const read = Array.isArray(event.data?.read) ? event.data.read : [];
  const wanted = read.map((u) => new URL(u, SCOPE).href).filter((u) => WHEN_READ.has(u));
  event.waitUntil(caches.open(CACHE).then((cache) => Promise.all(wanted.map((u) => cache.match(u)
    .then((kept) => kept || fetch(u).then((r) => (r.ok ? cache.put(u, r) : undefined))).catch(() => undefined)))));
});

// A file of the site comes from the cache, the network only when the cache
// lacks it (a browser may clear caches); a file fetched when read is kept
// as it comes. The page is found whatever its address's query (?silent,
// ?keys) and under the folder's own address.
self.addEventListener('fetch', (event) => {
  const request = event.request;
  if (request.method !== 'GET') return;
  const url = new URL(request.url);
  url.search = '';
  url.hash = '';
  const navigation = request.mode === 'navigate';
  let key = null;
  if ((LISTED.has(url.href) || WHEN_READ.has(url.href)) && (navigation || request.url === url.href)) key = url.href;
  else if (navigation && url.origin === location.origin && url.pathname === START) key = PAGE;
  if (!key) return;
  const keep = WHEN_READ.has(key);
  event.respondWith(caches.open(CACHE)
    .then((cache) => cache.match(key).then((kept) => kept || fetch(request).then((response) => {
      if (keep && response.ok) event.waitUntil(cache.put(key, response.clone()));
      return response;
    }))));
});
