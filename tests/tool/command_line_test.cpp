// kvpanel from scripts: the real program, with no display and no Qt platform plugin, against the test
// spooler (every row of the shared cases runs through it in web_pages_test.py).
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "capture.h"
#include "command_line.h"
#include "delivery_printers.h"
#include "kv/platform/profile.h"
#include "options.h"
#include "posix_process.h"
#include "resources/resource_ids.h"
#include "resources/strings.h"
#include "test_env.h"
#include "tool_test.h"

namespace {

using namespace kv::tool;
using kvtest::ReadWhole;
namespace fs = std::filesystem;

struct Outcome {
  int code = -1;
  std::string out;
  std::string err;
};

// The test spooler stopped for the life of the object: it takes connections and answers nothing.
class StoppedSpooler {
 public:
  StoppedSpooler() : pid_(kvtest::SpoolerPid()) { EXPECT_TRUE(pid_ > 0 && kill(pid_, SIGSTOP) == 0); }
  ~StoppedSpooler() {
    if (pid_ > 0) kill(pid_, SIGCONT);
  }

 private:
  pid_t pid_;
};

class CommandLineTest : public kvtest::ToolTest {
 protected:
  // Runs kvpanel with these arguments in the test's folder, without a display or a Qt platform
  // plugin (the dialog could not start), and gives it up to a minute to end.
  Outcome Panel(const std::vector<std::string>& args, const std::string& cups_server = "") {
    const char* program = std::getenv("KV_PANEL");
    EXPECT_NE(program, nullptr) << "run through ctest";
    if (program == nullptr) return {};
    auto quoted = [](const std::string& s) { return "'" + s + "'"; };  // no argument holds a quote
    std::string command =
        "env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=kv-no-such-platform "
        "QT_PLUGIN_PATH=/nonexistent ";
    if (!cups_server.empty()) command += "CUPS_SERVER=" + quoted(cups_server) + " ";
    command += "timeout -s KILL 60 " + quoted(program);
    for (const std::string& a : args) command += " " + quoted(a);
    const fs::path out = dir_ / "out.txt", err = dir_ / "err.txt";
    const int status = std::system((command + " >" + quoted(out.string()) + " 2>" + quoted(err.string())).c_str());
    Outcome run;
    run.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    EXPECT_NE(run.code, 128 + SIGKILL) << "kvpanel did not end";
    run.out = ReadWhole(out);
    run.err = ReadWhole(err);
    return run;
  }
};

// A command of each kind, its bytes and what it stores; an option is named by its short key, its stored
// key or its name in either language.
TEST_F(CommandLineTest, CommandsSendAndStore) {
  const std::string test_file = "N\r\n" + kvtest::Bytes(30000, 4) + "W1,1\r\n";
  kvtest::WriteWhole(dir_ / "TestCmd.txt", test_file);
  const std::vector<std::string> tear_off = {"#UM>FD150\r\n"};
  const struct {
    std::vector<std::string> args;
    std::vector<std::string> jobs;
    std::string stored;  // KEY=value: the value stored under the key in the printer's section
  } rows[] = {
      {{"--printer", "KIRV_R5", "--set", "tear-off", "18.76"}, tear_off, ""},
      {{"--printer", "KIRV R5", "--set", "FD", "18.76"}, tear_off, "FD=150"},
      {{"--printer", "KIRV R5", "--set", "fd", "18.76"}, tear_off, ""},
      {{"--printer", "KIRV R5", "--set", "Adjust Tear-Off position", "18.76"}, tear_off, ""},
      {{"--printer", "KIRV R5", "--set", "撕纸位置调整", "18.76"}, tear_off, ""},
      {{"--printer", "KIRV R5i", "--set", "label-length", "300mm"}, {"#UM>DM0300\r\n"}, "DM=300"},
      {{"--printer", "KIRV R5", "--set", "self-test"}, {"U\r\n"}, ""},
      {{"--printer", "KIRV R5", "--set", "direction", "reverse"}, {"#UM>DI0\r\n^@\r\n"}, "DI=0"},
      {{"--printer", "KIRV R5", "--set", "network", "10.0.0.5,255.255.255.0,10.0.0.1"},
       {"#UM>IA10.0.0.5\r\n", "#UM>MK255.255.255.0\r\n", "#UM>GT10.0.0.1\r\n"},
       "IA=10.0.0.5"},
      {{"--printer", "KIRV R5i", "--reset", "--yes"}, {"#UM>IF\r\n"}, "FD=220"},
      {{"--printer", "KIRV R5", "--test-file"}, {test_file}, ""},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(::testing::PrintToString(row.args));
    const Outcome run = Panel(row.args);
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(run.err, "");
    for (const std::string& job : row.jobs)
      EXPECT_TRUE(NextJob() == job) << "not the job of " << job.size() << " bytes";
    if (!row.stored.empty()) {
      const std::size_t eq = row.stored.find('=');
      EXPECT_EQ(Stored(row.args[1], row.stored.substr(0, eq)), row.stored.substr(eq + 1));
    }
  }
  EXPECT_EQ(JobsBeforeMarker(), 0u) << "no more jobs than these";
}

TEST_F(CommandLineTest, BadArgumentsSendNothing) {
  kvtest::WriteWhole(dir_ / "KV_setting.ini", "[Setting]\r\nDisplayLan=1\r\n");
  const struct {
    std::vector<std::string> args;
    bool usage;  // an argument the command line does not take: the usage follows the message
  } cases[] = {
      {{"--list", "--bogus"}, true},
      {{"-x", "--list"}, true},
      {{"--list", "--options"}, true},
      {{"--language", "fr", "--list"}, true},
      {{"--status"}, true},
      {{"--status", "KIRV R5\n"}, true},
      {{"--set", "darkness", "5"}, false},
      {{"--printer", "KIRV R5", "--set", "no-such-option", "5"}, false},
      {{"--printer", "KIRV R5", "--set", "darkness"}, false},
      {{"--printer", "KIRV R5", "--set", "tear-off", "1.00000009"}, false},
      {{"--printer", "KIRV R5", "--set", "direction", "sideways"}, false},
      {{"--printer", "KIRV R5", "--set", "direction"}, false},
      {{"--printer", "KIRV R5", "--set", "self-test", "5"}, false},
      {{"--printer", "KIRV R5", "--reset"}, false},
      {{"--printer", "KIRV R5", "--test-file"}, false},
      {{"--printer", "Office Laser", "--set", "darkness", "5"}, false},
      {{"--printer", "No Such Printer", "--set", "darkness", "5"}, false},
      // Values the option does not take (each value check's own cases: ValueChecks.EachTakesItsShapeAndNothingElse).
      {{"--printer", "KIRV R5", "--set", "darkness", "5abc"}, false},
      {{"--printer", "KIRV R5", "--set", "darkness", "5\r\nP9"}, true},
      {{"--printer", "KIRV R5", "--set", "network", "1\r\nP9\r\n,255.255.255.0,192.168.1.1"}, true},
      {{"--printer", "KIRV R5", "--set", "y-offset", "-26"}, false},        // beyond the range
      {{"--printer", "KIRV R5", "--set", "speed", "123456789012"}, false},  // longer than the field
  };
  for (const auto& [args, usage] : cases) {
    SCOPED_TRACE(::testing::PrintToString(args));
    const Outcome run = Panel(args);
    EXPECT_EQ(run.code, 2);
    EXPECT_NE(run.err, "");
    EXPECT_EQ(run.err.find("Usage: kvpanel") != std::string::npos, usage) << run.err;
    EXPECT_EQ(run.err.find('\r'), std::string::npos) << "control characters are not echoed";
    EXPECT_EQ(run.out, "");
  }
  EXPECT_EQ(JobsBeforeMarker("KIRV R5"), 0u);
  EXPECT_EQ(Ini(), "[Setting]\r\nDisplayLan=1\r\n") << "nothing stored";
}

// Where the settings file cannot be written (a folder at its name, or a file beyond the size the tool
// reads), Set still sends its command, then says that the value was not kept.
TEST_F(CommandLineTest, SetThatCannotStoreSaysSo) {
  const std::string huge = "[Setting]\r\nDisplayLan=1\r\n;" + std::string(kv::plat::kProfileMaxBytes, 'x') + "\r\n";
  for (const bool folder : {true, false}) {
    SCOPED_TRACE(folder ? "a folder" : "a huge file");
    std::filesystem::remove_all(dir_ / "KV_setting.ini");
    if (folder) {
      std::filesystem::create_directory(dir_ / "KV_setting.ini");
    } else {
      WriteIni(huge);
    }
    const Outcome run = Panel({"--printer", "KIRV R5", "--set", "darkness", "5"});
    EXPECT_EQ(run.code, 1);
    EXPECT_NE(run.err.find("could not be stored"), std::string::npos) << run.err;
    EXPECT_EQ(NextJob(), "#UM>OD05\r\n");
    if (!folder) {
      EXPECT_TRUE(Ini() == huge) << "the file is left as it was";
    }
  }
}

// No spooler at the address, or one that has stopped answering: the command says so and ends with 2;
// a printer addressed directly needs no spooler.
TEST_F(CommandLineTest, SpoolerAbsentOrStopped) {
  const std::string printer = kvtest::CaptureSocketUri();
  const std::vector<std::vector<std::string>> commands = {
      {"--list"}, {"--status", "KIRV R5"}, {"--printer", "KIRV R5", "--set", "darkness", "5"}};
  kvtest::ScopedEnv bound("KV_SPOOLER_TIMEOUT_MS", "1000");
  const auto each_ends_unreached = [&](const std::string& server) {
    for (const auto& args : commands) {
      SCOPED_TRACE(::testing::PrintToString(args));
      const Outcome run = Panel(args, server);  // fails the test when kvpanel does not end within a minute
      EXPECT_EQ(run.code, 2);
      EXPECT_EQ(run.out, "");
      EXPECT_NE(run.err.find("spooler cannot be reached"), std::string::npos) << run.err;
    }
  };
  const std::string absent = (dir_ / "no-spooler.sock").string();
  each_ends_unreached(absent);
  const Outcome direct = Panel({"--printer", printer, "--set", "darkness", "7"}, absent);
  EXPECT_EQ(direct.code, 0) << direct.err;
  EXPECT_EQ(NextJob(), "#UM>OD07\r\n");
  EXPECT_EQ(Stored(printer, "OD"), "7");
  const StoppedSpooler stopped;
  each_ends_unreached("");
}

// The dialog's status timer against a spooler that has stopped answering: a tick holds the window no
// longer than the dialog waits for the listing, and the status keeps what it showed until an answer comes.
TEST_F(CommandLineTest, StoppedSpoolerDoesNotHoldTheDialogsTimer) {
  kvtest::ScopedEnv bound("KV_SPOOLER_TIMEOUT_MS", "30000");
  Start();
  ASSERT_EQ(view_->Text(kIdStatusText), "This Printer is On Line!");
  {
    const StoppedSpooler stopped;
    const auto start = std::chrono::steady_clock::now();
    for (int tick = 0; tick < 5; ++tick) dialog_->OnTimer();
    // Each tick held for the spooler's bound would take two and a half minutes; the limit tells them apart.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
    EXPECT_EQ(view_->Text(kIdStatusText), "This Printer is On Line!");
  }
  view_->Pick(kIdPrinterList, "KIRV R5 Stopped");
  for (int tick = 0; tick < 100 && view_->Text(kIdStatusText) != "This Printer is Off Line!"; ++tick) {
    dialog_->OnTimer();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  EXPECT_EQ(view_->Text(kIdStatusText), "This Printer is Off Line!") << "the answer came, and the next listing";
}

TEST_F(CommandLineTest, ListShowsWhatTheDialogListsThroughEitherServer) {
  Start();
  std::string expected;
  for (int i = 0; i < view_->EntryCount(kIdPrinterList); ++i) {
    const std::string name = view_->EntryText(kIdPrinterList, i);
    view_->Select(kIdPrinterList, i);
    expected += name + (dialog_->UpdatePrinterStatus() == 1 ? "\ton-line\t" : "\toff-line\t") +
                (ResolutionOf(name).resolution_class == kClass300 ? "300" : "200") + " dpi\n";
  }
  // The lines themselves: PrinterTest.StatusAndResolutionOfEachPrinter and ListHoldsThePrintersWithALabelDriver.
  ASSERT_NE(expected.find("KIRV R5i\ton-line\t300 dpi\n"), std::string::npos) << expected;

  const Outcome local = Panel({"--list"});
  EXPECT_EQ(local.code, 0) << local.err;
  EXPECT_EQ(local.out, expected);
  const char* server = std::getenv("KV_PRINT_SERVER");
  ASSERT_NE(server, nullptr) << "run through ctest";
  const Outcome remote = Panel({"--list"}, server);
  EXPECT_EQ(remote.code, 0) << remote.err;
  EXPECT_EQ(remote.out, expected);
}

TEST_F(CommandLineTest, StatusExitCodes) {
  const struct {
    const char* name;
    int code;
    const char* out;
  } cases[] = {
      {"KIRV R5", 0, "on-line\n"},      {"KIRV_R5", 0, "on-line\n"},         {"KIRV R5 Stopped", 1, "off-line\n"},
      {"Office Laser", 2, "unknown\n"}, {"No Such Printer", 2, "unknown\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Outcome run = Panel({"--status", c.name});
    EXPECT_EQ(run.code, c.code);
    EXPECT_EQ(run.out, c.out);
  }
  EXPECT_FALSE(std::filesystem::exists(dir_ / "KV_setting.ini")) << "a command that stores nothing writes nothing";
}

TEST(CommandLineArguments, OnlyTheCommandLinesOwnArgumentsLeaveTheDialog) {
  const struct {
    std::vector<const char*> args;
    bool command;
  } cases[] = {
      {{"kvpanel"}, false},
      {{"kvpanel", "-platform", "offscreen"}, false},
      {{"kvpanel", "--list"}, true},
      {{"kvpanel", "-display", ":1", "--status", "KIRV R5"}, true},
      {{"kvpanel", "-style=fusion", "-qwindowtitle", "-x", "-reverse"}, false},
      {{"kvpanel", "--list-printers"}, true},  // neither ours nor Qt's: refused by the command line
      {{"kvpanel", "-h"}, true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(WantsCommandLine(static_cast<int>(c.args.size()), c.args.data()), c.command)
        << ::testing::PrintToString(c.args);
  }
}

TEST_F(CommandLineTest, HelpVersionAndOptionsInEitherLanguage) {
  const Outcome help = Panel({"--language", "zh", "-h"});
  EXPECT_EQ(help.code, 0);
  EXPECT_NE(help.out.find("用法"), std::string::npos);
  const Outcome version = Panel({"--version"});
  EXPECT_EQ(version.code, 0);
  EXPECT_EQ(version.out.rfind("kvpanel ", 0), 0u);
  const Outcome options = Panel({"--language", "en", "--options"});
  EXPECT_EQ(options.code, 0);
  EXPECT_NE(options.out.find("direction\tDI\tSet print out direction\tforward|reverse\n"), std::string::npos)
      << options.out;
  const Outcome refused = Panel({"--language", "zh", "--printer", "KIRV R5", "--reset"});
  EXPECT_EQ(refused.code, 2);
  EXPECT_NE(refused.err.find("--yes"), std::string::npos);
  EXPECT_NE(refused.err.find("高级复位"), std::string::npos);
}

}  // namespace
