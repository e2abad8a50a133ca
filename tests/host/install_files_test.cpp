// The files installed next to the program: the XScreenSaver hack
// description (every "--set KEY=VALUE" it can pass is taken by the program's
// own parser, lands in that key's range, and its defaults are the program's
// defaults, since XScreenSaver passes nothing for a control left at its
// default), the desktop entry, the manual page (groff finds nothing to warn
// about, and it names every switch and option that --help shows), the icons,
// and the preview and banner pictures compiled in. The hack description's
// sliders and check boxes offer what the settings dialogs offer for the same
// key: the same range and the same default.
// The data files are read from the source tree found through __FILE__.
#include <gtest/gtest.h>
#include <stb_image.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "host/command_line.h"
#include "resources/resource_data.h"
#include "settings/config_dialog_model.h"
#include "settings/settings_store.h"

namespace starbloom {
namespace {

std::string sourcePath(const std::string& relative) {
  const std::string self = __FILE__;
  const std::string tail = "tests/host/install_files_test.cpp";
  return self.substr(0, self.size() - tail.size()) + relative;
}

std::string readSource(const std::string& relative) {
  std::ifstream in(sourcePath(relative), std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

struct Tag {
  std::string name;
  std::map<std::string, std::string> attributes;
};

// The opening and empty-element tags of an XML text, in order; enough for a
// hack description, which has no entities or '>' inside attribute values.
std::vector<Tag> openingTags(const std::string& xml) {
  static const std::regex tagPattern(R"(<([A-Za-z_][-\w]*)([^>]*)>)");
  static const std::regex attributePattern(R"(([A-Za-z_][-\w]*)\s*=\s*"([^"]*)\")");
  std::vector<Tag> tags;
  const std::sregex_iterator end;
  for (auto t = std::sregex_iterator(xml.begin(), xml.end(), tagPattern); t != end; ++t) {
    Tag tag;
    tag.name = (*t)[1];
    const std::string rest = (*t)[2];
    for (auto a = std::sregex_iterator(rest.begin(), rest.end(), attributePattern); a != end; ++a) {
      tag.attributes[(*a)[1]] = (*a)[2];
    }
    tags.push_back(tag);
  }
  return tags;
}

std::string attributeOf(const Tag& tag, const char* name) {
  const auto it = tag.attributes.find(name);
  return it == tag.attributes.end() ? std::string() : it->second;
}

// What one control can put on the command line.
struct Control {
  std::string kind;                // boolean, number or select
  std::vector<std::string> args;   // each argument it can pass
  std::vector<int> argValues;      // the value each argument stands for
  int defaultValue = 0;            // the value that passes nothing (not for select)
  int low = 0, high = 0;           // numbers only
  int silentOptions = 0;           // select: options without arg-set
};

std::map<std::string, Control> controlsOf(const std::vector<Tag>& tags) {
  std::map<std::string, Control> controls;
  std::string select; // the select whose options follow
  for (const Tag& tag : tags) {
    auto attr = [&](const char* name) { return attributeOf(tag, name); };
    if (tag.name == "boolean") {
      Control& c = controls[attr("id")];
      c.kind = tag.name;
      const bool onByDefault = !attr("arg-unset").empty();
      c.defaultValue = onByDefault ? 1 : 0;
      c.args.push_back(onByDefault ? attr("arg-unset") : attr("arg-set"));
      c.argValues.push_back(onByDefault ? 0 : 1);
    } else if (tag.name == "number") {
      Control& c = controls[attr("id")];
      c.kind = tag.name;
      c.low = std::stoi(attr("low"));
      c.high = std::stoi(attr("high"));
      c.defaultValue = std::stoi(attr("default"));
      for (int v : {c.low, c.defaultValue, c.high}) {
        std::string arg = attr("arg");
        const std::size_t percent = arg.find('%');
        if (percent != std::string::npos) arg.replace(percent, 1, std::to_string(v));
        c.args.push_back(arg);
        c.argValues.push_back(v);
      }
    } else if (tag.name == "select") {
      select = attr("id");
      controls[select].kind = tag.name;
    } else if (tag.name == "option") {
      Control& c = controls[select];
      const std::string arg = attr("arg-set");
      if (arg.empty()) {
        ++c.silentOptions;
        continue;
      }
      c.args.push_back(arg);
      c.argValues.push_back(std::stoi(arg.substr(arg.find('=') + 1)));
    }
  }
  return controls;
}

// The keys the hack description offers, with the range each lands in.
// Booleans keep one bit, detail and ttime are clamped by the program, lcolor
// names four colours; the program takes any spread, airreg and gamma.
struct Offered {
  const char* key;
  int low;
  int high;
};
constexpr Offered OFFERED[] = {
    {"tex", 0, 1},     {"blight", 0, 1},       {"blur", 0, 1},     {"flash", 0, 1},
    {"move", 0, 1},    {"diffuse", 0, 1},      {"land", 0, 1},     {"fog", 0, 1},
    {"lens", 0, 1},    {"flash_effect", 0, 1}, {"multipass", 0, 1}, {"ttime", 5, 20},
    {"detail", 1, 4},  {"lcolor", 0, 3},       {"spread", INT_MIN, INT_MAX},
    {"airreg", INT_MIN, INT_MAX},              {"gamma", INT_MIN, INT_MAX},
};

TEST(InstallFiles, HackDescriptionPassesSettingsTheProgramTakes) {
  const std::vector<Tag> tags = openingTags(readSource("data/starbloom.xml"));
  ASSERT_FALSE(tags.empty()) << "cannot read " << sourcePath("data/starbloom.xml");
  EXPECT_EQ(tags[0].name, "screensaver");
  EXPECT_EQ(attributeOf(tags[0], "name"), "starbloom");
  EXPECT_EQ(attributeOf(tags[0], "gl"), "yes");
  ASSERT_GT(tags.size(), 1u);
  EXPECT_EQ(tags[1].name, "command");
  EXPECT_EQ(attributeOf(tags[1], "arg"), "--root");

  const std::map<std::string, Control> controls = controlsOf(tags);
  EXPECT_EQ(controls.size(), std::size(OFFERED));
  for (const Offered& row : OFFERED) {
    SCOPED_TRACE(row.key);
    const auto found = controls.find(row.key);
    ASSERT_NE(found, controls.end()) << "no control for this key";
    const Control& c = found->second;
    const SettingEntry* entry = findSetting(row.key);
    ASSERT_NE(entry, nullptr);
    if (c.kind == "select") {
      // The option that passes nothing stands for the program's default; with
      // the others, every value of the range is offered once.
      EXPECT_EQ(c.silentOptions, 1);
      std::set<int> values(c.argValues.begin(), c.argValues.end());
      values.insert(entry->defaultValue);
      EXPECT_EQ(values.size(), c.argValues.size() + 1);
      EXPECT_EQ(values.size(), static_cast<std::size_t>(row.high - row.low + 1));
      EXPECT_EQ(*values.begin(), row.low);
    } else {
      EXPECT_EQ(c.defaultValue, entry->defaultValue) << "a control at its default passes nothing";
    }
    if (c.kind == "number" && entry->clamped) {
      EXPECT_EQ(c.low, entry->rangeMin);
      EXPECT_EQ(c.high, entry->rangeMax);
    }
    ASSERT_FALSE(c.args.empty());
    for (std::size_t i = 0; i < c.args.size(); ++i) {
      SCOPED_TRACE(c.args[i]);
      EXPECT_EQ(c.args[i], "--set " + std::string(row.key) + "=" + std::to_string(c.argValues[i]));
      Settings s;
      std::string error;
      ASSERT_TRUE(applySettingOverride(s, c.args[i].substr(6).c_str(), error)) << error;
      const int stored = settingValue(s, *entry);
      EXPECT_EQ(stored, c.argValues[i]) << "the program changes the value it was given";
      EXPECT_GE(stored, row.low);
      EXPECT_LE(stored, row.high);
    }
  }
}

// The hack description's sliders and check boxes offer what the settings
// dialogs offer: the setting's range, and its key default (a control left at
// its default passes nothing, and the program then starts from the key
// default, even where a dialog's "Default" departs from it).
TEST(InstallFiles, HackDescriptionOffersWhatTheDialogsOffer) {
  const std::vector<Tag> tags = openingTags(readSource("data/starbloom.xml"));
  int checked = 0;
  for (const Tag& tag : tags) {
    const bool isSlider = tag.name == "number" && attributeOf(tag, "type") == "slider";
    if (!isSlider && tag.name != "boolean") continue;
    const std::string key = attributeOf(tag, "id");
    SCOPED_TRACE(tag.name + " " + key);
    ++checked;
    const SettingEntry* entry = findSetting(key.c_str());
    ASSERT_NE(entry, nullptr);
    EXPECT_NE(entry->dialog, SettingDialog::Unshown) << "no dialog offers this key";
    int low = 0, high = 1, defaultValue = attributeOf(tag, "arg-unset").empty() ? 0 : 1;
    if (isSlider) {
      low = std::stoi(attributeOf(tag, "low"));
      high = std::stoi(attributeOf(tag, "high"));
      defaultValue = std::stoi(attributeOf(tag, "default"));
    }
    EXPECT_EQ(low, entry->rangeMin) << "low end";
    EXPECT_EQ(high, entry->rangeMax) << "high end";
    EXPECT_EQ(defaultValue, entry->defaultValue) << "default";
  }
  EXPECT_GT(checked, 0) << "no controls read from " << sourcePath("data/starbloom.xml");
}

// The manual page's list of settings and the settings fuzz dictionary name
// the table's keys, in its order; each manual entry gives the key's default
// and the range the dialogs offer.
TEST(InstallFiles, ManualPageAndFuzzDictionaryListTheSettingsTable) {
  const std::string page = readSource("data/starbloom.6");
  const std::size_t begin = page.find("\n.SH SETTINGS\n");
  ASSERT_NE(begin, std::string::npos) << "no SETTINGS section in " << sourcePath("data/starbloom.6");
  const std::string section = page.substr(begin + 1, page.find("\n.SH ", begin + 1) - begin);
  static const std::regex entryPattern(R"(\.TP\n\.B (\w+)\n((?:[^.][^\n]*\n)+))");
  std::vector<std::string> manualKeys;
  std::map<std::string, std::string> manualText;
  const std::sregex_iterator end;
  for (auto m = std::sregex_iterator(section.begin(), section.end(), entryPattern); m != end; ++m) {
    manualKeys.push_back((*m)[1]);
    manualText[(*m)[1]] = std::regex_replace((*m)[2].str(), std::regex("\n"), " ");
  }
  std::vector<std::string> dictionaryKeys;
  std::istringstream dictionary(readSource("fuzz/dict/settings.dict"));
  static const std::regex keyToken("^\"(\\w+)=\"$");
  for (std::string line; std::getline(dictionary, line);) {
    std::smatch m;
    if (std::regex_match(line, m, keyToken)) dictionaryKeys.push_back(m[1]);
  }
  std::vector<std::string> tableKeys;
  for (const SettingEntry& e : SETTING_TABLE) tableKeys.push_back(e.key);
  EXPECT_EQ(manualKeys, tableKeys);
  EXPECT_EQ(dictionaryKeys, tableKeys);

  for (const SettingEntry& e : SETTING_TABLE) {
    const std::string& text = manualText[e.key];
    SCOPED_TRACE(std::string(e.key) + ": " + text);
    EXPECT_TRUE(std::regex_search(text, std::regex("\\bdefault " + std::to_string(e.defaultValue) + "\\b")));
    if (e.dialog == SettingDialog::Unshown) continue;
    const std::string lo = std::to_string(e.rangeMin), hi = std::to_string(e.rangeMax);
    // "0 or 1", "5 to 20", or each value named: "1 low, ... 4 maximum".
    const std::string range = e.kind == SettingKind::OnOff ? "0 or 1"
                                                           : "(" + lo + " to " + hi + "|" + lo + " \\w+, .*\\b" + hi + " \\w+)";
    EXPECT_TRUE(std::regex_search(text, std::regex("\\b" + range + "[;,]")));
  }
}

TEST(InstallFiles, DesktopEntryHasTheRequiredKeys) {
  std::istringstream lines(readSource("data/starbloom.desktop"));
  std::string line, group;
  std::map<std::string, std::string> keys;
  while (std::getline(lines, line)) {
    if (line.empty() || line[0] == '#') continue;
    if (line[0] == '[') {
      if (group.empty()) group = line;
      continue;
    }
    const std::size_t equals = line.find('=');
    if (equals != std::string::npos) keys[line.substr(0, equals)] = line.substr(equals + 1);
  }
  EXPECT_EQ(group, "[Desktop Entry]");
  const struct {
    const char* key;
    const char* value; // nullptr: any non-empty value
  } required[] = {
      {"Type", "Application"}, {"Name", "Starbloom"}, {"Exec", "starbloom"}, {"Icon", "starbloom"},
      {"Comment", "Firework screen saver (OpenGL)"}, {"Categories", nullptr},
  };
  for (const auto& row : required) {
    SCOPED_TRACE(row.key);
    ASSERT_EQ(keys.count(row.key), 1u);
    if (row.value) {
      EXPECT_EQ(keys[row.key], row.value);
    } else {
      EXPECT_FALSE(keys[row.key].empty());
    }
  }
}

// What a shell command prints on stdout (stderr too when asked).
std::string commandOutput(const std::string& command) {
  std::string output;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return output;
  char buffer[4096];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) output.append(buffer, n);
  pclose(pipe);
  return output;
}

// The switches and options --help lists: the words that start its entry
// lines ("  -root, --root   ...", "  /p ID, /l ID   ..."), up to the description.
std::set<std::string> helpOptions() {
  static const std::regex entry(R"(^  ([-/][^ ]*(?: [^ ,]+)?(?:, [-/][^ ]*(?: [^ ,]+)?)*)(?:  |$))");
  std::set<std::string> options;
  std::istringstream lines(usageText());
  for (std::string line; std::getline(lines, line);) {
    std::smatch m;
    if (!std::regex_search(line, m, entry)) continue;
    std::istringstream items(m[1].str());
    for (std::string item; std::getline(items, item, ',');) {
      std::istringstream words(item);
      std::string word;
      words >> word;
      options.insert(word);
    }
  }
  return options;
}

TEST(InstallFiles, ManualPageIsCleanAndNamesEveryOptionOfHelp) {
  const std::string page = sourcePath("data/starbloom.6");
  EXPECT_EQ(commandOutput("groff -man -ww -z '" + page + "' 2>&1"), "") << "groff warns";
  // One long line per paragraph and no hyphenation, so that no option is broken.
  const std::string text =
      commandOutput("groff -man -Tascii -rLL=400n -rHY=0 -P-c -P-b -P-u '" + page + "' 2>/dev/null");
  ASSERT_NE(text.find("STARBLOOM(6)"), std::string::npos) << "groff gave no page";
  const std::set<std::string> options = helpOptions();
  EXPECT_GE(options.size(), 20u) << "too few options read from --help";
  static const std::regex wordEnd(R"([^-A-Za-z0-9])");
  for (const std::string& option : options) {
    SCOPED_TRACE(option);
    bool found = false;
    for (std::size_t at = text.find(option); at != std::string::npos && !found;
         at = text.find(option, at + 1)) {
      const std::size_t end = at + option.size();
      const bool startsWord = at == 0 || std::string(" ([|,").find(text[at - 1]) != std::string::npos;
      found = startsWord && (end == text.size() || std::regex_match(text.substr(end, 1), wordEnd));
    }
    EXPECT_TRUE(found) << "not in the manual page";
  }
}

TEST(InstallFiles, MetainfoShowsTheReadmePictureAndThePicturesAreSmall) {
  std::smatch readme, metainfo;
  const std::string readmeText = readSource("README.md");
  const std::string metainfoText = readSource("data/io.github.starbloom.Starbloom.metainfo.xml");
  ASSERT_TRUE(std::regex_search(readmeText, readme, std::regex(R"(!\[[^\]]*\]\((docs/[^)]+\.png)\))")));
  ASSERT_TRUE(std::regex_search(metainfoText, metainfo, std::regex(R"(<image[^>]*>https://\S+/(docs/[^<]+)</image>)")));
  EXPECT_EQ(metainfo[1].str(), readme[1].str()) << "the software centres' screenshot is the README's picture";
  EXPECT_EQ(readmeText.find("!["), static_cast<std::size_t>(readme.position(0))) << "the README opens with it";
  for (const std::string name : {"sky", "fog", "maximum", "red-land"}) {
    const std::string path = "docs/starbloom-" + name + ".png";
    SCOPED_TRACE(path);
    const std::string bytes = readSource(path);
    EXPECT_GT(bytes.size(), 0u);
    EXPECT_LT(bytes.size(), 400u * 1024u);
    EXPECT_NE(readmeText.find("--render " + path + " "), std::string::npos) << "the README gives its command";
  }
}

struct Picture {
  int width = 0;
  int height = 0;
  int channels = 0; // in the file
  std::vector<unsigned char> pixels; // 4 bytes a pixel, RGBA
};

Picture decode(const unsigned char* bytes, std::size_t size) {
  Picture p;
  unsigned char* data = stbi_load_from_memory(bytes, static_cast<int>(size), &p.width, &p.height,
                                              &p.channels, 4);
  if (data) {
    p.pixels.assign(data, data + static_cast<std::size_t>(p.width * p.height) * 4u);
    stbi_image_free(data);
  }
  return p;
}

std::size_t colourCount(const Picture& p) {
  std::set<unsigned> colours;
  for (std::size_t i = 0; i < p.pixels.size(); i += 4) {
    colours.insert(p.pixels[i] << 16 | p.pixels[i + 1] << 8 | p.pixels[i + 2]);
  }
  return colours.size();
}

TEST(InstallFiles, PreviewPictureIsAPaletteFlowerOnBlack) {
  const ResourceData* resource = findResource(105);
  ASSERT_NE(resource, nullptr);
  const Picture p = decode(resource->bytes, resource->size);
  ASSERT_EQ(p.width, 100);
  ASSERT_EQ(p.height, 100);

  EXPECT_LE(colourCount(p), 256u);

  for (const int at : {0, 99, 9900, 9999}) {
    const unsigned char* px = &p.pixels[static_cast<std::size_t>(at) * 4u];
    EXPECT_LE(std::max({px[0], px[1], px[2]}), 8) << "corner pixel " << at;
  }

  const struct {
    const char* name;
    bool (*is)(int r, int g, int b);
    int atLeast; // pixels
  } hues[] = {
      {"violet", [](int r, int g, int b) { return b > g + 80 && r > g + 40; }, 300},
      {"green", [](int r, int g, int b) { return g > r + 60 && g > b + 60; }, 200},
      {"white", [](int r, int g, int b) { return std::min({r, g, b}) >= 230; }, 5},
  };
  for (const auto& hue : hues) {
    int count = 0;
    for (std::size_t i = 0; i < p.pixels.size(); i += 4) {
      if (hue.is(p.pixels[i], p.pixels[i + 1], p.pixels[i + 2])) ++count;
    }
    EXPECT_GE(count, hue.atLeast) << hue.name;
  }
}

// The pixels of a picture that pass a colour test: how many, where on
// average, and the lowest row; those inside a rectangle are counted apart.
struct Found {
  int count = 0;
  double meanX = 0.0;
  double meanY = 0.0;
  int bottom = -1;
  int inside = 0;
};

struct Area {
  int left, top, right, bottom; // pixels, right and bottom excluded
};

Found findPixels(const Picture& p, bool (*is)(int r, int g, int b), Area area) {
  Found f;
  for (int y = 0; y < p.height; ++y) {
    for (int x = 0; x < p.width; ++x) {
      const unsigned char* px = &p.pixels[static_cast<std::size_t>(y * p.width + x) * 4u];
      if (!is(px[0], px[1], px[2])) continue;
      ++f.count;
      f.meanX += x;
      f.meanY += y;
      f.bottom = std::max(f.bottom, y);
      if (x >= area.left && x < area.right && y >= area.top && y < area.bottom) ++f.inside;
    }
  }
  if (f.count > 0) {
    f.meanX /= f.count;
    f.meanY /= f.count;
  }
  return f;
}

TEST(InstallFiles, BannerPictureIsAPaletteBurstUnderTitleAndCredit) {
  const ResourceData* resource = findResource(121);
  ASSERT_NE(resource, nullptr);
  ASSERT_GT(resource->size, 25u);
  EXPECT_EQ(resource->bytes[25], 3) << "PNG colour type: palette";
  const Picture p = decode(resource->bytes, resource->size);
  ASSERT_EQ(p.width, 256);
  ASSERT_EQ(p.height, 128);
  EXPECT_LE(colourCount(p), 256u);

  for (const int at : {0, 255, 127 * 256, 128 * 256 - 1}) {
    const unsigned char* px = &p.pixels[static_cast<std::size_t>(at) * 4u];
    EXPECT_LE(std::max({px[0], px[1], px[2]}), 8) << "corner pixel " << at;
  }

  const Area whole{0, 0, 256, 128};
  // The title: green letters along the top, from the left edge.
  const Found green = findPixels(
      p, [](int r, int g, int b) { return g > r + 60 && g > b + 60; }, Area{0, 0, 128, 40});
  EXPECT_GE(green.count, 1000);
  EXPECT_GE(green.inside, green.count / 2) << "title starts at the top left";
  EXPECT_LT(green.meanX, 128.0) << "title to the left";
  EXPECT_LT(green.bottom, 40) << "title in the top third";

  // The burst: blue and violet streaks about a centre right of the middle.
  const Found blue = findPixels(
      p, [](int r, int g, int b) { return b > r + 60 && b > g + 60; }, whole);
  const Found violet = findPixels(
      p, [](int r, int g, int b) { return b > g + 80 && r > g + 40; }, whole);
  EXPECT_GE(blue.count, 600);
  EXPECT_GE(violet.count, 250);
  const double burstX = (blue.meanX * blue.count + violet.meanX * violet.count) /
                        std::max(1, blue.count + violet.count);
  const double burstY = (blue.meanY * blue.count + violet.meanY * violet.count) /
                        std::max(1, blue.count + violet.count);
  EXPECT_GT(burstX, 140.0);
  EXPECT_LT(burstX, 190.0);
  EXPECT_GT(burstY, 40.0);
  EXPECT_LT(burstY, 90.0);

  // The credit: light blue letters along the bottom, to the right.
  const Found credit = findPixels(
      p,
      [](int r, int g, int b) { return std::abs(r - 160) <= 24 && std::abs(g - 210) <= 24 && b >= 230; },
      Area{64, 104, 256, 128});
  EXPECT_GE(credit.inside, 120) << "credit along the bottom";
  EXPECT_GE(credit.inside * 10, credit.count * 8) << "most light blue is the credit";
  EXPECT_GT(credit.meanX, 140.0) << "credit to the right";
}

TEST(InstallFiles, IconsHaveTheirSizesAndAClearBackground) {
  for (const int size : {32, 128}) {
    const std::string path = "resources/icons/starbloom-" + std::to_string(size) + ".png";
    SCOPED_TRACE(path);
    const std::string bytes = readSource(path);
    const Picture p = decode(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
    ASSERT_EQ(p.width, size);
    ASSERT_EQ(p.height, size);
    EXPECT_EQ(p.channels, 4);
    EXPECT_EQ(p.pixels[3], 0) << "top left corner is transparent";
  }
}

} // namespace
} // namespace starbloom
