// A virtual pointer for end-to-end tests on a headless compositor: a
// compositor without input devices offers its clients no pointer, so the
// seat's cursor commands (swaymsg seat seat0 cursor ...) reach nobody.
// This program adds one pointer device to the seat through wlroots'
// virtual-pointer protocol and holds it until its standard input closes.
// The protocol's two interfaces are declared here by hand; only the
// requests this program sends need to be right.

#include <cstdint>
#include <cstdio>
#include <cstring>

#include <wayland-client.h>

#include "hold_connection.h"

namespace {

extern const wl_interface VIRTUAL_POINTER;

const wl_interface* CREATE_TYPES[] = {&wl_seat_interface, &VIRTUAL_POINTER};

const wl_message MANAGER_REQUESTS[] = {
    {"create_virtual_pointer", "?on", CREATE_TYPES},
    {"destroy", "", nullptr},
};

const wl_message POINTER_REQUESTS[] = {
    {"motion", "uff", nullptr},
};

const wl_interface MANAGER = {"zwlr_virtual_pointer_manager_v1", 1, 2, MANAGER_REQUESTS, 0, nullptr};
const wl_interface VIRTUAL_POINTER = {"zwlr_virtual_pointer_v1", 1, 1, POINTER_REQUESTS, 0, nullptr};

wl_seat* seat = nullptr;
wl_proxy* manager = nullptr;

void onGlobal(void*, wl_registry* registry, std::uint32_t name, const char* interface, std::uint32_t) {
  if (std::strcmp(interface, "wl_seat") == 0 && seat == nullptr) {
    seat = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
  } else if (std::strcmp(interface, MANAGER.name) == 0) {
    manager = static_cast<wl_proxy*>(wl_registry_bind(registry, name, &MANAGER, 1));
  }
}

void onGlobalRemove(void*, wl_registry*, std::uint32_t) {}

const wl_registry_listener REGISTRY = {onGlobal, onGlobalRemove};

} // namespace

int main() {
  wl_display* display = wl_display_connect(nullptr);
  if (display == nullptr) {
    std::fprintf(stderr, "virtual_pointer: no Wayland display\n");
    return 1;
  }
  wl_registry_add_listener(wl_display_get_registry(display), &REGISTRY, nullptr);
  wl_display_roundtrip(display);
  if (seat == nullptr || manager == nullptr) {
    std::fprintf(stderr, "virtual_pointer: the compositor has no virtual pointers\n");
    return 1;
  }
  wl_proxy* pointer = wl_proxy_marshal_constructor(manager, 0, &VIRTUAL_POINTER, seat, nullptr);
  wl_display_roundtrip(display);
  std::puts("ready");
  std::fflush(stdout);
  holdUntilInputCloses(display);
  wl_proxy_destroy(pointer);
  wl_display_disconnect(display);
  return 0;
}
