// SPDX-License-Identifier: GPL-3.0-or-later
// The program's own end (the goodbye, Alt+X and Sì) cannot close the tab: the page shows its end
// screen instead. The emscripten run-time also "exits" when main() hands over to the page's event
// loop; Qt's loader then goes on, and so does this page.
(function () {
  var loaderQuit = Module.quit;
  Module.quit = function (code, exception) {
    if (Module._vorandi_ended_by_program && Module._vorandi_ended_by_program()) {
      // A program that ended runs no more: its timers and the page's events are ignored.
      ABORT = true;
      if (code === 0 && typeof window === 'object' && window.vorandiEnded) window.vorandiEnded();
    }
    if (loaderQuit) loaderQuit(code, exception);
  };
})();
