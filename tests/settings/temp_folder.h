#pragma once
// A fixture with a scratch folder (mkdtemp, removed with its contents at the
// end) and byte-exact file helpers for the settings-file tests.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>

namespace starbloom {

class TempFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = std::filesystem::temp_directory_path() / "starbloom-settings-XXXXXX";
    ASSERT_NE(mkdtemp(&pattern[0]), nullptr);
    dir = pattern;
    path = dir + "/p.ini";
  }
  void TearDown() override { std::filesystem::remove_all(dir); }
  std::string dir;  // the scratch folder
  std::string path; // a file in it
};

inline bool writeBytes(const std::string& path, const std::string& bytes) {
  std::ofstream f(path, std::ios::binary);
  return static_cast<bool>(f.write(bytes.data(), static_cast<std::streamsize>(bytes.size())).flush());
}

// The file's bytes, or "<missing>" when it cannot be opened.
inline std::string readBytes(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return f ? std::string(std::istreambuf_iterator<char>(f), {}) : "<missing>";
}

inline std::set<std::string> folderEntries(const std::string& path) {
  std::set<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(path)) names.insert(e.path().filename());
  return names;
}

} // namespace starbloom
