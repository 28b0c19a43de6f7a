// SPDX-License-Identifier: GPL-3.0-or-later
// The record folder in the browser's storage: vora.txt and nvora.txt, byte for byte, in one
// IndexedDB store, both written in one transaction (a tab closed during a save leaves the old
// pair or the new one). Before the program starts they are copied into the page's folder
// /vorandi, where the game reads and writes them as files; the program calls reread() and
// store() under the lock that lock() takes across the browser's tabs. A record saved during the
// game, or while the page goes away, is offered instead (offer()): stored, whole, only when it
// beats the stored one, and stored again at once should the page go away before that is done.
// A pair with an empty file is never stored: the game's empty files mean "no record yet".
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
        // An empty file stored by an earlier version is no record.
        transaction.oncomplete = function () {
          resolve(files.every(function (name) {
            return pair[name] instanceof Uint8Array && pair[name].length > 0;
          }) ? pair : null);
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

  // The pair the page's folder holds as saved: a save first puts the whole new pair beside the
  // files ("vora.txt.new" last), then renames it over them, so once the new score file is there
  // the new pair is the saved one, wherever its name file stands. Null unless both files hold
  // something.
  function savedPair() {
    var newScore = localFile(files[0] + '.new');
    var pair = {};
    pair[files[0]] = newScore || localFile(files[0]);
    pair[files[1]] = (newScore && localFile(files[1] + '.new')) || localFile(files[1]);
    var whole = files.every(function (name) { return pair[name] && pair[name].length > 0; });
    return whole ? pair : null;
  }

  // A score file's number, as the game reads it; a file that holds none counts as no record.
  function scoreOf(bytes) {
    var value = parseFloat(String.fromCharCode.apply(null, bytes).trim());
    return isNaN(value) ? -Infinity : value;
  }

  // Puts the pair in one transaction, only when it beats the stored score if higherOnly; resolves
  // to 1 once stored.
  function put(pair, higherOnly) {
    return new Promise(function (resolve) {
      if (!pair) return resolve(0);
      if (!database) { storageRefused(); return resolve(0); }
      try {
        var transaction = database.transaction('record', 'readwrite');
        var objects = transaction.objectStore('record');
        var written = 0;
        var write = function () {
          files.forEach(function (name) { objects.put(pair[name], name); });
          written = 1;
        };
        if (higherOnly) {
          objects.get(files[0]).onsuccess = function (event) {
            var stored = event.target.result;
            if (!(stored instanceof Uint8Array) || scoreOf(pair[files[0]]) > scoreOf(stored)) write();
          };
        } else {
          write();
        }
        transaction.oncomplete = function () { resolve(written); };
        transaction.onerror = transaction.onabort = function () { storageRefused(); resolve(0); };
      } catch (e) {
        storageRefused();
        resolve(0);
      }
    });
  }

  // Under the program's lock: the page's saved pair, as it is.
  function store() {
    return put(savedPair(), false);
  }

  // The pair offered and not yet stored, which the page's going away stores at once.
  var offered = null;

  // The page's saved pair, stored under the lock when it beats the stored one; the program does
  // not wait for it.
  function offer() {
    var pair = savedPair();
    if (!pair) return Promise.resolve(0);
    offered = pair;
    var stored = function () {
      return put(pair, true).then(function (done) {
        if (offered === pair) offered = null;
        return done;
      });
    };
    if (!navigator.locks) return stored();
    return navigator.locks.request(lockName, stored).catch(function () { return stored(); });
  }

  // The page is going away or hidden (and may be frozen or ended next): an offer still waiting
  // for the lock is stored now.
  function flush() {
    if (offered) put(offered, true);
  }
  if (typeof window === 'object') {
    window.addEventListener('pagehide', flush);
    document.addEventListener('visibilitychange', function () { if (document.hidden) flush(); });
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

  return { lock: lock, release: release, reread: reread, store: store, offer: offer };
})();
