// The idle trigger's Wayland source: a connection of its own to the
// compositor (WAYLAND_SOCKET or WAYLAND_DISPLAY), the first seat, and one
// idle notification for the time asked: ext_idle_notifier_v1 where the
// compositor offers it (it honours the compositor's idle inhibitors: a
// video player or presentation keeps the saver away), else KDE's
// org_kde_kwin_idle (sway 1.7). The compositor says idled once the seat has
// had no input for that long and resumed at the next input; the
// notification then watches again by itself.
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <wayland-client.h>

#include "ext-idle-notify-client-protocol.h"
#include "host/idle_source.h"
#include "kde-idle-client-protocol.h"
#include "report/quoted_text.h"

namespace starbloom {

namespace {

struct WaylandIdle {
  wl_display* display = nullptr;
  wl_registry* registry = nullptr;
  wl_seat* seat = nullptr;
  ext_idle_notifier_v1* notifier = nullptr;
  ext_idle_notification_v1* notification = nullptr;
  org_kde_kwin_idle* kdeIdle = nullptr;
  org_kde_kwin_idle_timeout* kdeTimeout = nullptr;
  IdleChange pending = IdleChange::Unchanged;
  bool reading = false; // a read is prepared for the poll
};

WaylandIdle idle; // written by the functions below; one a process

void onGlobal(void*, wl_registry* registry, std::uint32_t name, const char* interface, std::uint32_t) {
  if (std::strcmp(interface, wl_seat_interface.name) == 0 && idle.seat == nullptr) {
    idle.seat = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
  } else if (std::strcmp(interface, ext_idle_notifier_v1_interface.name) == 0) {
    idle.notifier =
        static_cast<ext_idle_notifier_v1*>(wl_registry_bind(registry, name, &ext_idle_notifier_v1_interface, 1));
  } else if (std::strcmp(interface, org_kde_kwin_idle_interface.name) == 0) {
    idle.kdeIdle = static_cast<org_kde_kwin_idle*>(wl_registry_bind(registry, name, &org_kde_kwin_idle_interface, 1));
  }
}

void onGlobalRemove(void*, wl_registry*, std::uint32_t) {}

const wl_registry_listener REGISTRY_LISTENER = {onGlobal, onGlobalRemove};

void onIdled(void*, ext_idle_notification_v1*) { idle.pending = IdleChange::Idle; }
void onResumed(void*, ext_idle_notification_v1*) { idle.pending = IdleChange::Active; }

const ext_idle_notification_v1_listener NOTIFICATION_LISTENER = {onIdled, onResumed};

void onKdeIdle(void*, org_kde_kwin_idle_timeout*) { idle.pending = IdleChange::Idle; }
void onKdeResumed(void*, org_kde_kwin_idle_timeout*) { idle.pending = IdleChange::Active; }

const org_kde_kwin_idle_timeout_listener KDE_TIMEOUT_LISTENER = {onKdeIdle, onKdeResumed};

[[noreturn]] void lostCompositor() {
  std::fprintf(stderr, "starbloom: the idle trigger lost the connection to the Wayland compositor\n");
  std::fflush(stderr);
  _exit(1);
}

} // namespace

bool openWaylandIdle(int seconds, std::string& why, bool&) {
  const char* socket = std::getenv("WAYLAND_SOCKET");
  const char* name = std::getenv("WAYLAND_DISPLAY");
  if ((socket == nullptr || *socket == '\0') && (name == nullptr || *name == '\0')) {
    why = "no WAYLAND_DISPLAY";
    return false;
  }
  idle = WaylandIdle{};
  idle.display = wl_display_connect(nullptr);
  if (idle.display == nullptr) {
    why = "no compositor at " + quotedText(name != nullptr ? name : "");
    return false;
  }
  idle.registry = wl_display_get_registry(idle.display);
  wl_registry_add_listener(idle.registry, &REGISTRY_LISTENER, nullptr);
  const std::uint32_t ms = static_cast<std::uint32_t>(seconds) * 1000u;
  if (wl_display_roundtrip(idle.display) < 0 || idle.seat == nullptr ||
      (idle.notifier == nullptr && idle.kdeIdle == nullptr)) {
    why = idle.seat == nullptr ? "the compositor offers no seat"
                               : "the compositor offers no idle notification (ext-idle-notify or KDE's)";
    closeWaylandIdle();
    return false;
  }
  if (idle.notifier != nullptr) {
    idle.notification = ext_idle_notifier_v1_get_idle_notification(idle.notifier, ms, idle.seat);
    ext_idle_notification_v1_add_listener(idle.notification, &NOTIFICATION_LISTENER, nullptr);
  } else {
    idle.kdeTimeout = org_kde_kwin_idle_get_idle_timeout(idle.kdeIdle, idle.seat, ms);
    org_kde_kwin_idle_timeout_add_listener(idle.kdeTimeout, &KDE_TIMEOUT_LISTENER, nullptr);
  }
  if (wl_display_flush(idle.display) < 0) lostCompositor();
  return true;
}

void waylandIdlePoll(IdlePoll& poll) {
  wl_display* display = idle.display;
  while (wl_display_prepare_read(display) != 0) {
    if (wl_display_dispatch_pending(display) < 0) lostCompositor();
  }
  idle.reading = true;
  if (wl_display_flush(display) < 0 && errno != EAGAIN) lostCompositor();
  poll.fds[poll.count++] = pollfd{wl_display_get_fd(display), POLLIN, 0};
  // Something already dispatched waits to be reported: no sleeping on it.
  poll.timeoutMs = idle.pending != IdleChange::Unchanged ? 0 : -1;
}

IdleChange waylandIdleChange(const IdlePoll& poll) {
  wl_display* display = idle.display;
  if (idle.reading) {
    idle.reading = false;
    const bool readable = poll.count > 0 && (poll.fds[0].revents & (POLLIN | POLLHUP | POLLERR)) != 0;
    if (readable) {
      if (wl_display_read_events(display) < 0) lostCompositor();
    } else {
      wl_display_cancel_read(display);
    }
  }
  if (wl_display_dispatch_pending(display) < 0) lostCompositor();
  const IdleChange change = idle.pending;
  idle.pending = IdleChange::Unchanged;
  return change;
}

void closeWaylandIdle() {
  if (idle.notification != nullptr) ext_idle_notification_v1_destroy(idle.notification);
  if (idle.notifier != nullptr) ext_idle_notifier_v1_destroy(idle.notifier);
  if (idle.kdeTimeout != nullptr) org_kde_kwin_idle_timeout_release(idle.kdeTimeout);
  if (idle.kdeIdle != nullptr) wl_proxy_destroy(reinterpret_cast<wl_proxy*>(idle.kdeIdle));
  if (idle.seat != nullptr) wl_seat_destroy(idle.seat);
  if (idle.registry != nullptr) wl_registry_destroy(idle.registry);
  if (idle.display != nullptr) wl_display_disconnect(idle.display);
  idle = WaylandIdle{};
}

} // namespace starbloom
