#pragma once

#include <functional>

// Long operations let pending window events run, so that the screen repaints and stays
// responsive; at most once every 15 ms, so that calling this per row or per field costs nothing.
void LetEventsRun();
// The same without the call count: for a caller that waits, and calls only every few ms.
void LetEventsRunNow();

// Runs `work` on a thread of its own while this thread keeps letting events run, for a single
// call that can take long (opening a large table on a cold disk); throws what `work` throws.
void RunLettingEventsRun(const std::function<void()>& work);

// Closing a screen ends the program at once, also in the middle of an operation.
void RequestProgramEnd();
