#pragma once
// The host's dismissal rules: which input ends the saver, and the password
// check that may refuse it. Plain logic on the host state; the window
// binding feeds it events and carries out the close requests it asks for.
#include <cstdint>

namespace starbloom {

constexpr int MOUSE_MOVE_THRESHOLD = 4;        // pixels, |dx| + |dy| must exceed it
constexpr std::uint32_t VERIFY_INTERVAL_MS = 200; // between two password prompts

enum class InputEvent : std::uint8_t {
  KeyDown,
  SystemKeyDown, // a key with Alt held
  LeftButtonDown,
  RightButtonDown,
  MiddleButtonDown,
  MouseMove,     // at (x, y) in screen coordinates
  PointerAt,     // the pointer's position became known, at (x, y): the move rule's reference
  Deactivated,   // the application lost the input focus
};

struct HostState {
  bool childMode = false;        // a preview inside another window: input never closes it
  bool closing = false;          // allowed to close; input is no longer examined
  bool verifying = false;        // a password prompt is up
  bool hasVerifier = false;      // a password verifier is loaded
  int lastCursorX = 0;           // reference for the mouse-move rule, screen pixels
  int lastCursorY = 0;
  std::uint32_t lastVerifyTime = 0xFFFFFFFFu; // tick count of the last prompt; all bits: none yet
};

// Applies the rules to one input event; true when it asks for a close
// request. Child mode, closing and an open prompt ignore everything; a mouse
// move within the threshold keeps the old reference, one beyond it moves the
// reference too; PointerAt sets the reference and asks nothing.
bool inputAsksToClose(HostState& state, InputEvent event, int x = 0, int y = 0);

// Whether the saver may close now (a close request arrived). Without a
// verifier it may, and closing becomes true. With one, a prompt within
// 200 ms of the last is refused without asking; verify answers the prompt.
bool checkPassword(HostState& state, std::uint32_t now, bool (*verify)());

} // namespace starbloom
