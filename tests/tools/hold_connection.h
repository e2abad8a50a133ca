#pragma once
// The test tools' last step: keep the Wayland connection, and with it what
// the tool made on it (a device, an inhibitor), dispatching its events,
// until standard input closes.
#include <poll.h>
#include <unistd.h>

#include <wayland-client.h>

inline void holdUntilInputCloses(wl_display* display) {
  pollfd fds[2] = {{0, POLLIN, 0}, {wl_display_get_fd(display), POLLIN, 0}};
  char buffer[64];
  for (;;) {
    if (poll(fds, 2, -1) < 0) break;
    if ((fds[0].revents & (POLLIN | POLLHUP)) != 0 && read(0, buffer, sizeof buffer) <= 0) break;
    if ((fds[1].revents & (POLLIN | POLLHUP)) != 0 && wl_display_dispatch(display) < 0) break;
  }
}
