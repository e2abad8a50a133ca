// Cursor visibility as a display counter: each hide lowers it, each show
// raises it, and the saver window shows an invisible pointer while it is
// below zero. The window binding reads the counter when it updates its
// cursor.
#include "frame/cursor.h"

#include <climits>

namespace starbloom {

namespace {
int counter = 0; // written by hideCursor and showCursor
} // namespace

int hideCursor() {
  if (counter > INT_MIN) --counter; // every full-screen paint hides it once more
  return counter;
}

int showCursor() { return ++counter; }

int cursorCounter() { return counter; }

} // namespace starbloom
