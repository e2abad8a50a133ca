// The settings targets need a real file, because the store's start-up read
// and its atomic rewrite both take a path. mkdtemp makes a folder under
// /dev/shm (or $TMPDIR, or /tmp), XDG_CONFIG_HOME is pointed at it so that
// settingsFilePath() lands inside, and an atexit handler removes the file,
// its folder and the folder itself. Plain stdio does the per-input work.
#include "support/temp_config.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include <sys/stat.h>
#include <unistd.h>

#include "settings/settings_store.h"

namespace starbloom_fuzz {

namespace {

std::string folder;
std::string settingsPath;

void removeFolder() {
  if (folder.empty()) return;
  std::remove(settingsPath.c_str());
  std::remove((folder + "/starbloom").c_str());
  std::remove(folder.c_str());
}

[[noreturn]] void fail(const char* what, const std::string& path) {
  std::fprintf(stderr, "fuzz set-up: %s %s\n", what, path.c_str());
  std::abort();
}

} // namespace

const std::string& tempSettingsPath() {
  if (!settingsPath.empty()) return settingsPath;
  std::string base = "/dev/shm";
  if (access(base.c_str(), W_OK) != 0) {
    const char* tmp = std::getenv("TMPDIR");
    base = tmp && *tmp ? tmp : "/tmp";
  }
  std::string pattern = base + "/starbloom-fuzz.XXXXXX";
  if (!mkdtemp(&pattern[0])) fail("cannot make a folder under", base);
  folder = pattern;
  std::atexit(removeFolder);
  if (mkdir((folder + "/starbloom").c_str(), 0700) != 0) fail("cannot make", folder + "/starbloom");
  setenv("XDG_CONFIG_HOME", folder.c_str(), 1);
  settingsPath = starbloom::settingsFilePath();
  if (settingsPath != folder + "/starbloom/" + starbloom::SETTINGS_FILE_NAME) {
    fail("the settings path is outside the private folder:", settingsPath);
  }
  return settingsPath;
}

void writeWholeFile(const std::string& path, const std::string& text) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file || std::fwrite(text.data(), 1, text.size(), file) != text.size() ||
      std::fclose(file) != 0) {
    fail("cannot write", path);
  }
}

std::string readWholeFile(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) fail("cannot read", path);
  std::string text;
  char buffer[4096];
  std::size_t n = 0;
  while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, n);
  std::fclose(file);
  return text;
}

} // namespace starbloom_fuzz
