#include <gtest/gtest.h>

#include <climits>
#include <csignal>
#include <cstdint>
#include <string>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "settings/profile.h"
#include "temp_folder.h"

namespace starbloom {
namespace {

using namespace std::string_literals; // "\0" inside test texts
using ProfileRead = TempFolderTest;
using ProfileWrite = TempFolderTest;
using Names = std::set<std::string>;

// Bytes 0..255 in a fixed pseudo-random order (xorshift), NULs and brackets included.
std::string garbage(std::size_t size, std::uint32_t x) {
  std::string bytes(size, '\0');
  for (char& c : bytes) c = static_cast<char>((x ^= x << 13, x ^= x >> 17, x ^= x << 5) & 0xff);
  return bytes;
}

TEST_F(ProfileRead, FirstKeyOfTheFirstSectionReadsAsSignAndDigitsWhateverSurroundsIt) {
  const auto v = [](const char* value) { return "[param]\nk=" + std::string(value) + "\n"; };
  const std::string megabyteLine(1 << 20, 'x');
  const struct { std::string file; int expected; } cases[] = {
      {v("12abc"), 12}, {v("-3"), -3}, {v("+7"), 7}, {v(" 9 "), 9}, {v("1 2"), 1}, {v("x"), 0},
      {v("- 5"), 0}, {v(""), -1}, {v("  "), -1}, {v("2147483648"), INT_MAX}, {v("99999999999"), INT_MAX},
      {v("-2147483648"), INT_MIN}, {v("-99999999999999999999"), INT_MIN}, {v("000000000000000012"), 12},
      {"[PARAM]\nK=5\n", 5}, {"\t[ Param ]\t; note\r\n  k   =   5  \r\n", 5}, {"[param]\nk=5", 5},
      {"\xEF\xBB\xBF[param]\nk=5\n", 5}, {"", -1}, {"k=5\n[param]\n", -1}, {"[other]\nk=5\n[param]\n", -1},
      {"[params]\nk=5\n", -1}, {"[param\nk=5\n", -1}, {"[param]\nkk=5\nk\n=5\n", -1},
      {"[param]\nk=1\nK=2\n[PARAM]\nk=3\n", 1}, {"[param]\nj=1\n[param]\nk=2\n", -1},
      {garbage(1 << 16, 1), -1}, {garbage(1 << 16, 2) + "\n[param]\nk=5\n", 5},
      {megabyteLine + "\n[param]\nk=6\n", 6}, {"[param]\n" + megabyteLine + "=1\nk=7", 7},
      {"[param]\nk=" + std::string(1 << 20, '9'), INT_MAX}, {"[par\0am]\nk\0=1\n[param]\nk\0=2\nk=4"s, 4},
  };
  for (const auto& c : cases) {
    ASSERT_TRUE(writeBytes(path, c.file));
    EXPECT_EQ(profileReadInt(path.c_str(), "param", "k", -1), c.expected) << c.file.substr(0, 60);
  }
  for (const std::string& p : {dir + "/none/x.ini", dir, std::string()}) {
    EXPECT_EQ(profileReadInt(p.c_str(), "param", "k", -1), -1) << p;
  }
}

// Names and values that could not read back as themselves are refused, leaving the file as it was.
TEST_F(ProfileWrite, ReplacesTheFileWithOnlyTheTargetValueChanged) {
  const std::string noise = garbage(300, 3);
  const struct Case {
    std::string before, after;
    const char* section = "param";
    const char* key = "k";
    const char* value = "3";
  } cases[] = {
      {"; top\n[o]\nk=9\n[param]\nx=1\nk = 1  \nf=b\n", "; top\n[o]\nk=9\n[param]\nx=1\nk = 3  \nf=b\n"},
      {"[PARAM]\nK=-17\n", "[PARAM]\nK=3\n"}, {"[param]\nk=\n", "[param]\nk=3\n"},
      {"[param]\nk=1\n[param]\nk=2\n", "[param]\nk=3\n[param]\nk=2\n"},
      {"[param]\na=1\n\n[other]\nb=2\n", "[param]\na=1\nk=3\n\n[other]\nb=2\n"},
      {"[param]\na=1", "[param]\na=1\nk=3\n"}, {"", "[param]\nk=3\n"}, {"[o]\nb", "[o]\nb\n[param]\nk=3\n"},
      {"[o]\r\nb=2\r\n[param]\r\nk=1\r\n", "[o]\r\nb=2\r\n[param]\r\nk=3\r\n"},
      {"[param]\r\na=1\r\n\r\n[x]\r\n", "[param]\r\na=1\r\nk=3\r\n\r\n[x]\r\n"},
      {noise + "\n[param]\nk=1\n" + noise, noise + "\n[param]\nk=3\n" + noise},
      {"[param]\n\0junk\nk=5\0tail\n"s, "[param]\n\0junk\nk=3\n"s},
      {"k=1", "k=1", "param", "a=b"}, {"k=1", "k=1", "param", "a\nb"}, {"k=1", "k=1", "param", ""},
      {"k=1", "k=1", "param", " k"}, {"k=1", "k=1", "param", "[k]"}, {"k=1", "k=1", "pa]ram"},
      {"k=1", "k=1", ""}, {"k=1", "k=1", "param", "k", "1\n[x]"}, {"k=1", "k=1", "param", "k", "1\r"},
      {"k=1", "k=1", "param", "k", nullptr},
  };
  for (const Case& c : cases) {
    struct stat old, now;
    ASSERT_TRUE(writeBytes(path, c.before));
    ASSERT_EQ(stat(path.c_str(), &old), 0);
    EXPECT_EQ(profileWriteString(path.c_str(), c.section, c.key, c.value), c.after != c.before) << c.key;
    EXPECT_EQ(readBytes(path), c.after) << "before: " << c.before;
    ASSERT_EQ(stat(path.c_str(), &now), 0);
    EXPECT_EQ(now.st_ino != old.st_ino, c.after != c.before); // renamed over, never rewritten in place
    EXPECT_EQ(folderEntries(dir), Names{"p.ini"});
  }
}

TEST_F(ProfileWrite, CreatesMissingFoldersFollowsLinksAndKeepsTheMode) {
  ASSERT_TRUE(profileWriteString((dir + "/a/b/p.ini").c_str(), "param", "k", "-12"));
  EXPECT_EQ(readBytes(dir + "/a/b/p.ini"), "[param]\nk=-12\n");
  struct stat st;
  ASSERT_EQ(stat((dir + "/a/b").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  ASSERT_TRUE(writeBytes(path, "[param]\nk=1\n"));
  ASSERT_EQ(chmod(path.c_str(), 0640), 0);
  ASSERT_EQ(symlink(path.c_str(), (dir + "/link.ini").c_str()), 0);
  ASSERT_TRUE(profileWriteString((dir + "/link.ini").c_str(), "param", "k", "5"));
  EXPECT_EQ(readBytes(path), "[param]\nk=5\n"); // the link's target, not a file in the link's place
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
}

// Root passes every permission check, so only the mode bits can keep a file read-only for it.
TEST_F(ProfileWrite, FileWithoutWriteBitsStaysAsItIsForEveryUser) {
  const struct { mode_t mode; bool written; } cases[] = {
      {0444, false}, {0400, false}, {0555, false}, {0000, false}, {0600, true}, {0644, true},
  };
  ASSERT_EQ(symlink(path.c_str(), (dir + "/link.ini").c_str()), 0);
  for (const auto& c : cases) {
    for (const std::string& p : {path, dir + "/link.ini"}) {
      SCOPED_TRACE(::testing::Message() << std::oct << c.mode << ' ' << p);
      ASSERT_TRUE(writeBytes(path, "[param]\nk=1\n"));
      ASSERT_EQ(chmod(path.c_str(), c.mode), 0);
      EXPECT_EQ(profileWriteString(p.c_str(), "param", "k", "2"), c.written);
      ASSERT_EQ(chmod(path.c_str(), 0600), 0); // readable again, for the checks and the next case
      EXPECT_EQ(readBytes(path), c.written ? "[param]\nk=2\n" : "[param]\nk=1\n");
      EXPECT_EQ(folderEntries(dir), (Names{"link.ini", "p.ini"}));
    }
  }
}

// Only leftovers of this file's killed writes go: an exact temporary name on a
// regular file of ours, with one link, that no live write holds locked.
TEST_F(ProfileWrite, RemovesTemporariesOfKilledWritesAndNothingElse) {
  enum Kind { File, Locked, HardLinked, Link, Folder, Fifo, Foreign };
  const struct { const char* name; Kind kind; bool removed; } cases[] = {
      {".p.ini.a1B2c3", File, true}, {".p.ini.ZZZZZZ", File, true}, {".p.ini.abcde", File, false},
      {".p.ini.abcdefg", File, false}, {"p.ini.abcdef", File, false}, {".p.ini.ab-de_", File, false},
      {".q.ini.abcdef", File, false}, {".p.ini.live00", Locked, false}, {".p.ini.linked", HardLinked, false},
      {".p.ini.symlnk", Link, false}, {".p.ini.folder", Folder, false}, {".p.ini.fifo00", Fifo, false},
      {".p.ini.others", Foreign, false},
  };
  ASSERT_TRUE(writeBytes(dir + "/target", "target"));
  Names kept{"p.ini", "target", "hard"};
  int liveWrite = -1;
  for (const auto& c : cases) {
    const std::string p = dir + "/" + c.name;
    if (c.kind == Foreign && geteuid() != 0) continue; // only root can give a file away
    if (!c.removed) kept.insert(c.name);
    switch (c.kind) {
      case Folder: ASSERT_EQ(mkdir(p.c_str(), 0700), 0); continue;
      case Fifo: ASSERT_EQ(mkfifo(p.c_str(), 0600), 0); continue;
      case Link: ASSERT_EQ(symlink((dir + "/target").c_str(), p.c_str()), 0); continue;
      default: ASSERT_TRUE(writeBytes(p, c.name));
    }
    if (c.kind == HardLinked) {
      ASSERT_EQ(link(p.c_str(), (dir + "/hard").c_str()), 0);
    } else if (c.kind == Foreign) {
      ASSERT_EQ(chown(p.c_str(), 65534, 65534), 0);
    } else if (c.kind == Locked) {
      liveWrite = open(p.c_str(), O_RDONLY); // an open file of its own: the locks conflict
      ASSERT_EQ(flock(liveWrite, LOCK_EX), 0);
    }
  }
  EXPECT_TRUE(profileWriteString(path.c_str(), "param", "k", "1"));
  EXPECT_EQ(folderEntries(dir), kept);
  EXPECT_EQ(readBytes(dir + "/target"), "target");
  close(liveWrite);
}

// Writers killed at random moments, each while another write runs alongside,
// leave the old file or the new one whole; the next write leaves no temporary.
TEST_F(ProfileWrite, KilledWritesLeaveAWholeFileAndTheNextWriteNoTemporaries) {
  const std::string a(4096, 'a'), b(4096, 'b');
  const std::string delays = garbage(50, 9);
  for (const char delay : delays) {
    const pid_t writer = fork();
    ASSERT_GE(writer, 0);
    if (writer == 0) {
      for (int n = 0; n < 100000; ++n) {
        profileWriteString(path.c_str(), "param", "k", (n % 2 ? a : b).c_str());
      }
      _exit(0);
    }
    EXPECT_TRUE(profileWriteString(path.c_str(), "param", "k", a.c_str())); // neither takes the other's file
    usleep(static_cast<unsigned char>(delay) * 10u);
    kill(writer, SIGKILL);
    waitpid(writer, nullptr, 0);
    const std::string now = readBytes(path);
    EXPECT_TRUE(now == "[param]\nk=" + a + "\n" || now == "[param]\nk=" + b + "\n") << now.size();
  }
  EXPECT_TRUE(profileWriteString(path.c_str(), "param", "k", "1"));
  EXPECT_EQ(folderEntries(dir), Names{"p.ini"});
}

TEST_F(ProfileWrite, FailureReturnsFalseAndLeavesTheOldFileAndNoTemporaryFile) {
  const std::string old = "; keep me\n[param]\nk=1\n" + std::string(4096, 'z') + "\n";
  ASSERT_TRUE(writeBytes(path, old));
  ASSERT_EQ(mkdir((dir + "/sub").c_str(), 0700), 0);
  ASSERT_EQ(symlink((dir + "/nowhere/x.ini").c_str(), (dir + "/dangling.ini").c_str()), 0);
  // A file where a folder must be, a folder in the file's place, a dangling link, no path.
  for (const std::string& p : {path + "/x.ini", dir + "/sub", dir + "/dangling.ini", std::string()}) {
    EXPECT_FALSE(profileWriteString(p.c_str(), "param", "k", "2")) << p;
  }
  // A disk full in mid-write, even for root: past 1 KiB write() fails with EFBIG.
  rlimit saved;
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  const rlimit small{1024, saved.rlim_max};
  const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  EXPECT_FALSE(profileWriteString(path.c_str(), "param", "k", "2"));
  setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, oldHandler);
  EXPECT_EQ(readBytes(path), old);
  EXPECT_EQ(folderEntries(dir), (Names{"dangling.ini", "p.ini", "sub"}));
  EXPECT_TRUE(folderEntries(dir + "/sub").empty());
}

} // namespace
} // namespace starbloom
