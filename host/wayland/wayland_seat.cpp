// The Wayland seat of the saver: the pointer and keyboard, as the
// compositor offers them, turned into the saver's input. The pointer is
// hidden over the saver's surfaces on every entry (the cursor counter is
// below zero in full screen). Keyboard focus that moves between the saver's
// own surfaces (a second output's toplevel appearing takes it) is not the
// application losing it: a leave counts only when no saver surface has the
// focus again within FOCUS_GRACE_MS. Esc and q, the try-out window's close
// keys, are looked up in each keymap the compositor sends, so that a
// virtual keyboard's keymap (wtype's) works as well as a real one. The
// input goes to the loop as window events.
#include <sys/mman.h>
#include <unistd.h>

#include "frame/cursor.h"
#include "frame/platform_time.h"
#include "host/wayland/wayland_client.h"
#include "host/wayland/xkb_keymap.h"

namespace starbloom {

namespace {

// The saver's input of a seat event, handed to the loop; closeKey marks
// the try-out window's Esc and q.
void feedSeat(WaylandClient& c, const SeatEvent& event, bool closeKey = false) {
  WindowEvent input;
  if (!seatInput(event, c.seatState, input.input)) return;
  input.x = event.x;
  input.y = event.y;
  input.closeKey = closeKey;
  emit(c, input);
}

void onPointerEnter(void* data, wl_pointer* pointer, std::uint32_t serial, wl_surface*, wl_fixed_t x,
                    wl_fixed_t y) {
  WaylandClient& c = *static_cast<WaylandClient*>(data);
  if (c.window->role == WindowRole::FullScreen && cursorCounter() < 0) {
    wl_pointer_set_cursor(pointer, serial, nullptr, 0, 0);
  }
  feedSeat(c, SeatEvent{SeatEventKind::PointerEnter, wl_fixed_to_int(x), wl_fixed_to_int(y), 0, false});
}

void onPointerLeave(void*, wl_pointer*, std::uint32_t, wl_surface*) {}

void onPointerMotion(void* data, wl_pointer*, std::uint32_t, wl_fixed_t x, wl_fixed_t y) {
  feedSeat(*static_cast<WaylandClient*>(data),
           SeatEvent{SeatEventKind::PointerMotion, wl_fixed_to_int(x), wl_fixed_to_int(y), 0, false});
}

void onPointerButton(void* data, wl_pointer*, std::uint32_t, std::uint32_t, std::uint32_t button,
                     std::uint32_t state) {
  feedSeat(*static_cast<WaylandClient*>(data),
           SeatEvent{SeatEventKind::PointerButton, 0, 0, button, state == WL_POINTER_BUTTON_STATE_PRESSED});
}

void onPointerAxis(void*, wl_pointer*, std::uint32_t, std::uint32_t, wl_fixed_t) {}
void onPointerFrame(void*, wl_pointer*) {}
void onPointerAxisSource(void*, wl_pointer*, std::uint32_t) {}
void onPointerAxisStop(void*, wl_pointer*, std::uint32_t, std::uint32_t) {}
void onPointerAxisDiscrete(void*, wl_pointer*, std::uint32_t, std::int32_t) {}

const wl_pointer_listener POINTER_LISTENER = {
    onPointerEnter, onPointerLeave,      onPointerMotion,   onPointerButton,      onPointerAxis,
    onPointerFrame, onPointerAxisSource, onPointerAxisStop, onPointerAxisDiscrete, nullptr};

void onKeymap(void* data, wl_keyboard*, std::uint32_t format, std::int32_t fd, std::uint32_t size) {
  WaylandClient& c = *static_cast<WaylandClient*>(data);
  if (format == WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1 && size > 0) {
    void* text = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
    if (text != MAP_FAILED) {
      const char* keymap = static_cast<const char*>(text);
      const int escape = keymapKeyCode(keymap, size, "Escape");
      const int lower = keymapKeyCode(keymap, size, "q");
      const int upper = keymapKeyCode(keymap, size, "Q");
      c.escapeKey = escape;
      c.lowerQKey = lower;
      c.upperQKey = upper;
      munmap(text, size);
    }
  }
  close(fd);
}

void onKeyboardEnter(void* data, wl_keyboard*, std::uint32_t, wl_surface*, wl_array*) {
  WaylandClient& c = *static_cast<WaylandClient*>(data);
  c.keyboardFocus = true;
  c.focusLeft = false;
  feedSeat(c, SeatEvent{SeatEventKind::KeyboardEnter, 0, 0, 0, false});
}

void onKeyboardLeave(void* data, wl_keyboard*, std::uint32_t, wl_surface*) {
  WaylandClient& c = *static_cast<WaylandClient*>(data);
  c.keyboardFocus = false;
  c.focusLeft = true;
  c.focusLeftAt = tickCount();
}

void onKey(void* data, wl_keyboard*, std::uint32_t, std::uint32_t, std::uint32_t key, std::uint32_t state) {
  WaylandClient& c = *static_cast<WaylandClient*>(data);
  const bool pressed = state == WL_KEYBOARD_KEY_STATE_PRESSED;
  const int code = static_cast<int>(key);
  const bool closeKey = code >= 0 && (code == c.escapeKey || code == c.lowerQKey || code == c.upperQKey);
  feedSeat(c, SeatEvent{SeatEventKind::Key, 0, 0, key, pressed}, closeKey);
}

void onModifiers(void*, wl_keyboard*, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t,
                 std::uint32_t) {}
void onRepeatInfo(void*, wl_keyboard*, std::int32_t, std::int32_t) {}

const wl_keyboard_listener KEYBOARD_LISTENER = {onKeymap, onKeyboardEnter, onKeyboardLeave,
                                                onKey,    onModifiers,     onRepeatInfo};

void onSeatCapabilities(void* data, wl_seat* seat, std::uint32_t capabilities) {
  WaylandClient& c = *static_cast<WaylandClient*>(data);
  const bool pointer = (capabilities & WL_SEAT_CAPABILITY_POINTER) != 0;
  const bool keyboard = (capabilities & WL_SEAT_CAPABILITY_KEYBOARD) != 0;
  if (pointer && c.pointer == nullptr) {
    c.pointer = wl_seat_get_pointer(seat);
    wl_pointer_add_listener(c.pointer, &POINTER_LISTENER, &c);
  } else if (!pointer && c.pointer != nullptr) {
    wl_pointer_destroy(c.pointer);
    c.pointer = nullptr;
  }
  if (keyboard && c.keyboard == nullptr) {
    c.keyboard = wl_seat_get_keyboard(seat);
    wl_keyboard_add_listener(c.keyboard, &KEYBOARD_LISTENER, &c);
  } else if (!keyboard && c.keyboard != nullptr) {
    wl_keyboard_destroy(c.keyboard);
    c.keyboard = nullptr;
  }
}

void onSeatName(void*, wl_seat*, const char*) {}

const wl_seat_listener SEAT_LISTENER = {onSeatCapabilities, onSeatName};

} // namespace

// A leave that no saver surface's enter followed within the grace time is
// the application losing the focus.
void settleFocus(WaylandClient& c) {
  if (!c.focusLeft || tickCount() - c.focusLeftAt < FOCUS_GRACE_MS) return;
  c.focusLeft = false;
  feedSeat(c, SeatEvent{SeatEventKind::KeyboardLeave, 0, 0, 0, false});
}

void listenToSeat(WaylandClient& c, wl_seat* seat) {
  c.seat = seat;
  wl_seat_add_listener(seat, &SEAT_LISTENER, &c);
}

void releaseSeat(WaylandClient& c) {
  if (c.pointer != nullptr) wl_pointer_destroy(c.pointer);
  if (c.keyboard != nullptr) wl_keyboard_destroy(c.keyboard);
  if (c.seat != nullptr) wl_seat_destroy(c.seat);
  c.pointer = nullptr;
  c.keyboard = nullptr;
  c.seat = nullptr;
}

} // namespace starbloom
