// Dismissal: a key, a system key, the left, right or middle button, losing
// the focus, or a mouse move of more than 4 pixels (|dx| + |dy|, measured
// from the position recorded when the window was created or at the last
// move that counted, or where the window system first told the pointer to
// be: Wayland and Xwayland know it only once it is over the window) asks to
// close the saver. A preview inside another
// window (child mode) is never closed by input, and once the saver is
// closing, or while a password prompt is up, input is not examined. The
// password check runs the desktop's verifier when there is one; Linux has
// none, so a close request always goes through and the saver closes. Each
// event costs a few comparisons.
#include "host/dismissal.h"

#include <cstdlib>

namespace starbloom {

bool inputAsksToClose(HostState& state, InputEvent event, int x, int y) {
  if (state.childMode || state.closing || state.verifying) return false;
  switch (event) {
    case InputEvent::PointerAt:
      state.lastCursorX = x;
      state.lastCursorY = y;
      return false;
    case InputEvent::MouseMove: {
      const long moved = std::labs(static_cast<long>(x) - state.lastCursorX) +
                         std::labs(static_cast<long>(y) - state.lastCursorY);
      if (moved <= MOUSE_MOVE_THRESHOLD) return false;
      state.lastCursorX = x;
      state.lastCursorY = y;
      return true;
    }
    case InputEvent::KeyDown:
    case InputEvent::SystemKeyDown:
    case InputEvent::LeftButtonDown:
    case InputEvent::RightButtonDown:
    case InputEvent::MiddleButtonDown:
    case InputEvent::Deactivated:
      return true;
  }
  return false;
}

bool checkPassword(HostState& state, std::uint32_t now, bool (*verify)()) {
  if (state.verifying) return false;
  if (!state.hasVerifier || verify == nullptr) {
    state.closing = true;
    return true;
  }
  if (state.lastVerifyTime != 0xFFFFFFFFu && now - state.lastVerifyTime < VERIFY_INTERVAL_MS) {
    return false;
  }
  state.verifying = true;
  state.closing = verify();
  state.verifying = false;
  state.lastVerifyTime = now;
  return state.closing;
}

} // namespace starbloom
