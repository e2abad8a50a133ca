// Wayland's seat events mapped onto the saver's input events, so that the
// dismissal rules stay the ones X11 uses: any key pressed, the left, middle
// or right button pressed, leaving the keyboard focus after having had it,
// and a pointer motion, which the rules measure against their reference.
// Wayland tells no pointer position before the pointer enters a surface;
// the first position on a surface becomes the reference, so entering a
// surface (the saver's own appearing under the pointer) never dismisses.
// Releases, other buttons and the wheel are not input to the rules.
#include "host/wayland/wayland_input.h"

namespace starbloom {

bool seatInput(const SeatEvent& event, SeatState& seat, InputEvent& input) {
  switch (event.kind) {
    case SeatEventKind::PointerEnter:
      input = InputEvent::PointerAt;
      return true;
    case SeatEventKind::PointerMotion:
      input = InputEvent::MouseMove;
      return true;
    case SeatEventKind::PointerButton:
      if (!event.pressed) return false;
      if (event.code == BUTTON_LEFT) input = InputEvent::LeftButtonDown;
      if (event.code == BUTTON_RIGHT) input = InputEvent::RightButtonDown;
      if (event.code == BUTTON_MIDDLE) input = InputEvent::MiddleButtonDown;
      return event.code == BUTTON_LEFT || event.code == BUTTON_RIGHT || event.code == BUTTON_MIDDLE;
    case SeatEventKind::PointerAxis:
      return false;
    case SeatEventKind::KeyboardEnter:
      seat.hadKeyboardFocus = true;
      return false;
    case SeatEventKind::KeyboardLeave:
      if (!seat.hadKeyboardFocus) return false;
      input = InputEvent::Deactivated;
      return true;
    case SeatEventKind::Key:
      if (!event.pressed) return false;
      input = InputEvent::KeyDown;
      return true;
  }
  return false;
}

} // namespace starbloom
