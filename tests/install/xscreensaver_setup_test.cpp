// --add-to-xscreensaver and --remove-from-xscreensaver on sample files: one
// that xscreensaver-settings 6.06 wrote, the same with Starbloom listed twice
// (with flags, and disabled by path), with Starbloom disabled, a CRLF file
// with the list on one line, one without a list, a folder, a read-only file,
// and no file at all. What each must do is said as an edit of the sample
// (a line inserted after the list's last line, a "-" turned into a blank,
// Starbloom's lines taken out), and the result is read back with the list
// reader.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "install/xscreensaver_programs.h"
#include "install/xscreensaver_setup.h"
#include "settings/temp_folder.h"

namespace starbloom {
namespace {

std::string samplePath(const std::string& name) {
  const std::string self = __FILE__;
  return self.substr(0, self.rfind('/')) + "/xscreensaver/" + name;
}

// XScreenSaver's layout of an enabled GL entry: "GL:" at column 2, the
// command at 32, the separator at 75, and the joined line break.
const std::string STARBLOOM_LINE = "  GL: \t\t\t\tstarbloom --root\t\t\t    \\n\\\n";

enum class Change { None, LineAfterList, InlineAfterList, DashToBlank, StarbloomLinesOut, Created };

std::string expectedText(const std::string& before, Change change) {
  std::string text = before;
  switch (change) {
    case Change::None:
    case Change::Created:
      break;
    case Change::LineAfterList: // after the last line that ends with a separator and goes on
      text.insert(text.rfind("\\n\\\n") + 4, STARBLOOM_LINE);
      break;
    case Change::InlineAfterList: // after the last separator of a one-line list
      text.insert(text.rfind("\\n") + 2, " GL: starbloom --root \\n");
      break;
    case Change::DashToBlank:
      text[text.find("- GL: \t\t\t\tstarbloom")] = ' ';
      break;
    case Change::StarbloomLinesOut:
      for (std::size_t at; (at = text.find("starbloom")) != std::string::npos;) {
        const std::size_t lineStart = text.rfind('\n', at) + 1;
        text.erase(lineStart, text.find('\n', at) + 1 - lineStart);
      }
      break;
  }
  return text;
}

using XScreenSaverSetupTest = TempFolderTest;

TEST_F(XScreenSaverSetupTest, EditsTheListAndKeepsEveryOtherByte) {
  constexpr auto Add = XScreenSaverAction::Add;
  constexpr auto Remove = XScreenSaverAction::Remove;
  const struct {
    const char* sample;   // "" for no file, "/" for a folder
    bool readOnly;
    const char* defaults; // the app-defaults sample, or a missing file
    XScreenSaverAction action;
    bool ok;
    const char* says;     // in the line
    Change change;
  } cases[] = {
      {"written_by_xscreensaver", false, "app_defaults", Add, true, "Added GL: starbloom --root", Change::LineAfterList},
      {"written_by_xscreensaver", false, "app_defaults", Remove, true, "Starbloom is not in", Change::None},
      {"with_starbloom", false, "app_defaults", Add, true, "Starbloom is in the programs list", Change::None},
      {"with_starbloom", false, "app_defaults", Remove, true, "Removed 2 Starbloom entries", Change::StarbloomLinesOut},
      {"disabled_starbloom", false, "app_defaults", Add, true, "Enabled Starbloom's disabled entry", Change::DashToBlank},
      {"disabled_starbloom", false, "app_defaults", Remove, true, "Removed 1 Starbloom entry", Change::StarbloomLinesOut},
      {"crlf", false, "app_defaults", Add, true, "Added", Change::InlineAfterList},
      {"no_programs", false, "app_defaults", Add, false, "has no programs: list", Change::None},
      {"no_programs", false, "app_defaults", Remove, false, "has no programs: list", Change::None},
      {"written_by_xscreensaver", true, "app_defaults", Add, false, "cannot write", Change::None},
      {"/", false, "app_defaults", Add, false, "cannot read", Change::None},
      {"", false, "app_defaults", Add, true, "Wrote", Change::Created},
      {"", false, "app_defaults", Remove, true, "There is no", Change::None},
      {"", false, "no_such_file", Add, false, "cannot be read", Change::None},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.sample) + (c.action == Add ? " add" : " remove") +
                 (c.readOnly ? " read-only" : "") + " with " + c.defaults);
    const std::string file = dir + "/.xscreensaver";
    std::filesystem::remove_all(file);
    const std::string before = *c.sample && *c.sample != '/' ? readBytes(samplePath(c.sample)) : "";
    if (*c.sample == '/') {
      std::filesystem::create_directory(file);
    } else if (*c.sample) {
      ASSERT_TRUE(writeBytes(file, before));
      if (c.readOnly) chmod(file.c_str(), 0444);
    }
    const std::string defaultsPath = samplePath(c.defaults);
    const XScreenSaverSetup result = editXScreenSaverPreferences(c.action, file, defaultsPath.c_str());
    EXPECT_EQ(result.ok, c.ok) << result.line;
    EXPECT_NE(result.line.find(c.says), std::string::npos) << result.line;
    EXPECT_EQ(result.line.find('\n'), std::string::npos) << "one line";
    EXPECT_NE(result.line.find(file), std::string::npos) << "names the file: " << result.line;
    if (*c.sample == '/') {
      EXPECT_TRUE(std::filesystem::is_directory(file));
      continue;
    }
    const std::string after = readBytes(file);
    if (c.change == Change::Created) {
      const ProgramsList made = readProgramsList(after, "programs");
      const ProgramsList system = readProgramsList(readBytes(defaultsPath), "*programs");
      ASSERT_EQ(made.entries.size(), system.entries.size() + 1);
      EXPECT_TRUE(made.entries.back().starbloom && made.entries.back().enabled);
      EXPECT_NE(result.line.find(std::to_string(made.entries.size()) + " programs"), std::string::npos);
      continue;
    }
    EXPECT_EQ(after, *c.sample ? expectedText(before, c.change) : "<missing>");
    if (c.readOnly) {
      struct stat st;
      ASSERT_EQ(stat(file.c_str(), &st), 0);
      EXPECT_EQ(st.st_mode & 07777, 0444u);
    }
    if (c.action == Add && c.ok && c.change != Change::None && c.change != Change::DashToBlank) {
      const XScreenSaverSetup back = editXScreenSaverPreferences(Remove, file, defaultsPath.c_str());
      EXPECT_TRUE(back.ok) << back.line;
      EXPECT_EQ(readBytes(file), before) << "removing what was added gives the file back";
    }
  }
}

} // namespace
} // namespace starbloom
