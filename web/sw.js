// SPDX-License-Identifier: GPL-3.0-or-later
// Keeps the game's files in the browser after the first visit, so that it starts without a
// network, and lets a new version in at the next visit. Each build keeps its program files in a
// folder of its own, named after their content, which index.html names: a page is always one
// build's, never old files with new ones. index.html comes from the server when it answers (the
// stored copy only without a network); the rest comes from this version's copy. The version's
// name changes with any file, so a new build installs a new copy, fetched past the HTTP cache,
// and the old copy is removed once the new one is in charge.
var cacheName = 'vorandi-@VERSION@';
var build = '@BUILD@/';
var files = [
  './', build + 'page.js', build + 'mirror.js', build + 'numberpad.js', build + 'qtloader.js',
  build + 'vorandi.js', build + 'vorandi.wasm',
  'manifest.webmanifest', 'vorandi-64.png', 'vorandi-128.png', 'vorandi-192.png', 'vorandi-512.png'
];

// Each file as the server has it now, never an older one from the HTTP cache.
function fetchFresh(url) {
  return fetch(new Request(url, { cache: 'reload' })).then(function (response) {
    if (!response.ok) throw new Error(url + ': ' + response.status);
    return response;
  });
}

self.addEventListener('install', function (event) {
  event.waitUntil(caches.open(cacheName).then(function (cache) {
    return Promise.all(files.map(function (url) {
      return fetchFresh(url).then(function (response) { return cache.put(url, response); });
    }));
  }).then(function () { return self.skipWaiting(); }));
});

self.addEventListener('activate', function (event) {
  event.waitUntil(caches.keys().then(function (names) {
    return Promise.all(names.filter(function (name) {
      return name.indexOf('vorandi-') === 0 && name !== cacheName;
    }).map(function (name) { return caches.delete(name); }));
  }).then(function () { return self.clients.claim(); }));
});

function isPage(request) {
  var path = new URL(request.url).pathname;
  return request.mode === 'navigate' || /\/(index\.html)?$/.test(path);
}

// The page from the server, or its stored copy without a network.
function pageFirstFromNetwork(request) {
  return fetch(request, { cache: 'no-store' }).catch(function () {
    return caches.open(cacheName).then(function (cache) {
      return cache.match('./').then(function (stored) { return stored || Response.error(); });
    });
  });
}

// A build's file: from this version's copy, or from the server (a newer build's folder before its
// copy is in place, or anything this copy never held).
function storedFirst(request) {
  return caches.open(cacheName).then(function (cache) {
    return cache.match(request, { ignoreSearch: true }).then(function (stored) {
      return stored || fetch(request);
    });
  });
}

self.addEventListener('fetch', function (event) {
  if (event.request.method !== 'GET') return;
  event.respondWith(isPage(event.request) ? pageFirstFromNetwork(event.request)
                                          : storedFirst(event.request));
});
