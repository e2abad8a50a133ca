#include <gtest/gtest.h>

#include <climits>
#include <csignal>
#include <cstdint>
#include <string>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "settings/profile.h"
#include "temp_folder.h"

namespace starbloom {
namespace {

using namespace std::string_literals; // "\0" inside test texts

// Bytes 0..255 in a fixed pseudo-random order (xorshift), NULs, CRs and
// brackets included.
std::string garbage(std::size_t size, std::uint32_t seed) {
  std::string bytes(size, '\0');
  for (char& c : bytes) {
    seed ^= seed << 13;
    seed ^= seed >> 17;
    seed ^= seed << 5;
    c = static_cast<char>(seed & 0xff);
  }
  return bytes;
}

int readFromFile(const TempFolder& dir, const std::string& contents, const char* key, int defaultValue) {
  const std::string path = dir / "p.ini";
  EXPECT_TRUE(writeBytes(path, contents));
  return profileReadInt(path.c_str(), "param", key, defaultValue);
}

TEST(ProfileRead, ValueIsSignAndDigitsUpToTheFirstOtherCharacter) {
  TempFolder dir;
  ASSERT_TRUE(dir.ok());
  struct Case { const char* value; int expected; };
  const Case cases[] = {
      {"12abc", 12},       {"-3", -3},           {"+7", 7},           {" 9 ", 9},
      {"\t42\t", 42},      {"007", 7},           {"1 2", 1},          {"0x10", 0},
      {"x", 0},            {"-", 0},             {"+", 0},            {"- 5", 0},
      {"--5", 0},          {"", 77},             {"   ", 77},          {"2147483647", INT_MAX},
      {"2147483648", INT_MAX},  {"99999999999", INT_MAX},  {"-2147483648", INT_MIN},
      {"-2147483649", INT_MIN}, {"-99999999999999999999999", INT_MIN},
      {"000000000000000000000012", 12},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(readFromFile(dir, "[param]\nk=" + std::string(c.value) + "\n", "k", 77), c.expected)
        << "value \"" << c.value << "\"";
  }
}

TEST(ProfileRead, NamesMatchCaseInsensitivelyAndBlanksAreIgnored) {
  TempFolder dir;
  ASSERT_TRUE(dir.ok());
  const char* files[] = {
      "[param]\ntex=5\n",
      "[PARAM]\nTEX=5\n",
      "[Param]\r\ntEx=5\r\n",
      "  [ param ]  \n  tex   =   5  \n",
      "\t[param]\t; trailing text\n\ttex\t=\t5\t\n",
      "\xEF\xBB\xBF[param]\ntex=5\n",  // byte-order mark first
      "[param]\ntex=5",                // no final newline
      "[param]\r\ntex=5\r",            // a CR and then the end of the file
  };
  for (const char* file : files) EXPECT_EQ(readFromFile(dir, file, "tex", -1), 5) << file;
}

TEST(ProfileRead, MissingPiecesGiveTheDefault) {
  TempFolder dir;
  ASSERT_TRUE(dir.ok());
  const char* files[] = {
      "",
      "tex=5\n[param]\n",             // key before any section
      "[other]\ntex=5\n[param]\n",    // key in another section
      "[params]\ntex=5\n",            // a longer section name
      "[param\ntex=5\n",              // no closing bracket: not a header
      "[param]\ntexture=5\ntex\n",    // a longer key; a key without "="
      "[param]\n=5\n",
  };
  for (const char* file : files) EXPECT_EQ(readFromFile(dir, file, "tex", -1), -1) << file;

  EXPECT_EQ(profileReadInt((dir / "none.ini").c_str(), "param", "tex", -1), -1);
  EXPECT_EQ(profileReadInt((dir / "none/deeper.ini").c_str(), "param", "tex", -1), -1);
  EXPECT_EQ(profileReadInt(dir.path().c_str(), "param", "tex", -1), -1);  // a directory
  EXPECT_EQ(profileReadInt("", "param", "tex", -1), -1);
}

TEST(ProfileRead, FirstDuplicateWins) {
  TempFolder dir;
  ASSERT_TRUE(dir.ok());
  const std::string file = "[param]\nk=1\nK=2\n[PARAM]\nk=3\nj=4\n";
  EXPECT_EQ(readFromFile(dir, file, "k", -1), 1);
  // Only the first section of a name is consulted, the one writes edit too.
  EXPECT_EQ(readFromFile(dir, file, "j", -1), -1);
}

TEST(ProfileRead, SurvivesGarbageLongLinesAndNulBytes) {
  TempFolder dir;
  ASSERT_TRUE(dir.ok());
  const std::string megabyteLine(1 << 20, 'x');
  struct Case { std::string file; int expected; };
  const Case cases[] = {
      {garbage(1 << 16, 1), -1},
      {garbage(1 << 16, 2) + "\n[param]\nk=5\n", 5},
      {megabyteLine + "\n[param]\nk=6\n", 6},
      {"[param]\n" + megabyteLine + "=1\nk=7", 7},
      {"[param]\nk=" + std::string(1 << 20, '9'), INT_MAX},
      {"[param]\nk=3" + megabyteLine, 3},
      {"[param]\nk\0=1\nk=8\n"s, 8},        // a NUL makes a different key
      {"[param]\nk=9\0 2\n"s, 9},          // a NUL ends the digits
      {"[par\0am]\nk=1\n[param]\nk=4\n"s, 4},
      {"[param]\n\0\0\0\n\xff\xfe=\x80\nk=2\n"s, 2},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(readFromFile(dir, c.file, "k", -1), c.expected) << "file of " << c.file.size() << " bytes";
  }
}

TEST(ProfileRead, ParsingReportsTheDigitsTaken) {
  struct Case { const char* text; int value; std::size_t used; bool hasDigits; };
  const Case cases[] = {
      {"12abc", 12, 2, true}, {"-3", -3, 2, true}, {"+", 0, 0, false}, {"", 0, 0, false},
      {"99999999999", INT_MAX, 11, true}, {" 1", 0, 0, false},
  };
  for (const Case& c : cases) {
    const ProfileInt p = parseProfileInt(c.text, std::char_traits<char>::length(c.text));
    EXPECT_EQ(p.value, c.value) << c.text;
    EXPECT_EQ(p.used, c.used) << c.text;
    EXPECT_EQ(p.hasDigits, c.hasDigits) << c.text;
  }
}

TEST(ProfileWrite, ChangesOnlyTheTargetLine) {
  TempFolder dir;
  ASSERT_TRUE(dir.ok());
  const std::string path = dir / "p.ini";
  const std::string noise = garbage(300, 3);
  struct Case { std::string before; const char* key; std::string after; };
  const Case cases[] = {
      // In place, keeping the spelling and the blanks around the value.
      {"; top\n[other]\nk=9\n[param]\nx=1\nk = 1  \nfoo=bar\n", "k",
       "; top\n[other]\nk=9\n[param]\nx=1\nk = 3  \nfoo=bar\n"},
      {"[PARAM]\nK=-17\n", "k", "[PARAM]\nK=3\n"},
      {"[param]\nk=\n", "k", "[param]\nk=3\n"},
      {"[param]\nk=1\n[param]\nk=2\n", "k", "[param]\nk=3\n[param]\nk=2\n"},
      // Appended after the section's last non-blank line.
      {"[param]\na=1\n\n[other]\nb=2\n", "k", "[param]\na=1\nk=3\n\n[other]\nb=2\n"},
      {"[param]\na=1", "k", "[param]\na=1\nk=3\n"},
      {"[param]", "k", "[param]\nk=3\n"},
      // A new section at the end.
      {"", "k", "[param]\nk=3\n"},
      {"[other]\nb=2\n", "k", "[other]\nb=2\n[param]\nk=3\n"},
      {"[other]\nb=2", "k", "[other]\nb=2\n[param]\nk=3\n"},
      // CRLF files get CRLF lines.
      {"[other]\r\nb=2\r\n[param]\r\nk=1\r\n", "k", "[other]\r\nb=2\r\n[param]\r\nk=3\r\n"},
      {"[param]\r\na=1\r\n\r\n[x]\r\n", "k", "[param]\r\na=1\r\nk=3\r\n\r\n[x]\r\n"},
      {"[other]\r\nb=2", "k", "[other]\r\nb=2\r\n[param]\r\nk=3\r\n"},
      // Garbage and NULs around the section survive byte for byte.
      {noise + "\n[param]\nk=1\n" + noise, "k", noise + "\n[param]\nk=3\n" + noise},
      // The whole value after "=" is replaced, NULs and all.
      {"[param]\n\0junk\nk=5\0tail\n"s, "k", "[param]\n\0junk\nk=3\n"s},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(writeBytes(path, c.before));
    EXPECT_TRUE(profileWriteString(path.c_str(), "param", c.key, "3"));
    EXPECT_EQ(readBytes(path), c.after) << "before: " << c.before;
    EXPECT_EQ(folderEntries(dir.path()), std::vector<std::string>{"p.ini"});
  }
}

TEST(ProfileWrite, RefusesNamesAndValuesThatCannotReadBack) {
  TempFolder dir;
  ASSERT_TRUE(dir.ok());
  const std::string path = dir / "p.ini";
  const std::string before = "[param]\nk=1\n";
  struct Case { const char* section; const char* key; const char* value; };
  const Case cases[] = {
      {"param", "a=b", "1"}, {"param", "a\nb", "1"}, {"param", "", "1"}, {"param", " k", "1"},
      {"param", "[k]", "1"}, {"pa]ram", "k", "1"}, {"", "k", "1"},     {"param\r", "k", "1"},
      {"param", "k", "1\n[x]"}, {"param", "k", "1\r"}, {"param", "k", nullptr},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(writeBytes(path, before));
    EXPECT_FALSE(profileWriteString(path.c_str(), c.section, c.key, c.value)) << c.section << "/" << c.key;
    EXPECT_EQ(readBytes(path), before);
    EXPECT_EQ(folderEntries(dir.path()), std::vector<std::string>{"p.ini"});
  }
}

TEST(ProfileWrite, CreatesMissingFoldersAndTheFile) {
  TempFolder dir;
  ASSERT_TRUE(dir.ok());
  const std::string path = dir / "a/b/c/p.ini";
  ASSERT_TRUE(profileWriteString(path.c_str(), "param", "k", "-12"));
  EXPECT_EQ(readBytes(path), "[param]\nk=-12\n");
  EXPECT_EQ(profileReadInt(path.c_str(), "param", "k", 0), -12);
  struct stat st;
  ASSERT_EQ(stat((dir / "a/b").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
}

TEST(ProfileWrite, FailureLeavesTheOldFileAndNoTemporaryFile) {
  TempFolder dir;
  ASSERT_TRUE(dir.ok());
  const std::string old = "; keep me\n[param]\nk=1\n" + std::string(4096, 'z') + "\n";
  const std::string file = dir / "p.ini";
  const std::string folder = dir / "sub";
  ASSERT_TRUE(writeBytes(file, old));
  ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
  ASSERT_EQ(symlink((dir / "nowhere/x.ini").c_str(), (dir / "dangling.ini").c_str()), 0);

  // Folders that cannot be made, a folder in the file's place, a dangling link.
  EXPECT_FALSE(profileWriteString((file + "/x.ini").c_str(), "param", "k", "2"));
  EXPECT_FALSE(profileWriteString((file + "/deeper/x.ini").c_str(), "param", "k", "2"));
  EXPECT_FALSE(profileWriteString(folder.c_str(), "param", "k", "2"));
  EXPECT_FALSE(profileWriteString((dir / "dangling.ini").c_str(), "param", "k", "2"));
  EXPECT_FALSE(profileWriteString("", "param", "k", "2"));

  // A full disk in the middle of writing the new text, even for root: the
  // file size limit makes write() fail with EFBIG once 1 KiB is written.
  rlimit saved;
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  rlimit small = saved;
  small.rlim_cur = 1024;
  void (*oldHandler)(int) = std::signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  const bool written = profileWriteString(file.c_str(), "param", "k", "2");
  setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, oldHandler);
  EXPECT_FALSE(written);

  EXPECT_EQ(readBytes(file), old);
  EXPECT_TRUE(folderEntries(folder).empty());
  EXPECT_EQ(folderEntries(dir.path()), (std::vector<std::string>{"dangling.ini", "p.ini", "sub"}));
}

TEST(ProfileWrite, FollowsALinkAndKeepsTheFileMode) {
  TempFolder dir;
  ASSERT_TRUE(dir.ok());
  const std::string target = dir / "real.ini";
  const std::string link = dir / "link.ini";
  ASSERT_TRUE(writeBytes(target, "[param]\nk=1\n"));
  ASSERT_EQ(chmod(target.c_str(), 0640), 0);
  ASSERT_EQ(symlink(target.c_str(), link.c_str()), 0);

  ASSERT_TRUE(profileWriteString(link.c_str(), "param", "k", "5"));
  struct stat st;
  ASSERT_EQ(lstat(link.c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  ASSERT_EQ(stat(target.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  EXPECT_EQ(readBytes(target), "[param]\nk=5\n");
}

} // namespace
} // namespace starbloom
