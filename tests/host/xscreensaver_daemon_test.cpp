// End to end under the real XScreenSaver daemon: a fresh home without
// ~/.xscreensaver, --add-to-xscreensaver, then the daemon started in the
// test's Xvfb, told to run Starbloom's entry of the list (-select N), and
// told to stop. The daemon refuses to launch savers as root, so when the
// tests run as root everything in that home runs as "nobody" (setpriv), with
// a copy of the program the daemon can reach through PATH (where Starbloom is
// installed, XScreenSaver's own folder comes first and the installed one runs).
#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "host/x_test_server.h"

namespace starbloom {
namespace {

class XScreenSaverDaemon : public XTestServer {
 protected:
  void SetUp() override {
    XTestServer::SetUp();
    home = configHome + "/home";
    std::filesystem::create_directories(home + "/bin");
    std::filesystem::copy_file(STARBLOOM_BINARY_PATH, home + "/bin/starbloom");
    chmod(configHome.c_str(), 0755);
    if (geteuid() == 0) {
      ASSERT_EQ(std::system(("chown -R nobody:nogroup '" + home + "'").c_str()), 0);
    }
  }
  void TearDown() override {
    if (daemon > 0) {
      const std::vector<pid_t> left = starblooms();
      kill(daemon, SIGTERM);
      waitpid(daemon, nullptr, 0);
      for (const pid_t pid : left) kill(pid, SIGKILL);
    }
    XTestServer::TearDown();
  }

  // The command line that runs words in the test's home, as nobody when root.
  std::string asUser(const std::string& words) {
    const std::string user = geteuid() == 0
                                 ? "setpriv --reuid=nobody --regid=nogroup --clear-groups "
                                 : "";
    return user + "env HOME='" + home + "' DISPLAY=" + xvfb.name + " PATH='" + home +
           "/bin:/usr/bin:/bin' " + words;
  }

  // Runs words and returns their exit status, their output in output.
  int run(const std::string& words, std::string& output) {
    output.clear();
    FILE* pipe = popen((asUser(words) + " 2>&1").c_str(), "r");
    if (pipe == nullptr) return -1;
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) output += buffer;
    const int status = pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  // The parent of a process, or 0.
  static pid_t parentOf(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::size_t close = stat.rfind(')'); // the name in parentheses may hold anything
    if (close == std::string::npos) return 0;
    std::istringstream fields(stat.substr(close + 1));
    std::string state;
    pid_t parent = 0;
    fields >> state >> parent;
    return parent;
  }

  // The running Starbloom processes the daemon started, by id: the copy in
  // the test's home, or an installed one that XScreenSaver's own folder
  // (first on the PATH it gives its savers) leads to.
  std::vector<pid_t> starblooms() {
    std::vector<pid_t> found;
    DIR* proc = opendir("/proc");
    if (proc == nullptr) return found;
    while (const dirent* entry = readdir(proc)) {
      const pid_t pid = std::atoi(entry->d_name);
      if (pid <= 0 || commandLineOf(pid).rfind("starbloom --root", 0) != 0) continue;
      pid_t up = parentOf(pid);
      while (up > 1 && up != daemon) up = parentOf(up);
      if (up == daemon) found.push_back(pid);
    }
    closedir(proc);
    return found;
  }

  std::string commandLineOf(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/cmdline", std::ios::binary);
    std::string line((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    for (char& c : line) c = c == '\0' ? ' ' : c;
    return line;
  }

  std::string daemonLog() {
    std::ifstream in(configHome + "/daemon.log");
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  }

  std::string home;
  pid_t daemon = -1;
};

TEST_F(XScreenSaverDaemon, AddedEntryRunsDrawsAndStopsUnderTheDaemon) {
  std::string output;
  ASSERT_EQ(run("starbloom --add-to-xscreensaver", output), 0) << output;
  EXPECT_NE(output.find("Wrote"), std::string::npos) << output;

  // The entry's place in the list, counted from "programs:", one entry a line.
  std::ifstream preferences(home + "/.xscreensaver");
  int number = 0;
  bool inList = false, found = false;
  for (std::string line; !found && std::getline(preferences, line);) {
    if (inList) {
      ++number;
      found = line.find("starbloom --root") != std::string::npos;
    }
    inList = inList || line.rfind("programs:", 0) == 0;
  }
  ASSERT_TRUE(found) << "no Starbloom entry in the new file";
  EXPECT_GT(number, 1) << "the defaults are missing";

  daemon = fork();
  if (daemon == 0) {
    const int log = open((configHome + "/daemon.log").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(log, 1);
    dup2(log, 2);
    execl("/bin/sh", "sh", "-c", ("exec " + asUser("xscreensaver -no-splash")).c_str(), nullptr);
    _exit(127);
  }
  bool up = false;
  for (int tries = 0; tries < 50 && !up; ++tries) {
    pause(200);
    up = run("xscreensaver-command -time", output) == 0;
  }
  ASSERT_TRUE(up) << "the daemon did not answer: " << output << daemonLog();

  ASSERT_EQ(run("xscreensaver-command -select " + std::to_string(number), output), 0) << output;
  std::vector<pid_t> running;
  for (int waited = 0; waited < 20000 && running.empty(); waited += 200) {
    pause(200);
    running = starblooms();
  }
  ASSERT_EQ(running.size(), 1u) << "the daemon started no Starbloom\n" << daemonLog();
  std::error_code error;
  const auto program = std::filesystem::read_symlink("/proc/" + std::to_string(running[0]) + "/exe", error);
  std::printf("the daemon runs %s\n", program.c_str());
  int lit = 0;
  for (int shot = 0; shot < 40 && lit == 0; ++shot) {
    pause(500);
    lit = litPixels(pixels(display, DefaultRootWindow(display), 0, 100, SCREEN_W, SCREEN_H - 100));
  }
  EXPECT_GT(lit, 0) << "nothing drawn on the screen";

  ASSERT_EQ(run("xscreensaver-command -deactivate", output), 0) << output;
  for (int waited = 0; waited < 10000 && !starblooms().empty(); waited += 100) pause(100);
  EXPECT_TRUE(starblooms().empty()) << "Starbloom still runs after the daemon deactivated";
  run("xscreensaver-command -exit", output);
}

} // namespace
} // namespace starbloom
