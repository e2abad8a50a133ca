// Session locks: an exclusive, non-blocking flock on a file of the user's
// runtime folder. The kernel drops it with the process, so a saver that was
// killed leaves no stale lock behind.
#include "host/session_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace starbloom {

bool takeSessionLock(const std::string& name, int& fd) {
  fd = -1;
  const char* folder = std::getenv("XDG_RUNTIME_DIR");
  std::string file = name;
  for (char& c : file) {
    if (c == '/') c = '_';
  }
  const std::string path = std::string(folder != nullptr && *folder != '\0' ? folder : "/tmp") + "/starbloom-" +
                           file + ".lock";
  const int opened = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (opened < 0) return true; // no lock to be had: run without one
  if (flock(opened, LOCK_EX | LOCK_NB) != 0) {
    const bool held = errno == EWOULDBLOCK;
    close(opened);
    return !held;
  }
  fd = opened;
  return true;
}

} // namespace starbloom
