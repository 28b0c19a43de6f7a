// SPDX-License-Identifier: GPL-3.0-or-later
// In a browser the record directory lives in the page's memory and is kept in the browser's
// storage (web/recordstore.js). The lock is one across the browser's tabs (the Web Locks API):
// under it the pair is read again from storage, since another tab may have saved since, and a
// save is written through to storage, both files in one step, before the lock is let go.
#include "directorylock.h"

#include <emscripten.h>

namespace records {

namespace {

// Each waits for the browser; the program goes on once it has answered.
EM_ASYNC_JS(int, vorandi_take_record_lock, (), { return await Module.vorandiRecord.lock(); });
EM_ASYNC_JS(void, vorandi_reread_record, (), { await Module.vorandiRecord.reread(); });
EM_ASYNC_JS(int, vorandi_store_record, (), { return await Module.vorandiRecord.store(); });
// A save with no box and no wait (during the game, or while the page is being left) cannot wait
// for the lock: the pair is offered to the record store, which stores it under the lock, whole,
// when it beats the stored record.
EM_JS(void, vorandi_offer_record, (), { Module.vorandiRecord.offer(); });
EM_JS(void, vorandi_release_record_lock, (), { Module.vorandiRecord.release(); });

} // namespace

void DirectoryLock::take(LockPurpose)
{
    held_ = true;
    ++locksHeldHere(dir_);
    // A box can be shown while the program lives on; a save during the game or while the page is
    // left does not wait (sync() offers its pair).
    if (!services_.mayAsk)
        return;
    fd_ = vorandi_take_record_lock();
    vorandi_reread_record();
}

DirectoryLock::~DirectoryLock()
{
    if (held_)
        --locksHeldHere(dir_);
    if (!nested_ && fd_ > 0) // fd_ is 1 while this game holds the browser's lock
        vorandi_release_record_lock();
}

void DirectoryLock::sync()
{
    if (services_.mayAsk)
        vorandi_store_record();
    else
        vorandi_offer_record();
}

} // namespace records
