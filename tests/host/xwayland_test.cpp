// End-to-end test of full screen on X11 through Xwayland: a private headless
// sway (sway_test_server.h) with Xwayland enabled, and the program run there
// with --platform x11, DISPLAY naming sway's Xwayland and WAYLAND_DISPLAY
// kept, as on a Wayland desktop.
#include "host/sway_test_server.h"

namespace starbloom {
namespace {

class SaverOnXwayland : public SaverOnWayland {
 protected:
  // sway runs its exec lines once Xwayland's display is set: the first
  // tells which one it is.
  SaverOnXwayland() {
    swayConfig = "output HEADLESS-1 resolution 1280x720\n"
                 "xwayland enable\n"
                 "exec echo $DISPLAY > $XDG_RUNTIME_DIR/display\n";
  }

  // ":N", or empty when sway did not tell it within 10 s.
  std::string xwaylandDisplay() {
    for (int waited = 0; waited < 10000; waited += 50) {
      char line[64] = {};
      if (FILE* f = std::fopen((runtime + "/display").c_str(), "r")) {
        const bool whole = std::fgets(line, sizeof line, f) != nullptr && std::strchr(line, '\n') != nullptr;
        std::fclose(f);
        if (whole && line[0] == ':') return std::string(line, std::strcspn(line, "\n"));
      }
      pause(50);
    }
    return "";
  }

  // Whether a window covers the output within timeoutMs: sway's own grey
  // is gone from the output's picture but for a few pixels (a rocket may
  // pass through that grey).
  bool coveredWithin(const std::string& output, int timeoutMs) {
    const std::string file = runtime + "/" + output + ".png";
    for (int waited = 0; waited < timeoutMs; waited += 200) {
      int w = 0, h = 0, n = 0;
      unsigned char* rgb = nullptr;
      if (run({"grim", "-o", output, file}) == 0) rgb = stbi_load(file.c_str(), &w, &h, &n, 3);
      long grey = 0;
      for (int i = 0; rgb != nullptr && i < w * h; ++i) {
        const unsigned char* p = rgb + 3 * i;
        grey += p[0] == EMPTY_GREY && p[1] == EMPTY_GREY && p[2] == EMPTY_GREY ? 1 : 0;
      }
      if (rgb != nullptr) stbi_image_free(rgb);
      if (rgb != nullptr && grey * 100 < static_cast<long>(w) * h) return true;
      pause(200);
    }
    return false;
  }
};

// Xwayland learns where the pointer is only when it enters one of its
// surfaces, so each saver starts with the compositor's pointer away from
// where Xwayland last saw it (a fresh Xwayland's centre, the last row's
// spot): a reference taken from a stale position would end the saver on
// the pointer's first report. A key, a 10-pixel move and a click end it
// with status 0; a 3-pixel move and no input for 5 s keep it.
TEST_F(SaverOnXwayland, FullScreenEndsOnInputAndOnlyOnInput) {
  const std::string display = xwaylandDisplay();
  ASSERT_FALSE(display.empty()) << "sway did not start Xwayland";
  addPointer();
  addKeyboard();
  const std::vector<std::string> cursor = {"swaymsg", "seat", "seat0", "cursor"};
  auto withCursor = [&](std::vector<std::string> tail) {
    std::vector<std::string> all = cursor;
    all.insert(all.end(), tail.begin(), tail.end());
    return all;
  };
  struct Row {
    const char* name;
    std::vector<std::vector<std::string>> input;
    bool ends;
  };
  const Row rows[] = {
      {"no input for 5 s", {}, false},
      {"a 3-pixel move", {withCursor({"move", "0", "0"}), withCursor({"move", "3", "0"})}, false},
      {"a 10-pixel move", {withCursor({"move", "0", "0"}), withCursor({"move", "10", "0"})}, true},
      {"a key", {{"wtype", "a"}}, true},
      {"a click", {withCursor({"move", "0", "0"}), withCursor({"press", "button1"}),
                   withCursor({"release", "button1"})}, true},
  };
  int spot = 0;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    ASSERT_EQ(run(withCursor({"set", std::to_string(200 + 150 * spot++), "200"})), 0);
    Saver saver;
    startSaver(saver, {"--platform", "x11", "/s"}, {"DISPLAY=" + display});
    ASSERT_TRUE(coveredWithin("HEADLESS-1", 15000)) << "status " << saver.wait(0) << ": " << saver.errors;
    // The window is mapped: a move of nothing reaches it, and where the
    // pointer is told first is the reference for the moves after it.
    for (const std::vector<std::string>& client : row.input) ASSERT_EQ(run(client), 0);
    if (row.ends) {
      EXPECT_EQ(saver.wait(10000), 0) << saver.errors;
      continue;
    }
    EXPECT_EQ(saver.wait(row.input.empty() ? 5000 : 1000), -1) << "it ended: " << saver.errors;
    kill(saver.pid, SIGTERM);
    EXPECT_EQ(saver.wait(10000), 0) << saver.errors;
  }
}

} // namespace
} // namespace starbloom
