#pragma once
// Small text files read whole and replaced whole: the settings file and the
// user's XScreenSaver preferences are never edited in place. A replacement
// goes to a temporary file beside the target and is renamed over it, so a
// reader sees the old file or the new one, and a failed or killed write
// leaves the old file as it was.
#include <cstddef>
#include <string>

namespace starbloom {

// Files larger than this are refused: loading fails, so nothing rewrites them.
constexpr std::size_t MAX_WHOLE_FILE_BYTES = std::size_t{16} << 20;

enum class FileLoad {
  Loaded,  // text holds the whole file
  Missing, // no file there: text is empty
  Failed,  // something unreadable is there; errno says why (EISDIR for a folder,
           // EFBIG for an oversized file, EINVAL for a FIFO or device)
};

// Reads the whole file at path into text (cleared first).
FileLoad loadWholeFile(const char* path, std::string& text);

// Replaces the file at path with text: creates the folder and its parents
// (mode 0700) when missing, writes a temporary file beside the target,
// flushes it to disk and renames it over the target. A symbolic link at path
// is followed so that the link itself survives. A file without write
// permission for the caller, or with no write bit at all (even for root), is
// refused. On any failure returns false with errno saying why, removes the
// temporary file and leaves the old file untouched. Temporary files that
// earlier writes left behind when they were killed are removed first; those
// of writes still running are not.
bool replaceFile(const char* path, const std::string& text);

} // namespace starbloom
