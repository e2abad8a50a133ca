#pragma once
// The cursor's hide/show counter: the pointer is invisible over the saver
// window while the counter is below zero.

namespace starbloom {

// Counter value after the call.
int hideCursor();
int showCursor();
int cursorCounter();

} // namespace starbloom
