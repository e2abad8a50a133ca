#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

namespace starbloom {
namespace {

struct Result {
  int status = -1;
  std::string output; // stdout and stderr together
};

// Runs the program with a private, empty settings folder. In a sanitizer
// build the program is leak-checked at exit like the tests themselves: it
// inherits their environment, the leak suppressions included, and a leak
// report makes it exit non-zero with more than one line of output.
Result runProgram(const std::string& arguments, const std::string& configHome) {
  const std::string command =
      "XDG_CONFIG_HOME='" + configHome + "' " STARBLOOM_BINARY_PATH " " + arguments + " 2>&1";
  Result result;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return result;
  char buffer[512];
  while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) result.output += buffer;
  const int status = pclose(pipe);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool exists(const std::string& path) {
  struct stat info{};
  return stat(path.c_str(), &info) == 0;
}

class RenderCli : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/starbloom-cli-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir = pattern;
  }
  void TearDown() override { std::system(("rm -rf '" + dir + "'").c_str()); }
  std::string dir;
};

TEST_F(RenderCli, SameSeedGivesTheSameBytesAndTheFiguresLine) {
  const std::string a = dir + "/a.png", b = dir + "/b.png";
  const Result first = runProgram("--render " + a + " --seconds 2 --seed 1", dir);
  ASSERT_EQ(first.status, 0) << first.output;
  const Result second = runProgram("--render " + b + " --seconds 2 --seed 1", dir);
  ASSERT_EQ(second.status, 0) << second.output;
  const std::string pa = readFile(a), pb = readFile(b);
  ASSERT_GT(pa.size(), 8u);
  EXPECT_EQ(pa.substr(1, 3), "PNG");
  EXPECT_TRUE(pa == pb) << "the two pictures differ";
  for (const char* key : {"frames=120 ", "launches=", "peak_particles=", "update_ms_mean=",
                          "update_ms_p95=", "draw_ms_mean=", "draw_ms_p95="}) {
    EXPECT_NE(first.output.find(key), std::string::npos) << key << " in " << first.output;
  }
  // Later in the run, with fireworks in the sky, the seed decides the picture.
  const std::string c = dir + "/c.png";
  runProgram("--render " + a + " --seconds 5 --seed 1 --size 320x240", dir);
  const Result other = runProgram("--render " + c + " --seconds 5 --seed 2 --size 320x240", dir);
  ASSERT_EQ(other.status, 0) << other.output;
  EXPECT_TRUE(readFile(c) != readFile(a)) << "another seed gave the same picture";
}

TEST_F(RenderCli, BadArgumentsFailWithOneLineAndLeaveNoPicture) {
  const std::string out = dir + "/bad.png";
  const std::string cases[] = {
      "--render " + out + " --size 0x720",
      "--render " + out + " --size 100000x100000",
      "--render " + out + " --frobnicate",
      "--render " + out + " --set nosuchkey=1",
      "--render " + out + " --set detail=12abc",
      "--render " + dir + "/missing-folder/x.png --seconds 0.1",
      "--render " + dir + " --seconds 0.1", // a folder, not a file
  };
  for (const std::string& args : cases) {
    const Result r = runProgram(args, dir);
    EXPECT_NE(r.status, 0) << args;
    EXPECT_NE(r.output.find("starbloom: "), std::string::npos) << args << ": " << r.output;
    EXPECT_EQ(r.output.find('\n'), r.output.size() - 1) << args << ": " << r.output;
    EXPECT_FALSE(exists(out)) << args;
  }
  // Nothing temporary is left in the folder either.
  const Result listing = runProgram("--version", dir);
  EXPECT_EQ(listing.status, 0);
  EXPECT_NE(listing.output.find("Starbloom " STARBLOOM_VERSION "\n"), std::string::npos);
  EXPECT_NE(listing.output.find("Firework screen saver (OpenGL)"), std::string::npos);
  FILE* ls = popen(("ls -A '" + dir + "'").c_str(), "r");
  char name[256];
  std::string names;
  while (std::fgets(name, sizeof name, ls) != nullptr) names += name;
  pclose(ls);
  EXPECT_EQ(names, "") << names;
}

} // namespace
} // namespace starbloom
