// SPDX-License-Identifier: GPL-3.0-or-later
// The page around the game: loading progress, what a browser that cannot run it is told, the end
// screen, the record notice, and the offline copy (service worker).
(function () {
  'use strict';
  var program = 'vorandi';
  var canvas = document.getElementById('game');
  // The build's folder, where this script lies with the program's files.
  var folder = document.currentScript.src.replace(/[^/]*$/, '');

  function show(id) {
    ['loading', 'problem', 'end'].forEach(function (screen) {
      document.getElementById(screen).hidden = screen !== id;
    });
    canvas.hidden = id !== 'game';
  }

  function problem(text) {
    document.getElementById('problem-text').textContent = text;
    show('problem');
  }

  function browserCanRun() {
    if (typeof WebAssembly !== 'object' || typeof WebAssembly.instantiate !== 'function') {
      problem('Questo browser non sa eseguire WebAssembly: per giocare a Vorandi serve un browser ' +
              'più recente (Chrome, Edge, Firefox o Safari aggiornati).');
      return false;
    }
    var test = document.createElement('canvas');
    if (!(test.getContext('webgl') || test.getContext('experimental-webgl'))) {
      problem('Questo browser non disegna con WebGL (forse è disattivato): per giocare a Vorandi ' +
              'serve WebGL. Prova ad attivare l\'accelerazione grafica o a usare un altro browser.');
      return false;
    }
    return true;
  }

  // Progress of the program's download, from the bytes received of the .wasm file.
  function progress(fraction, text) {
    var bar = document.querySelector('#bar div');
    var percent = Math.round(Math.min(fraction, 1) * 100);
    bar.style.width = percent + '%';
    bar.parentNode.setAttribute('aria-valuenow', percent);
    if (text) document.getElementById('status').textContent = text;
  }

  // The last percentage shown: the loader's own word for the download must not hide it.
  var downloaded = '';

  function watchDownload() {
    var plainFetch = window.fetch;
    window.fetch = function (resource) {
      var answer = plainFetch.apply(this, arguments);
      if (String(resource).indexOf(program + '.wasm') < 0) return answer;
      return answer.then(function (response) {
        // The program's own size, as the page names it: a server that compresses sends fewer
        // bytes than the body holds once unpacked, which is what is counted here.
        var compressed = (response.headers.get('Content-Encoding') || 'identity') !== 'identity';
        var total = Number(document.body.getAttribute('data-program-bytes')) ||
                    (!compressed && Number(response.headers.get('Content-Length'))) || 0;
        if (!response.body || !total) return response;
        var received = 0;
        var reader = response.body.getReader();
        var stream = new ReadableStream({
          pull: function (controller) {
            return reader.read().then(function (part) {
              if (part.done) { controller.close(); return; }
              received += part.value.length;
              var share = Math.min(received / total, 1);
              downloaded = 'Scaricamento del gioco… ' + Math.round(100 * share) + '%';
              progress(share * 0.9, downloaded);
              controller.enqueue(part.value);
            });
          }
        });
        return new Response(stream, { headers: response.headers, status: response.status });
      });
    };
  }

  var states = {
    'Downloading': 'Scaricamento del gioco…',
    'Compiling': 'Preparazione del gioco…',
    'Downloading/Compiling': 'Scaricamento e preparazione del gioco…',
    'Running': 'Avvio…'
  };

  // Text that comes without keys the game can read (an input method, a touch keyboard, an
  // on-screen keyboard): the game gets it whole. A key the game took already cancels its own
  // insertion, so only text the game never saw arrives here.
  function passTextOn() {
    var keyTaken = false;
    var type = function (text) {
      var module = window.vorandiLoader && window.vorandiLoader.module();
      if (text && module && module._vorandi_type_text) {
        module.vorandiTypedText = text;
        module._vorandi_type_text();
      }
    };
    window.addEventListener('keydown', function (event) {
      keyTaken = event.defaultPrevented && event.key.length === 1;
    });
    // On the canvas or on the screen reader's copy (mirror.js), where a box's text field is.
    document.addEventListener('beforeinput', function (event) {
      if (event.inputType !== 'insertText' && event.inputType !== 'insertReplacementText') return;
      event.preventDefault();
      type(event.data || (event.dataTransfer && event.dataTransfer.getData('text/plain')));
    }, true);
    document.addEventListener('compositionend', function (event) {
      if (!keyTaken) type(event.data);
      if (event.target.isContentEditable && event.target !== canvas) event.target.textContent = '';
    }, true);
  }

  // The game always fills the page (its full-screen mode); the teacher's ?tastierino=1 opens the
  // number pad at once, as the desktop's --tastierino does (otherwise it opens at the first touch).
  function programOptions() {
    var options = ['--schermo-intero'];
    var pad = new URLSearchParams(location.search).get('tastierino');
    if (pad !== null && pad !== '0' && pad !== 'no') options.push('--tastierino');
    return options;
  }

  // The game takes a touch as a touch and makes its own press of it: the mouse events a browser
  // sends after a touch would press a second time whatever lies there by then (the button of the
  // box the first press opened). A long press would open the browser's own menu for an image.
  function keepTouchForTheGame() {
    ['touchstart', 'touchend'].forEach(function (type) {
      canvas.addEventListener(type, function (event) {
        if (event.cancelable) event.preventDefault();
      }, { passive: false });
    });
    canvas.addEventListener('contextmenu', function (event) { event.preventDefault(); });
  }

  // Qt asks its WebGL context for antialiasing, which its flat, whole-pixel pictures never use:
  // a software renderer (a school PC without a graphics driver) pays for it on every repaint of
  // the clock, the whole canvas over. The same pixels without it.
  function drawWithoutAntialiasing() {
    var getContext = canvas.getContext;
    canvas.getContext = function (type, attributes) {
      if (String(type).indexOf('webgl') >= 0)
        attributes = Object.assign({}, attributes, { antialias: false });
      return getContext.call(this, type, attributes);
    };
  }

  function start() {
    if (!browserCanRun()) return;
    drawWithoutAntialiasing();
    passTextOn();
    keepTouchForTheGame();
    watchDownload();
    var loader = QtLoader({
      canvasElements: [canvas],
      path: folder,
      showLoader: function (state) {
        show('loading');
        if (state === 'Compiling' || state === 'Running') progress(0.95);
        var downloading = downloaded && state.indexOf('Downloading') === 0;
        document.getElementById('status').textContent =
            downloading ? downloaded : states[state] || 'Caricamento del gioco…';
      },
      showError: function () {
        problem('Il gioco non è partito: ricarica la pagina. Se succede ancora, il browser forse ' +
                'non è adatto: prova con un browser aggiornato.');
      },
      showCanvas: function () {
        show('game');
        canvas.focus();
      },
      showExit: function () {
        problem('Il gioco si è fermato per un errore: ricarica la pagina per giocare ancora.');
      }
    });
    window.vorandiLoader = loader;
    // Qt 6.4's loader keeps the program's settings in the page's global moduleConfig and has no
    // word for its command line: the options go there before the program is loaded.
    if (window.moduleConfig) window.moduleConfig.arguments = programOptions();
    loader.loadEmscriptenModule(program);
  }

  // The program ended itself (ending.js): the end screen with its button to play again.
  window.vorandiEnded = function () {
    document.title = 'Vorandi';
    show('end');
    document.getElementById('again').focus();
  };
  document.getElementById('again').addEventListener('click', function () { location.reload(); });
  // Called by the record store (recordstore.js) once, when the browser refuses to keep the record.
  window.vorandiStorageRefused = function () { document.getElementById('notice').hidden = false; };

  // A private window keeps the site's storage only while it is open (Chromium gives it a small
  // quota held in memory, where a profile on disk gets gigabytes; Firefox gives it no service
  // worker): the record goes with the window, and the page says so once, as when no storage is
  // kept at all.
  function tellPrivateWindow() {
    var notice = document.getElementById('notice');
    var firefoxPrivate = window.isSecureContext && !('serviceWorker' in navigator);
    var quota = navigator.storage && navigator.storage.estimate ?
        navigator.storage.estimate().then(function (e) { return e.quota || 0; }) :
        Promise.resolve(Infinity);
    quota.then(function (bytes) {
      if (!notice.hidden || !(firefoxPrivate || bytes < 1 << 30)) return;
      notice.textContent = 'Questa è una finestra privata: si gioca lo stesso, ma il record ' +
                           'sparirà quando chiudi la finestra.';
      notice.hidden = false;
    }).catch(function () { /* nothing to tell */ });
  }
  tellPrivateWindow();
  if ('serviceWorker' in navigator && window.isSecureContext)
    navigator.serviceWorker.register('sw.js').catch(function () { /* plays online only */ });
  start();
})();
