// SPDX-License-Identifier: GPL-3.0-or-later
// The program's own end (the goodbye, Alt+X and Sì) cannot close the tab: the page shows its end
// screen instead. Qt's loader treats a program that ends with code 0 as one that goes on running.
(function () {
  var loaderQuit = Module.quit;
  Module.quit = function (code, exception) {
    // A program that ended runs no more: its timers and the page's events are ignored from now.
    ABORT = true;
    if (code === 0 && typeof window === 'object' && window.vorandiEnded) window.vorandiEnded();
    if (loaderQuit) loaderQuit(code, exception);
  };
})();
