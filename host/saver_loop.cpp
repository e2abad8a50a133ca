// The message loop of the saver window, on any window system. Each pass
// takes the first thing there is: an ending signal (SIGTERM, SIGINT,
// SIGHUP), a posted message, the window system's events (records that the
// bindings hand back and the loop applies: input through the dismissal
// rules, of which the try-out window takes only its close keys, Esc and q,
// while the wallpaper, like a hosted saver, leaves input to nobody (child
// mode); drawables that come and go; sizes that change), the 50 ms timer
// when due, a hosted window that vanished, and otherwise a paint, since the
// window is never validated. A window that nobody sees is not painted (a Wayland surface
// whose compositor wants no frame yet; an X11 window covered whole,
// unmapped, or on a sleeping monitor): the loop sleeps in the window system
// until an event or the timer instead, so a hidden saver costs next to
// nothing, and after a pause the frame clock starts again rather than
// taking the pause as one long frame.
//
// Every message passes hostWindowProc, then the window procedure, and what
// that does not handle reaches defaultSaverProc with the dismissal rules:
// input that asks to close posts a close request, and a close request
// destroys the window, whose destroy posts the quit message.
//
// Signals end full screen, the try-out window and the wallpaper as a close
// request does.
// A hosted saver is ended by its host: it releases its window and dies by
// the same signal, as a daemon expects of a saver it stops.
#include "host/saver_loop.h"

#include <fcntl.h>
#include <sched.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdint>

#include "frame/cursor.h"
#include "frame/frame_driver.h"
#include "frame/platform_time.h"
#include "frame/program_objects.h"
#include "host/window_system.h"

namespace starbloom {

namespace {

// A wait for a window that can be seen (or a frame the compositor asks for)
// longer than this is a pause, not a slow frame.
constexpr std::uint32_t PAUSE_MS = 250;

volatile std::sig_atomic_t pendingSignal = 0; // written by the signal handler, read by the loop
int wakePipe[2] = {-1, -1}; // the signal handler writes a byte, which ends a window system's wait

void onSignal(int signal) {
  pendingSignal = signal;
  const int saved = errno;
  if (wakePipe[1] >= 0) (void)!write(wakePipe[1], "", 1);
  errno = saved;
}

// The end signals, and the pipe by which they wake a wait on the window
// system (w.wakeFd).
void catchEndSignals(SaverWindow& w) {
  if (wakePipe[0] < 0 && pipe2(wakePipe, O_CLOEXEC | O_NONBLOCK) != 0) wakePipe[0] = wakePipe[1] = -1;
  w.wakeFd = wakePipe[0];
  struct sigaction action {};
  action.sa_handler = onSignal;
  sigemptyset(&action.sa_mask);
  for (const int s : {SIGTERM, SIGINT, SIGHUP}) sigaction(s, &action, nullptr);
}

int hostWindowProc(SaverWindow& w, const SaverEvent& event) {
  const bool fullScreen = w.role == WindowRole::FullScreen;
  switch (event.message) {
    case SaverMessage::Create: {
      int x = 0, y = 0;
      if (pointerPosition(w, x, y)) {
        w.host.lastCursorX = x;
        w.host.lastCursorY = y;
      }
      if (fullScreen) {
        hideCursor();
        applyCursor(w);
      }
      return saverWindowProc(w, event);
    }
    case SaverMessage::Destroy:
      postMessage(w, SaverMessage::Quit, 0);
      return saverWindowProc(w, event);
    case SaverMessage::Paint:
      if (w.host.closing) return 0;
      if (fullScreen) hideCursor();
      return saverWindowProc(w, event);
    case SaverMessage::Input:
      if (w.host.closing) return 0;
      return saverWindowProc(w, event);
    case SaverMessage::Timer:
      if (w.host.closing) return 0;
      sched_yield();
      return saverWindowProc(w, event);
    default:
      return saverWindowProc(w, event);
  }
}

// One window event, through the window procedure and the dismissal rules.
// The try-out window takes no input but its close keys, Esc and q.
void applyWindowEvent(SaverWindow& w, const WindowEvent& e) {
  switch (e.kind) {
    case WindowEventKind::Input:
      if (w.role != WindowRole::TryOut) {
        dispatchInput(w, e.input, e.x, e.y);
      } else if (e.closeKey && e.input == InputEvent::KeyDown) {
        postMessage(w, SaverMessage::Close);
      }
      return;
    case WindowEventKind::Close:
      postMessage(w, SaverMessage::Close);
      return;
    case WindowEventKind::Destroyed:
      w.windowLive = false; // gone: nothing more is drawn into it
      dispatchMessage(w, SaverMessage::Destroy);
      return;
    case WindowEventKind::Resized:
      followWindowSize(w);
      return;
    case WindowEventKind::TargetAdded:
      renderContext.surface.addTarget(e.target, e.nativeWindow, e.width, e.height);
      followWindowSize(w);
      return;
    case WindowEventKind::TargetRemoved:
      renderContext.surface.removeTarget(e.target);
      followWindowSize(w);
      return;
  }
}

void applyWindowEvents(SaverWindow& w, const WindowEvents& batch) {
  for (int i = 0; i < batch.count; ++i) applyWindowEvent(w, batch.events[i]);
}

// Milliseconds until the timer is due, at most one period.
int untilTimer(const SaverWindow& w) {
  if (!w.timerRunning) return TIMER_PERIOD_MS;
  const std::int32_t left = static_cast<std::int32_t>(w.nextTimer - tickCount());
  return left < 0 ? 0 : (left > TIMER_PERIOD_MS ? TIMER_PERIOD_MS : left);
}

int messageLoop(SaverWindow& w) {
  WindowEvents batch; // what the window system handed over this pass
  std::uint32_t waitingSince = 0; // tick count when nothing could be painted
  bool waiting = false;
  while (!w.quit) {
    if (pendingSignal != 0) {
      const int signal = pendingSignal;
      pendingSignal = 0;
      char drained[16];
      while (wakePipe[0] >= 0 && read(wakePipe[0], drained, sizeof drained) > 0) {
      }
      if (w.role == WindowRole::Hosted) {
        releaseSaverWindow(w);
        closeWindowSystem(w);
        std::signal(signal, SIG_DFL);
        std::raise(signal);
        return 128 + signal;
      }
      postMessage(w, SaverMessage::Close);
    }
    if (w.queued > 0) {
      const SaverEvent event = w.queue[0];
      for (int i = 1; i < w.queued; ++i) w.queue[i - 1] = w.queue[i];
      w.queued -= 1;
      if (event.message == SaverMessage::Quit) {
        w.quit = true;
        w.quitCode = event.code;
      } else {
        dispatchEvent(w, event);
      }
      continue;
    }
    if (!w.windowLive) {
      // A window that vanished without a destroy event (a host that went).
      postMessage(w, SaverMessage::Quit, 0);
      continue;
    }
    batch.count = 0;
    if (takeEvents(w, batch)) {
      applyWindowEvents(w, batch);
      continue;
    }
    if (w.timerRunning && untilTimer(w) == 0) {
      w.nextTimer = tickCount() + TIMER_PERIOD_MS;
      dispatchMessage(w, SaverMessage::Timer);
      continue;
    }
    if (windowVanished(w)) {
      w.windowLive = false;
      continue;
    }
    if (!readyToPaint(w)) {
      if (!waiting) waitingSince = tickCount();
      waiting = true;
      waitForEvents(w, untilTimer(w), batch);
      applyWindowEvents(w, batch);
      continue;
    }
    if (waiting && tickCount() - waitingSince >= PAUSE_MS) resumeAfterPause();
    waiting = false;
    dispatchMessage(w, SaverMessage::Paint);
  }
  return w.quitCode;
}

} // namespace

void dispatchEvent(SaverWindow& w, const SaverEvent& event) { hostWindowProc(w, event); }

void dispatchMessage(SaverWindow& w, SaverMessage message) {
  SaverEvent event;
  event.message = message;
  dispatchEvent(w, event);
}

void dispatchInput(SaverWindow& w, InputEvent input, int x, int y) {
  SaverEvent event;
  event.message = SaverMessage::Input;
  event.input = input;
  event.x = x;
  event.y = y;
  dispatchEvent(w, event);
}

int defaultSaverProc(SaverWindow& w, const SaverEvent& event) {
  switch (event.message) {
    case SaverMessage::Close:
      if (!w.host.childMode && !w.host.closing &&
          !checkPassword(w.host, tickCount(), nullptr)) {
        return 0; // refused: the saver stays (never without a verifier)
      }
      w.host.closing = true;
      // The platform's handling of a close request destroys the window.
      destroySaverWindow(w);
      dispatchMessage(w, SaverMessage::Destroy);
      return 0;
    case SaverMessage::Input:
      if (inputAsksToClose(w.host, event.input, event.x, event.y)) {
        postMessage(w, SaverMessage::Close);
      }
      return 0;
    default:
      return 0;
  }
}

int runSaverWindow(SaverWindow& w) {
  catchEndSignals(w);
  dispatchMessage(w, SaverMessage::Create);
  showSaverWindow(w);
  const int code = messageLoop(w);
  releaseSaverWindow(w);
  closeWindowSystem(w);
  return code;
}

} // namespace starbloom
