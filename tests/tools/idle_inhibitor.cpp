// An idle inhibitor for end-to-end tests, as a video player holds one: a
// small window (an xdg-shell toplevel titled "idle inhibitor", one grey
// shared-memory buffer) with a zwp_idle_inhibitor_v1 on its surface, held
// until standard input closes. It prints "ready" once the compositor has
// shown the window. The idle-inhibit protocol's two interfaces are declared
// here by hand; only the requests this program sends need to be right.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>

#include <wayland-client.h>

#include "hold_connection.h"

#include "xdg-shell-client-protocol.h"

namespace {

extern const wl_interface INHIBITOR;

const wl_interface* CREATE_TYPES[] = {&INHIBITOR, &wl_surface_interface};

const wl_message MANAGER_REQUESTS[] = {
    {"destroy", "", nullptr},
    {"create_inhibitor", "no", CREATE_TYPES},
};

const wl_message INHIBITOR_REQUESTS[] = {
    {"destroy", "", nullptr},
};

const wl_interface MANAGER = {"zwp_idle_inhibit_manager_v1", 1, 2, MANAGER_REQUESTS, 0, nullptr};
const wl_interface INHIBITOR = {"zwp_idle_inhibitor_v1", 1, 1, INHIBITOR_REQUESTS, 0, nullptr};

constexpr int SIZE = 64;

wl_compositor* compositor = nullptr;
wl_shm* shm = nullptr;
xdg_wm_base* shell = nullptr;
wl_proxy* manager = nullptr;
bool configured = false;

void onGlobal(void*, wl_registry* registry, std::uint32_t name, const char* interface, std::uint32_t) {
  if (std::strcmp(interface, wl_compositor_interface.name) == 0) {
    compositor = static_cast<wl_compositor*>(wl_registry_bind(registry, name, &wl_compositor_interface, 1));
  } else if (std::strcmp(interface, wl_shm_interface.name) == 0) {
    shm = static_cast<wl_shm*>(wl_registry_bind(registry, name, &wl_shm_interface, 1));
  } else if (std::strcmp(interface, xdg_wm_base_interface.name) == 0) {
    shell = static_cast<xdg_wm_base*>(wl_registry_bind(registry, name, &xdg_wm_base_interface, 1));
  } else if (std::strcmp(interface, MANAGER.name) == 0) {
    manager = static_cast<wl_proxy*>(wl_registry_bind(registry, name, &MANAGER, 1));
  }
}

void onGlobalRemove(void*, wl_registry*, std::uint32_t) {}

const wl_registry_listener REGISTRY = {onGlobal, onGlobalRemove};

void onPing(void*, xdg_wm_base* base, std::uint32_t serial) { xdg_wm_base_pong(base, serial); }

const xdg_wm_base_listener SHELL = {onPing};

void onConfigure(void*, xdg_surface* surface, std::uint32_t serial) {
  xdg_surface_ack_configure(surface, serial);
  configured = true;
}

const xdg_surface_listener SURFACE = {onConfigure};

// One grey buffer of SIZE x SIZE.
wl_buffer* greyBuffer() {
  const int stride = SIZE * 4;
  const int bytes = stride * SIZE;
  const int fd = memfd_create("idle-inhibitor", MFD_CLOEXEC);
  if (fd < 0 || ftruncate(fd, bytes) != 0) return nullptr;
  void* pixels = mmap(nullptr, static_cast<std::size_t>(bytes), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  if (pixels == MAP_FAILED) return nullptr;
  std::memset(pixels, 0x80, static_cast<std::size_t>(bytes));
  munmap(pixels, static_cast<std::size_t>(bytes));
  wl_shm_pool* pool = wl_shm_create_pool(shm, fd, bytes);
  wl_buffer* buffer = wl_shm_pool_create_buffer(pool, 0, SIZE, SIZE, stride, WL_SHM_FORMAT_XRGB8888);
  wl_shm_pool_destroy(pool);
  close(fd);
  return buffer;
}

} // namespace

int main() {
  wl_display* display = wl_display_connect(nullptr);
  if (display == nullptr) {
    std::fprintf(stderr, "idle_inhibitor: no Wayland display\n");
    return 1;
  }
  wl_registry_add_listener(wl_display_get_registry(display), &REGISTRY, nullptr);
  wl_display_roundtrip(display);
  if (compositor == nullptr || shm == nullptr || shell == nullptr || manager == nullptr) {
    std::fprintf(stderr, "idle_inhibitor: the compositor lacks a global this needs\n");
    return 1;
  }
  xdg_wm_base_add_listener(shell, &SHELL, nullptr);
  wl_surface* surface = wl_compositor_create_surface(compositor);
  xdg_surface* shellSurface = xdg_wm_base_get_xdg_surface(shell, surface);
  xdg_surface_add_listener(shellSurface, &SURFACE, nullptr);
  xdg_toplevel* toplevel = xdg_surface_get_toplevel(shellSurface);
  xdg_toplevel_set_title(toplevel, "idle inhibitor");
  wl_surface_commit(surface);
  while (!configured && wl_display_dispatch(display) >= 0) {
  }
  wl_surface_attach(surface, greyBuffer(), 0, 0);
  wl_surface_commit(surface);
  wl_proxy* inhibitor = wl_proxy_marshal_constructor(manager, 1, &INHIBITOR, nullptr, surface);
  wl_display_roundtrip(display);
  std::puts("ready");
  std::fflush(stdout);
  holdUntilInputCloses(display);
  wl_proxy_destroy(inhibitor);
  wl_display_disconnect(display);
  return 0;
}
