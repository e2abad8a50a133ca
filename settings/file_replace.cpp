// Whole-file reads and atomic replacement of small text files.
//
// Writes never edit the file in place: the new text goes to a temporary file
// in the same folder, is flushed with fsync and renamed over the old file, so
// a reader sees either the old file or the new one, never a mixture, and a
// failure at any step leaves the old file as it was. The folder is synced
// after the rename so that the new name survives a crash too.
//
// A write killed before its rename leaves its temporary file behind, so each
// write first removes such leftovers: files in the target's folder named
// exactly like its temporaries ("." + name + "." + six characters of
// mkstemp), regular, ours and with one link. A live write holds an flock on
// its temporary until the rename is done, and a leftover is removed only
// while the remover holds that lock itself, so a concurrent write is never
// disturbed. The writer checks, once locked, that its name still leads to
// its file: a remover may have taken the unlocked file in that first instant.
//
// Reads open without blocking (a FIFO put in the file's place cannot hang
// them), take regular files only and stop at MAX_WHOLE_FILE_BYTES, so a
// caller that rewrites what it read never rewrites a file it saw only part of.
#include "settings/file_replace.h"

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace starbloom {

namespace {

bool makeFolders(const std::string& folder) {
  struct stat st;
  if (stat(folder.c_str(), &st) == 0) {
    if (!S_ISDIR(st.st_mode)) errno = ENOTDIR;
    return S_ISDIR(st.st_mode);
  }
  for (std::size_t i = 1; i <= folder.size(); ++i) {
    if (i < folder.size() && folder[i] != '/') continue;
    const std::string part = folder.substr(0, i);
    if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
  }
  return stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool writeAll(int fd, const std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = write(fd, text.data() + done, text.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  return true;
}

// A new file gets the mode the user's umask asks for. The program is single
// threaded, so reading the mask by setting it back is safe.
mode_t newFileMode() {
  const mode_t mask = umask(0);
  umask(mask);
  return static_cast<mode_t>(0666 & ~mask);
}

// The rename is durable only once the folder's entry is on disk too; a
// failure here cannot undo the rename, so it is not reported.
void syncFolder(const std::string& folder) {
  const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  fsync(fd);
  close(fd);
}

// "." + base + "." + six characters from mkstemp's alphabet, and nothing else.
bool isTemporaryName(const char* name, const std::string& base) {
  const std::size_t length = std::strlen(name);
  if (length != base.size() + 8 || name[0] != '.' || name[base.size() + 1] != '.') return false;
  if (base.compare(0, base.size(), name + 1, base.size()) != 0) return false;
  for (std::size_t i = base.size() + 2; i < length; ++i) {
    const char c = name[i];
    if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))) return false;
  }
  return true;
}

bool sameFile(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

bool ownLoneFile(const struct stat& st) {
  return S_ISREG(st.st_mode) && st.st_uid == geteuid() && st.st_nlink == 1;
}

// Checked before the open, so that no device, FIFO or link is ever opened,
// and again on the open file, which is what the lock belongs to.
void removeIfLeftOver(int folderFd, const char* name) {
  struct stat named, held;
  if (fstatat(folderFd, name, &named, AT_SYMLINK_NOFOLLOW) != 0 || !ownLoneFile(named)) return;
  const int fd = openat(folderFd, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return;
  const bool leftOver = fstat(fd, &held) == 0 && sameFile(held, named) && ownLoneFile(held) &&
                        flock(fd, LOCK_EX | LOCK_NB) == 0 &&
                        fstatat(folderFd, name, &named, AT_SYMLINK_NOFOLLOW) == 0 &&
                        sameFile(held, named);
  if (leftOver) unlinkat(folderFd, name, 0);
  close(fd);
}

void removeLeftOverTemporaries(const std::string& folder, const std::string& base) {
  DIR* entries = opendir(folder.c_str());
  if (!entries) return;
  while (const dirent* entry = readdir(entries)) {
    if (isTemporaryName(entry->d_name, base)) removeIfLeftOver(dirfd(entries), entry->d_name);
  }
  closedir(entries);
}

// Makes a temporary file from pattern and locks it; returns its descriptor
// and its name in temp, or -1. A file system without flock leaves it
// unlocked, which is safe: no remover can lock a leftover there either.
int makeLockedTemporary(const std::string& pattern, std::string& temp) {
  constexpr int ATTEMPTS = 8; // each retry means a remover took the file in its first instant
  for (int attempt = 0; attempt < ATTEMPTS; ++attempt) {
    temp = pattern;
    const int fd = mkostemp(&temp[0], O_CLOEXEC);
    if (fd < 0) return -1;
    while (flock(fd, LOCK_EX) != 0 && errno == EINTR) {
    }
    struct stat held, named;
    if (fstat(fd, &held) == 0 && lstat(temp.c_str(), &named) == 0 && sameFile(held, named)) return fd;
    close(fd); // the name is no longer ours to remove
  }
  return -1;
}

} // namespace

FileLoad loadWholeFile(const char* path, std::string& text) {
  text.clear();
  if (!path || !*path) return FileLoad::Missing;
  // O_NONBLOCK keeps a FIFO put in the file's place from hanging the open.
  const int fd = open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) {
    return (errno == ENOENT || errno == ENOTDIR) ? FileLoad::Missing : FileLoad::Failed;
  }
  struct stat st;
  int reason = 0;
  if (fstat(fd, &st) != 0) {
    reason = errno;
  } else if (!S_ISREG(st.st_mode)) {
    reason = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
  } else if (static_cast<std::uint64_t>(st.st_size) > MAX_WHOLE_FILE_BYTES) {
    reason = EFBIG;
  } else {
    text.reserve(static_cast<std::size_t>(st.st_size));
  }
  char buffer[8192];
  while (reason == 0) {
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) reason = errno;
    if (n <= 0) break;
    text.append(buffer, static_cast<std::size_t>(n));
    if (text.size() > MAX_WHOLE_FILE_BYTES) reason = EFBIG; // the file may grow while it is read
  }
  close(fd);
  if (reason != 0) {
    text.clear();
    errno = reason;
    return FileLoad::Failed;
  }
  return FileLoad::Loaded;
}

bool replaceFile(const char* path, const std::string& text) {
  if (!path || !*path) return false;
  std::string target = path;
  struct stat st;
  if (lstat(path, &st) == 0 && S_ISLNK(st.st_mode)) {
    char* resolved = realpath(path, nullptr);
    if (!resolved) return false; // a dangling link: nothing sensible to replace
    target = resolved;
    std::free(resolved);
  }
  const std::size_t slash = target.rfind('/');
  const std::string folder =
      slash == std::string::npos ? std::string(".") : slash == 0 ? std::string("/") : target.substr(0, slash);
  const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
  if (base.empty() || !makeFolders(folder)) return false;

  mode_t mode = 0;
  if (stat(target.c_str(), &st) == 0) {
    // A file the user made read-only stays as it is, although the rename could
    // replace it. access() lets root write anything, so a file with no write
    // bit at all is refused by its mode, for every user.
    const bool readOnly = (st.st_mode & 0222) == 0 || access(target.c_str(), W_OK) != 0;
    if (!S_ISREG(st.st_mode) || readOnly) {
      errno = S_ISDIR(st.st_mode) ? EISDIR : readOnly ? EACCES : EINVAL;
      return false;
    }
    mode = st.st_mode & 07777;
  } else if (errno == ENOENT) {
    mode = newFileMode();
  } else {
    return false;
  }

  removeLeftOverTemporaries(folder, base);
  std::string temp;
  const int fd = makeLockedTemporary(folder + "/." + base + ".XXXXXX", temp);
  if (fd < 0) return false;
  bool ok = writeAll(fd, text) && fchmod(fd, mode) == 0 && fsync(fd) == 0;
  ok = ok && rename(temp.c_str(), target.c_str()) == 0;
  const int reason = errno;
  if (!ok) unlink(temp.c_str());
  // The lock ends here, once the file has its final name. The data is on
  // disk already, so the close has nothing left to report.
  close(fd);
  if (!ok) {
    errno = reason;
    return false;
  }
  syncFolder(folder);
  return true;
}

} // namespace starbloom
