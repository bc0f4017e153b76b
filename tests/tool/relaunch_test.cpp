// kvpanel as a program in a real X window: a change of display language through the real list writes
// DisplayLan, ends the program and starts a new one in the other language.
#include <gtest/gtest.h>

#include <QApplication>
#include <QWidget>

#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

#include "core/startup.h"
#include "panel_dialog.h"
#include "render_support.h"
#include "resources/resource_ids.h"
#include "test_env.h"
#include "tool_test.h"

namespace fs = std::filesystem;
using namespace kv::tool;

namespace {

// Runs a shell command and returns what it printed, without the last line end.
std::string Shell(const std::string& command) {
  std::string out;
  if (FILE* p = popen(command.c_str(), "r")) {
    char buf[256];
    while (fgets(buf, sizeof buf, p) != nullptr) out += buf;
    pclose(p);
  }
  while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
  return out;
}

// The id of the visible window of this title, waiting up to 20 seconds; "" when none comes.
std::string FindWindow(const std::string& title) {
  return Shell("timeout 20 xdotool search --sync --onlyvisible --name '^" + title + "$' 2>/dev/null | head -1");
}

TEST(KvpanelProgram, LanguageChangeStartsTheProgramAgainInTheOtherLanguage) {
  const char* program = std::getenv("KV_PANEL");
  const char* display = std::getenv("KV_TEST_DISPLAY");
  ASSERT_TRUE(program != nullptr && display != nullptr) << "run through ctest";
  if (Shell("command -v xdotool").empty()) GTEST_SKIP() << "xdotool is not installed";

  const fs::path dir = kvtest::EnterDirectoryStartingIn(Language::English);

  // Where the language list is: the same dialog, made here off screen, puts it there.
  int argc = 1;
  char name[] = "relaunch-test";
  char* argv[] = {name, nullptr};
  QRect list;
  {
    QApplication app(argc, argv);
    ToolProcess english = StartProgram(1033);
    PanelDialog layout_only(english);
    list = layout_only.Control(kIdLanguageList)->geometry();
  }

  kvtest::Child panel(
      [&] {
        if (chdir(dir.c_str()) != 0) return 127;
        unsetenv("QT_QPA_PLATFORM");
        setenv("DISPLAY", display, 1);
        return kvtest::Exec({program});
      },
      dir / "kvpanel-err.txt");
  setenv("DISPLAY", display, 1);
  const std::string window = FindWindow("KIRV Parameter Adjust Program");
  ASSERT_FALSE(window.empty()) << "kvpanel showed no English window";

  // Open the list with its arrow and choose the entry above English: Chinese.
  const int x = list.right() - 6, y = list.center().y();
  Shell("xdotool mousemove --window " + window + " " + std::to_string(x) + " " + std::to_string(y) + " click 1");
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  Shell("xdotool key Up Return");

  EXPECT_NE(panel.Wait(), -1) << "the program did not end after the language change";
  EXPECT_NE(kvtest::ReadWhole(dir / "KV_setting.ini").find("DisplayLan=0"), std::string::npos)
      << kvtest::ReadWhole(dir / "KV_setting.ini");

  const std::string relaunched = FindWindow("KIRV打印机参数调整程序");
  EXPECT_FALSE(relaunched.empty()) << "no new program in Chinese";
  if (!relaunched.empty()) {
    const std::string new_pid = Shell("xdotool getwindowpid " + relaunched);
    if (!new_pid.empty()) kill(static_cast<pid_t>(std::stol(new_pid)), SIGTERM);
  }
  kvtest::LeaveDirectory(dir);
}

}  // namespace
