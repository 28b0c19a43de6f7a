// SPDX-License-Identifier: GPL-3.0-or-later
// The game for a screen reader: the canvas holds pixels only, so the page keeps a copy of what a
// screen reader should find, out of sight beside it, fed by the program (src/widgets/
// mirror_wasm.cpp) with the texts the desktop gives its screen reader. The control with the focus
// is one focusable element (named with the question for the answer box); what it says comes
// again in a live region; the labels' readings are a list; a box is a dialog, a menu a menu. Keys
// typed while the copy has the focus go to the game as they would from the canvas.
(function () {
  'use strict';
  var canvas = document.getElementById('game');
  var focus = document.getElementById('mirror-focus');
  var said = document.getElementById('mirror-said');
  var readings = document.getElementById('mirror-readings');
  var box = document.getElementById('mirror-box');
  var menu = document.getElementById('mirror-menu');

  function setText(element, text) {
    if (element.textContent !== text) element.textContent = text;
  }

  function setAttribute(element, name, value) {
    if (!value) element.removeAttribute(name);
    else if (element.getAttribute(name) !== value) element.setAttribute(name, value);
  }

  // The children of a list, one per text, each made by make(text, index) when it differs.
  function fill(list, texts, make) {
    while (list.children.length > texts.length) list.removeChild(list.lastChild);
    texts.forEach(function (text, index) {
      var item = list.children[index];
      if (!item || item.textContent !== text) {
        var made = make(text, index);
        if (item) list.replaceChild(made, item); else list.appendChild(made);
      }
    });
  }

  function element(tag, role, text) {
    var made = document.createElement(tag);
    if (role) made.setAttribute('role', role);
    made.textContent = text;
    return made;
  }

  // A box's text field (the name prompt) takes text from input methods and touch keyboards,
  // which only a field of the page's own receives: the copy's element becomes one and takes the
  // focus while the box asks, and gives it back to the canvas after.
  function takeTyping(state) {
    var typing = (state.focus || {}).role === 'textbox' && !!(state.box || {}).role;
    focus.contentEditable = typing ? 'true' : 'false';
    if (typing && document.activeElement === canvas) focus.focus();
    else if (!typing && focus.getAttribute('data-typing') && document.activeElement === focus)
      canvas.focus();
    setAttribute(focus, 'data-typing', typing ? 'yes' : '');
  }

  function showFocus(state) {
    var f = state.focus || {};
    setAttribute(focus, 'role', f.role || 'note');
    setAttribute(focus, 'aria-label', f.name || '');
    setAttribute(focus, 'aria-description', f.description || '');
    setAttribute(canvas, 'aria-label', f.name || 'Vorandi');
    if (state.announce && (f.name || f.description))
      setText(said, [f.name, f.description].filter(Boolean).join('. '));
  }

  function showReadings(state) {
    fill(readings, (state.readings || []).map(function (r) { return r.text; }), function (text) {
      return element('li', null, text);
    });
  }

  function showBox(state) {
    var b = state.box || {};
    box.hidden = !b.role;
    if (!b.role) return;
    setAttribute(box, 'role', b.role);
    setAttribute(box, 'aria-label', b.title || 'Vorandi');
    var parts = (b.texts || []).concat(b.buttons || []);
    var texts = (b.texts || []).length;
    fill(box, parts, function (text, index) {
      if (index < texts) return element('p', null, text);
      var button = element('div', 'button', text);
      button.tabIndex = -1;
      button.addEventListener('click', function () {
        var place = Array.prototype.indexOf.call(box.querySelectorAll('[role=button]'), button);
        if (window.vorandiLoader) window.vorandiLoader.module()._vorandi_mirror_press(place);
      });
      return button;
    });
  }

  function showMenu(state) {
    var m = state.menu || {};
    menu.hidden = !m.role;
    if (!m.role) return;
    setAttribute(menu, 'role', m.role);
    setAttribute(menu, 'aria-label', m.name || '');
    fill(menu, m.items || [], function (text) { return element('div', 'menuitem', text); });
    Array.prototype.forEach.call(menu.children, function (item, index) {
      setAttribute(item, 'aria-current', index === m.current ? 'true' : '');
    });
  }

  // A reading said whatever has the focus. The same words twice (the time asked for again within
  // a second) must change the region's text to be said again: a no-break space tells them apart.
  function showNotice(state) {
    if (!state.notice) return;
    said.textContent = said.textContent === state.notice ? state.notice + '\u00a0' : state.notice;
  }

  window.vorandiMirror = function (state) {
    showFocus(state);
    showNotice(state);
    takeTyping(state);
    showReadings(state);
    showBox(state);
    showMenu(state);
  };

  // A key typed while the copy has the focus: the game's canvas gets it, as from the keyboard;
  // what the game takes, the browser does not do too.
  function passOn(event) {
    var copy = new KeyboardEvent(event.type, {
      key: event.key, code: event.code, location: event.location, repeat: event.repeat,
      ctrlKey: event.ctrlKey, shiftKey: event.shiftKey, altKey: event.altKey,
      metaKey: event.metaKey, bubbles: true, cancelable: true
    });
    canvas.dispatchEvent(copy);
    if (copy.defaultPrevented) event.preventDefault();
  }
  // A tap while a box asks for text (the name): the page's field takes the focus within the tap,
  // as a tablet opens its own keyboard only for a field focused by the user's gesture.
  document.addEventListener('touchend', function () {
    if (focus.getAttribute('data-typing')) focus.focus();
  }, true);

  focus.addEventListener('keydown', passOn);
  focus.addEventListener('keyup', passOn);
})();
