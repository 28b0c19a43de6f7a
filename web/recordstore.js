// SPDX-License-Identifier: GPL-3.0-or-later
// The record folder in the browser's storage: vora.txt and nvora.txt, byte for byte, in one
// IndexedDB store, both written in one transaction (a tab closed during a save leaves the old
// pair or the new one). Before the program starts they are copied into the page's folder
// /vorandi, where the game reads and writes them as files; the program calls reread() and
// store() under the lock that lock() takes across the browser's tabs.
Module.vorandiRecord = (function () {
  var folder = '/vorandi';
  var files = ['vora.txt', 'nvora.txt'];
  var lockName = 'vorandi-record';
  var database = null;
  var releaseLock = null;
  var refused = false;

  // Says once that the browser keeps no record (private mode, storage blocked or full).
  function storageRefused() {
    if (refused) return;
    refused = true;
    if (typeof window === 'object' && window.vorandiStorageRefused) window.vorandiStorageRefused();
  }

  function open() {
    return new Promise(function (resolve) {
      try {
        var request = indexedDB.open('vorandi', 1);
        request.onupgradeneeded = function () { request.result.createObjectStore('record'); };
        request.onsuccess = function () { resolve(request.result); };
        request.onerror = function () { resolve(null); };
        request.onblocked = function () { resolve(null); };
      } catch (e) {
        resolve(null);
      }
    });
  }

  // The stored pair as {name: bytes}, or null when none is stored or storage cannot be read.
  function readStored() {
    return new Promise(function (resolve) {
      if (!database) return resolve(null);
      try {
        var transaction = database.transaction('record', 'readonly');
        var store = transaction.objectStore('record');
        var pair = {};
        files.forEach(function (name) {
          store.get(name).onsuccess = function (event) { pair[name] = event.target.result; };
        });
        transaction.oncomplete = function () {
          resolve(files.every(function (name) { return pair[name] instanceof Uint8Array; }) ? pair : null);
        };
        transaction.onerror = transaction.onabort = function () { resolve(null); };
      } catch (e) {
        resolve(null);
      }
    });
  }

  function ensureFolder() {
    try { FS.mkdir(folder); } catch (e) { /* already there */ }
  }

  // The stored pair replaces what the page's folder holds; with none stored the folder is kept.
  function reread() {
    return readStored().then(function (pair) {
      ensureFolder();
      if (!pair) return;
      files.forEach(function (name) { FS.writeFile(folder + '/' + name, pair[name]); });
    });
  }

  function localFile(name) {
    try { return FS.readFile(folder + '/' + name); } catch (e) { return null; }
  }

  // Writes both files of the page's folder in one transaction; resolves to 1 once stored.
  function store() {
    return new Promise(function (resolve) {
      var pair = {};
      files.forEach(function (name) { pair[name] = localFile(name); });
      if (!files.every(function (name) { return pair[name]; })) return resolve(0);
      if (!database) { storageRefused(); return resolve(0); }
      try {
        var transaction = database.transaction('record', 'readwrite');
        var objects = transaction.objectStore('record');
        files.forEach(function (name) { objects.put(pair[name], name); });
        transaction.oncomplete = function () { resolve(1); };
        transaction.onerror = transaction.onabort = function () { storageRefused(); resolve(0); };
      } catch (e) {
        storageRefused();
        resolve(0);
      }
    });
  }

  // Resolves to 1 once this tab holds the lock; 0 where the browser has no such lock (an
  // insecure page), and the game then goes on without it.
  function lock() {
    return new Promise(function (resolve) {
      if (!navigator.locks) return resolve(0);
      navigator.locks.request(lockName, function () {
        return new Promise(function (release) { releaseLock = release; resolve(1); });
      }).catch(function () { resolve(0); });
    });
  }

  function release() {
    var done = releaseLock;
    releaseLock = null;
    if (done) done();
  }

  Module.preRun = Module.preRun || [];
  Module.preRun.push(function () {
    addRunDependency('vorandi-record');
    open().then(function (db) {
      database = db;
      if (!db) storageRefused();
      return reread();
    }).then(function () { removeRunDependency('vorandi-record'); });
  });

  return { lock: lock, release: release, reread: reread, store: store };
})();
