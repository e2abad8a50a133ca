#pragma once
// The Wayland seat's events as the saver's input: what each pointer and
// keyboard event means to the dismissal rules. Plain logic, fed by the
// Wayland window system and by tests.
#include <cstdint>

#include "host/dismissal.h"

namespace starbloom {

enum class SeatEventKind : std::uint8_t {
  PointerEnter,  // the pointer entered a saver surface at (x, y)
  PointerMotion, // to (x, y), surface coordinates
  PointerButton, // button (a Linux input code) pressed or released
  PointerAxis,   // the wheel
  KeyboardEnter, // the keyboard focus came to a saver surface
  KeyboardLeave,
  Key,           // key (a Linux input code) pressed or released
};

struct SeatEvent {
  SeatEventKind kind = SeatEventKind::Key;
  int x = 0;               // surface coordinates, whole pixels
  int y = 0;
  std::uint32_t code = 0;  // PointerButton, Key
  bool pressed = false;    // PointerButton, Key
};

struct SeatState {
  bool hadKeyboardFocus = false; // a keyboard enter was seen
};

// Linux input codes of the buttons that dismiss (linux/input-event-codes.h).
constexpr std::uint32_t BUTTON_LEFT = 0x110;
constexpr std::uint32_t BUTTON_RIGHT = 0x111;
constexpr std::uint32_t BUTTON_MIDDLE = 0x112;

// The saver's input event for one seat event, if it has one. A pointer's
// entry is PointerAt, the reference of the mouse-move rule; key and button
// releases, other buttons and the wheel are none; leaving the keyboard
// focus is the application losing it, once it had it.
bool seatInput(const SeatEvent& event, SeatState& seat, InputEvent& input);

} // namespace starbloom
