// SPDX-License-Identifier: GPL-3.0-or-later
// The number pad for touch screens, as buttons of the page: the program (src/widgets/
// pagepad_wasm.cpp) says where its pad lies on the canvas, beside or below the game's window, and
// each key's face, name and place; a key pressed here presses the program's key of the same
// place, which types into the answer box as the keyboard's own key does. The keys never take the
// keyboard's focus from the game: the keyboard goes on typing into the answer box.
(function () {
  'use strict';
  var canvas = document.getElementById('game');
  var pad = document.getElementById('numberpad');

  function setPlace(element, place) {
    element.style.left = place[0] + 'px';
    element.style.top = place[1] + 'px';
    element.style.width = place[2] + 'px';
    element.style.height = place[3] + 'px';
  }

  function press(index) {
    var module = window.vorandiLoader && window.vorandiLoader.module();
    if (module && module._vorandi_number_pad_press) module._vorandi_number_pad_press(index);
  }

  function makeKey(key, index) {
    var button = document.createElement('button');
    button.type = 'button';
    button.textContent = key.face;
    button.setAttribute('aria-label', key.name);
    // No focus taken by a press (a mouse's or a finger's): the game keeps the keyboard.
    button.addEventListener('pointerdown', function (event) { event.preventDefault(); });
    button.addEventListener('click', function () {
      press(index);
      if (document.activeElement === button) canvas.focus();
    });
    return button;
  }

  window.vorandiNumberPad = function (described) {
    var keys = described.keys || [];
    pad.hidden = !described.place;
    if (!described.place) return;
    setPlace(pad, described.place);
    var faces = keys.map(function (key) { return key.face + '/' + key.name; }).join();
    if (pad.getAttribute('data-faces') !== faces) {
      pad.textContent = '';
      keys.forEach(function (key, index) { pad.appendChild(makeKey(key, index)); });
      pad.setAttribute('data-faces', faces);
    }
    keys.forEach(function (key, index) { setPlace(pad.children[index], key.place); });
  };

  // A long press on a key is a press, not the browser's menu for it.
  pad.addEventListener('contextmenu', function (event) { event.preventDefault(); });
})();
