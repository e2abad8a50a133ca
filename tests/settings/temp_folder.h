#pragma once
// A scratch folder for settings-file tests, made with mkdtemp and removed
// with everything in it when the test ends, plus byte-exact file helpers.
#include <dirent.h>
#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace starbloom {

class TempFolder {
 public:
  TempFolder() {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && tmp[0] == '/' ? tmp : "/tmp") + "/starbloom-settings-XXXXXX";
    if (mkdtemp(&pattern[0])) path_ = pattern;
  }
  ~TempFolder() {
    if (path_.empty()) return;
    // Make every folder writable again first, in case a test locked one.
    nftw(path_.c_str(), [](const char* p, const struct stat* st, int type, FTW*) {
      if (type == FTW_D) chmod(p, st->st_mode | S_IRWXU);
      return 0;
    }, 16, FTW_PHYS);
    nftw(path_.c_str(), [](const char* p, const struct stat*, int, FTW*) {
      return std::remove(p);
    }, 16, FTW_DEPTH | FTW_PHYS);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  bool ok() const { return !path_.empty(); }
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

inline bool writeBytes(const std::string& path, const std::string& bytes) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

// The file's bytes, or "<missing>" when it cannot be opened.
inline std::string readBytes(const std::string& path) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return "<missing>";
  std::string bytes;
  char buffer[4096];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) bytes.append(buffer, n);
  std::fclose(f);
  return bytes;
}

// Sorted names in a folder, without "." and "..".
inline std::vector<std::string> folderEntries(const std::string& path) {
  std::vector<std::string> names;
  DIR* dir = opendir(path.c_str());
  if (!dir) return names;
  while (const dirent* e = readdir(dir)) {
    const std::string name = e->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  closedir(dir);
  std::sort(names.begin(), names.end());
  return names;
}

} // namespace starbloom
