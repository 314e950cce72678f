// Vantorel's service worker: the whole site is kept at the first visit and
// served from there, so the page opens and works with no connection. A new
// build has a new cache name, which replaces the old one.
'use strict';
const CACHE = '@CACHE@';
const FILES = ['./', 'index.html', 'page.js', 'page.css', 'vantorel.js', 'vantorel.wasm', 'manifest.webmanifest',
               'icon.svg', 'icon-192.png', 'icon-512.png'];

self.addEventListener('install', (event) => {
  event.waitUntil(caches.open(CACHE).then((cache) => cache.addAll(FILES)).then(() => self.skipWaiting()));
});

self.addEventListener('activate', (event) => {
  event.waitUntil(caches.keys()
    .then((names) => Promise.all(names.filter((n) => n !== CACHE).map((n) => caches.delete(n))))
    .then(() => self.clients.claim()));
});

// The kept copy first; the network only for what is not kept.
self.addEventListener('fetch', (event) => {
  if (event.request.method !== 'GET') return;
  event.respondWith(caches.open(CACHE).then((cache) =>
    cache.match(event.request, { ignoreSearch: true }).then((hit) => hit || fetch(event.request))));
});
