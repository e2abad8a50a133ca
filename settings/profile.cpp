// Private-profile files: "[section]" header lines, "key=value" lines, and
// anything else, which is kept but never interpreted. The text is scanned
// line by line with memchr; nothing is cached, so one lookup costs one pass
// over the file (a settings file is a few hundred bytes; the 25 reads at
// start-up share one load). Lines end at "\n"; a "\r" before it belongs to
// the line break, so CRLF files read and edit like LF files. Bytes are
// compared as unsigned ASCII, so NUL bytes and binary garbage are just
// characters that match nothing.
//
// Writes never edit the file in place: the new text goes to a temporary file
// in the same folder, is flushed with fsync and renamed over the old file, so
// a reader sees either the old file or the new one, never a mixture, and a
// failure at any step leaves the old file as it was.
//
// A write killed before its rename leaves its temporary file behind, so each
// write first removes such leftovers: files in the target's folder named
// exactly like its temporaries ("." + name + "." + six characters of
// mkstemp), regular, ours and with one link. A live write holds an flock on
// its temporary until the rename is done, and a leftover is removed only
// while the remover holds that lock itself, so a concurrent write is never
// disturbed. The writer checks, once locked, that its name still leads to
// its file: a remover may have taken the unlocked file in that first instant.
#include "settings/profile.h"

#include <cerrno>
#include <climits>
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

// One line of text: its content without the line break, and where the next
// line starts.
struct LineSpan {
  std::size_t begin = 0;  // first byte of the content
  std::size_t end = 0;    // one past the content; a "\r" before "\n" is excluded
  std::size_t next = 0;   // first byte of the next line; text size at the last line
  bool hasBreak = false;  // the line ends with "\n"
};

enum class LineKind { Other, Section, Key };

// Names and values are trimmed spans of the text.
struct ParsedLine {
  LineKind kind = LineKind::Other;
  std::size_t nameBegin = 0;   // section or key name
  std::size_t nameEnd = 0;
  std::size_t valueBegin = 0;  // key value; an empty value sits right after "="
  std::size_t valueEnd = 0;
  bool blank = true;           // nothing but blanks
};

// Where a key is, or where it would go.
struct KeyLocation {
  bool sectionFound = false;
  std::size_t sectionInsert = 0;    // after the section's last non-blank line
  bool insertNeedsBreak = false;    // that line is the last one and has no line break
  bool keyFound = false;
  std::size_t valueBegin = 0;
  std::size_t valueEnd = 0;
};

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

unsigned char asciiLower(char c) {
  const unsigned char u = static_cast<unsigned char>(c);
  return (u >= 'A' && u <= 'Z') ? static_cast<unsigned char>(u + ('a' - 'A')) : u;
}

bool nextLine(const std::string& text, std::size_t pos, LineSpan& line) {
  if (pos >= text.size()) return false;
  line.begin = pos;
  const void* found = std::memchr(text.data() + pos, '\n', text.size() - pos);
  if (found) {
    line.end = static_cast<std::size_t>(static_cast<const char*>(found) - text.data());
    line.next = line.end + 1;
    line.hasBreak = true;
    if (line.end > line.begin && text[line.end - 1] == '\r') --line.end;
  } else {
    line.end = text.size();
    line.next = text.size();
    line.hasBreak = false;
  }
  // A byte-order mark some editors put first would otherwise hide the first header.
  if (pos == 0 && text.compare(0, 3, "\xEF\xBB\xBF") == 0) line.begin = line.end < 3 ? line.end : 3;
  return true;
}

ParsedLine parseLine(const std::string& text, const LineSpan& line) {
  ParsedLine parsed;
  std::size_t b = line.begin;
  std::size_t e = line.end;
  while (b < e && isBlank(text[b])) ++b;
  while (e > b && isBlank(text[e - 1])) --e;
  parsed.blank = b == e;
  if (parsed.blank) return parsed;

  if (text[b] == '[') {
    const void* close = std::memchr(text.data() + b + 1, ']', e - b - 1);
    if (close) {
      std::size_t nb = b + 1;
      std::size_t ne = static_cast<std::size_t>(static_cast<const char*>(close) - text.data());
      while (nb < ne && isBlank(text[nb])) ++nb;
      while (ne > nb && isBlank(text[ne - 1])) --ne;
      parsed.kind = LineKind::Section;
      parsed.nameBegin = nb;
      parsed.nameEnd = ne;
      return parsed;
    }
  }

  const void* equals = std::memchr(text.data() + b, '=', e - b);
  if (!equals) return parsed;
  const std::size_t eq = static_cast<std::size_t>(static_cast<const char*>(equals) - text.data());
  std::size_t ne = eq;
  while (ne > b && isBlank(text[ne - 1])) --ne;
  std::size_t vb = eq + 1;
  while (vb < e && isBlank(text[vb])) ++vb;
  parsed.kind = LineKind::Key;
  parsed.nameBegin = b;
  parsed.nameEnd = ne;
  parsed.valueBegin = vb;
  parsed.valueEnd = vb < e ? e : vb;
  return parsed;
}

bool nameEquals(const std::string& text, std::size_t begin, std::size_t end, const char* name) {
  const std::size_t length = std::strlen(name);
  if (end - begin != length) return false;
  for (std::size_t i = 0; i < length; ++i) {
    if (asciiLower(text[begin + i]) != asciiLower(name[i])) return false;
  }
  return true;
}

// Only the first section of the name counts: its keys are the ones read and
// the ones written, so a later duplicate can never shadow an edit.
KeyLocation locateKey(const std::string& text, const char* section, const char* key) {
  KeyLocation at;
  bool inSection = false;
  LineSpan line;
  for (std::size_t pos = 0; nextLine(text, pos, line); pos = line.next) {
    const ParsedLine parsed = parseLine(text, line);
    if (parsed.kind == LineKind::Section) {
      if (inSection) break;
      if (nameEquals(text, parsed.nameBegin, parsed.nameEnd, section)) {
        inSection = true;
        at.sectionFound = true;
        at.sectionInsert = line.next;
        at.insertNeedsBreak = !line.hasBreak;
      }
      continue;
    }
    if (!inSection) continue;
    if (parsed.kind == LineKind::Key && nameEquals(text, parsed.nameBegin, parsed.nameEnd, key)) {
      at.keyFound = true;
      at.valueBegin = parsed.valueBegin;
      at.valueEnd = parsed.valueEnd;
      return at;
    }
    if (!parsed.blank) {
      at.sectionInsert = line.next;
      at.insertNeedsBreak = !line.hasBreak;
    }
  }
  return at;
}

// New lines copy the file's own line break, judged by its first line.
const char* lineBreakOf(const std::string& text) {
  const std::size_t nl = text.find('\n');
  return (nl != std::string::npos && nl > 0 && text[nl - 1] == '\r') ? "\r\n" : "\n";
}

// A name must read back as itself: one line, no surrounding blanks, and
// none of the characters that end it.
bool storableName(const char* name, const char* forbidden) {
  if (!name || !*name) return false;
  const std::size_t length = std::strlen(name);
  if (isBlank(name[0]) || isBlank(name[length - 1])) return false;
  return std::strpbrk(name, forbidden) == nullptr;
}

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

ProfileInt parseProfileInt(const char* text, std::size_t length) {
  ProfileInt parsed;
  std::size_t i = 0;
  bool negative = false;
  if (i < length && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  // Accumulate the magnitude in 64 bits and stop growing it once it is past
  // the 32-bit range, so any number of digits saturates without overflow.
  const std::int64_t limit = negative ? -static_cast<std::int64_t>(INT_MIN) : INT_MAX;
  std::int64_t magnitude = 0;
  const std::size_t firstDigit = i;
  while (i < length && text[i] >= '0' && text[i] <= '9') {
    if (magnitude <= limit) magnitude = magnitude * 10 + (text[i] - '0');
    ++i;
  }
  if (i == firstDigit) return parsed;
  if (magnitude > limit) magnitude = limit;
  parsed.value = static_cast<int>(negative ? -magnitude : magnitude);
  parsed.used = i;
  parsed.hasDigits = true;
  return parsed;
}

ProfileLoad profileLoad(const char* path, std::string& text) {
  text.clear();
  if (!path || !*path) return ProfileLoad::Missing;
  // O_NONBLOCK keeps a FIFO put in the file's place from hanging the open.
  const int fd = open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) {
    return (errno == ENOENT || errno == ENOTDIR) ? ProfileLoad::Missing : ProfileLoad::Failed;
  }
  struct stat st;
  bool ok = fstat(fd, &st) == 0 && S_ISREG(st.st_mode) &&
            static_cast<std::uint64_t>(st.st_size) <= MAX_PROFILE_BYTES;
  if (ok) text.reserve(static_cast<std::size_t>(st.st_size));
  char buffer[8192];
  while (ok) {
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ok = n == 0;
      break;
    }
    text.append(buffer, static_cast<std::size_t>(n));
    ok = text.size() <= MAX_PROFILE_BYTES; // the file may grow while it is read
  }
  close(fd);
  if (!ok) {
    text.clear();
    return ProfileLoad::Failed;
  }
  return ProfileLoad::Loaded;
}

int profileReadIntFrom(const std::string& text, const char* section, const char* key,
                       int defaultValue) {
  if (!section || !key) return defaultValue;
  const KeyLocation at = locateKey(text, section, key);
  if (!at.keyFound || at.valueBegin == at.valueEnd) return defaultValue;
  return parseProfileInt(text.data() + at.valueBegin, at.valueEnd - at.valueBegin).value;
}

int profileReadInt(const char* path, const char* section, const char* key, int defaultValue) {
  std::string text;
  profileLoad(path, text); // an unreadable file reads as empty: every key takes its default
  return profileReadIntFrom(text, section, key, defaultValue);
}

bool profileSetInText(std::string& text, const char* section, const char* key, const char* value) {
  // A key starting with "[" could read back as a section header.
  if (!storableName(section, "]\r\n") || !storableName(key, "=\r\n") || key[0] == '[') return false;
  if (!value || std::strpbrk(value, "\r\n")) return false;

  const KeyLocation at = locateKey(text, section, key);
  if (at.keyFound) {
    text.replace(at.valueBegin, at.valueEnd - at.valueBegin, value);
    return true;
  }
  const char* lineBreak = lineBreakOf(text);
  std::string keyLine = std::string(key) + "=" + value + lineBreak;
  if (at.sectionFound) {
    if (at.insertNeedsBreak) keyLine.insert(0, lineBreak);
    text.insert(at.sectionInsert, keyLine);
    return true;
  }
  if (!text.empty() && text.back() != '\n') text += lineBreak;
  text += "[";
  text += section;
  text += "]";
  text += lineBreak;
  text += keyLine;
  return true;
}

bool profileWriteFile(const char* path, const std::string& text) {
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

bool profileWriteString(const char* path, const char* section, const char* key,
                        const char* value) {
  std::string text;
  // Rewriting a file that could not be read whole would lose its other lines.
  if (profileLoad(path, text) == ProfileLoad::Failed) return false;
  if (!profileSetInText(text, section, key, value)) return false;
  return profileWriteFile(path, text);
}

} // namespace starbloom
