// SPDX-License-Identifier: GPL-3.0-or-later
// A page receives no signals; what asks it to end is the player leaving the page (closing the
// tab, going elsewhere, reloading). That runs the handler, as a signal does on the desktop.
#include "program.h"
#include "signals.h"

#include <emscripten.h>

#include <utility>

namespace platform {

namespace {

// The page's event reaches the program through a C entry point, which carries no context.
std::function<void()> &pageLeftHandler()
{
    static std::function<void()> handler;
    return handler;
}

EM_JS(void, vorandi_watch_page_leaving, (), {
    window.addEventListener(
        'pagehide', function() { Module['_vorandi_page_left'](); });
});

} // namespace

void onEndingSignal(std::function<void()> handler)
{
    const bool first = !pageLeftHandler();
    pageLeftHandler() = std::move(handler);
    if (first)
        vorandi_watch_page_leaving();
}

// A page gets no signals: nothing to hold back while the record files are renamed.
SignalsHeldBack::SignalsHeldBack() = default;
SignalsHeldBack::~SignalsHeldBack() = default;

} // namespace platform

// Runs at once: the page gives no time for the event loop to come round again. A game that has
// ended already kept its record.
extern "C" EMSCRIPTEN_KEEPALIVE void vorandi_page_left()
{
    if (platform::pageLeftHandler() && !platform::endedByProgram())
        platform::pageLeftHandler()();
}

// The page asks when the program exits: a main() that hands over to the page's event loop exits
// too, and only the program's own end shows the end screen.
extern "C" EMSCRIPTEN_KEEPALIVE int vorandi_ended_by_program()
{
    return platform::endedByProgram() ? 1 : 0;
}
