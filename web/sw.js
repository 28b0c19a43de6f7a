// SPDX-License-Identifier: GPL-3.0-or-later
// Keeps the game's files in the browser after the first visit, so that it starts without a
// network. A new version of the folder has a new cache name; the old cache is then removed.
var cacheName = 'vorandi-@VERSION@';
var files = [
  './', 'index.html', 'page.js', 'qtloader.js', 'vorandi.js', 'vorandi.wasm',
  'manifest.webmanifest', 'vorandi-64.png', 'vorandi-128.png'
];

self.addEventListener('install', function (event) {
  event.waitUntil(caches.open(cacheName).then(function (cache) { return cache.addAll(files); }));
  self.skipWaiting();
});

self.addEventListener('activate', function (event) {
  event.waitUntil(caches.keys().then(function (names) {
    return Promise.all(names.filter(function (name) {
      return name.indexOf('vorandi-') === 0 && name !== cacheName;
    }).map(function (name) { return caches.delete(name); }));
  }).then(function () { return self.clients.claim(); }));
});

// The stored copy first: it is this version's; the network only for what was never stored.
self.addEventListener('fetch', function (event) {
  if (event.request.method !== 'GET') return;
  event.respondWith(caches.open(cacheName).then(function (cache) {
    return cache.match(event.request, { ignoreSearch: true }).then(function (stored) {
      return stored || fetch(event.request);
    });
  }));
});
