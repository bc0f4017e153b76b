// kvpanel from scripts: the real program, run with no display and no Qt platform plugin, against the
// test spooler. Each option's bytes and stored value are those the dialog's tests expect for the same
// input (the shared table of cases); bad arguments and values end with exit code 2 and send nothing; a
// spooler that is not there or does not answer ends a command with exit code 2 in bounded time.
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
#include "set_cases.h"
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

  static std::string OptionName(int index) { return ToolString(Language::English, kStrOptionFirst + index); }
};

class CommandLineSetTest : public CommandLineTest, public ::testing::WithParamInterface<kvtest::SetCase> {};

TEST_P(CommandLineSetTest, SendsAndStoresWhatTheDialogDoes) {
  const kvtest::SetCase& c = GetParam();
  const OptionInfo* option = OptionAt(c.index);
  std::string ini = "[Setting]\r\nDisplayLan=1\r\n";
  if (c.stored != nullptr) ini += std::string("[") + c.printer + "]\r\n" + option->key + "=" + c.stored + "\r\n";
  WriteIni(ini);
  std::vector<std::string> args = {"--printer", c.printer, "--set", OptionName(c.index)};
  if (c.typed[0] != '\0') args.push_back(c.typed);
  const Outcome run = Panel(args);
  if (c.out_of_range) {
    EXPECT_EQ(run.code, 2);
    EXPECT_NE(run.err.find(c.typed), std::string::npos) << run.err;
    EXPECT_EQ(JobsBeforeMarker(c.printer), 0u) << "nothing is sent for a refused value";
    EXPECT_EQ(Ini(), ini);
    return;
  }
  EXPECT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(NextJob(), c.command);
  if (c.kept != nullptr) {
    EXPECT_EQ(Stored(c.printer, option->key), c.kept);
  } else {
    EXPECT_EQ(Ini(), ini);
  }
}

INSTANTIATE_TEST_SUITE_P(EveryOption, CommandLineSetTest, ::testing::ValuesIn(kvtest::kSetCases),
                         [](const ::testing::TestParamInfo<kvtest::SetCase>& row) {
                           return std::string(row.param.name);
                         });

TEST_F(CommandLineTest, OptionButtonsByName) {
  for (const kvtest::ButtonCase& b : kvtest::kButtonCases) {
    SCOPED_TRACE(OptionName(b.index) + " " + b.word);
    const Outcome run = Panel({"--printer", "KIRV R5", "--set", OptionName(b.index), b.word});
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(NextJob(), b.command);
    if (b.stored_di != nullptr) {
      EXPECT_EQ(Stored("KIRV R5", "DI"), b.stored_di);
    }
  }
}

TEST_F(CommandLineTest, AnOptionIsNamedByItsKeyOrItsName) {
  for (const char* word : {"tear-off", "FD", "fd", "Adjust Tear-Off position", "撕纸位置调整"}) {
    SCOPED_TRACE(word);
    EXPECT_EQ(Panel({"--printer", "KIRV_R5", "--set", word, "18.76"}).code, 0);
    EXPECT_EQ(NextJob(), "#UM>FD150\r\n");
  }
}

TEST_F(CommandLineTest, BadArgumentsSendNothing) {
  kvtest::WriteWhole(dir_ / "KV_setting.ini", "[Setting]\r\nDisplayLan=1\r\n");
  const std::vector<std::string> set = {"--printer", "KIRV R5", "--set"};
  const struct {
    std::vector<std::string> args;
    bool usage;  // an argument the command line does not take: the usage follows the message
  } cases[] = {
      {{"--bogus"}, true},
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
  };
  std::vector<std::pair<std::vector<std::string>, bool>> runs;
  for (const auto& c : cases) runs.emplace_back(c.args, c.usage);
  // Values of another shape than the option's: each value check's refusals (see the value checks' own
  // table) reach the printer as nothing.
  for (const char* value : {"abc", "5abc", "0x10", "1e3", " 5", "5\r\nP9"}) {
    std::vector<std::string> args = set;
    args.insert(args.end(), {"darkness", value});
    runs.emplace_back(args, std::string(value).find('\n') != std::string::npos);
  }
  for (const char* value : {"10.0.0.5", "foo,bar,baz", "1\r\nP9\r\n,255.255.255.0,192.168.1.1",
                            "10.0.0.256,255.255.255.0,10.0.0.1", "10.0.0.5,255.255.255.0,10.0.0.1,"}) {
    std::vector<std::string> args = set;
    args.insert(args.end(), {"network", value});
    runs.emplace_back(args, std::string(value).find('\n') != std::string::npos);
  }
  for (const auto& [args, usage] : runs) {
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

TEST_F(CommandLineTest, AdvancedResetWithYesSendsAndStoresTheDefaults) {
  const Outcome run = Panel({"--printer", "KIRV R5i", "--reset", "--yes"});
  EXPECT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(NextJob(), "#UM>IF\r\n");
  EXPECT_EQ(Stored("KIRV R5i", "FD"), ToolString(Language::English, kStrResetTearOff300));
}

TEST_F(CommandLineTest, NetworkSetSendsItsThreeCommands) {
  const Outcome run = Panel({"--printer", "KIRV R5", "--set", "network", "10.0.0.5,255.255.255.0,10.0.0.1"});
  EXPECT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(NextJob(), "#UM>IA10.0.0.5\r\n");
  EXPECT_EQ(NextJob(), "#UM>MK255.255.255.0\r\n");
  EXPECT_EQ(NextJob(), "#UM>GT10.0.0.1\r\n");
  EXPECT_EQ(Stored("KIRV R5", "IA"), "10.0.0.5");
}

TEST_F(CommandLineTest, TestFileGoesThroughTheLibrary) {
  const std::string bytes = "N\r\n" + kvtest::Bytes(30000, 4) + "W1,1\r\n";
  kvtest::WriteWhole(dir_ / "TestCmd.txt", bytes);
  const Outcome run = Panel({"--printer", "KIRV R5", "--test-file"});
  EXPECT_EQ(run.code, 0) << run.err;
  EXPECT_TRUE(NextJob() == bytes);
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
  EXPECT_NE(expected.find("KIRV R5\ton-line\t200 dpi\n"), std::string::npos) << expected;
  EXPECT_NE(expected.find("KIRV R5 Stopped\toff-line\t200 dpi\n"), std::string::npos) << expected;
  EXPECT_NE(expected.find("KIRV R5i\ton-line\t300 dpi\n"), std::string::npos) << expected;
  EXPECT_EQ(expected.find("Office Laser"), std::string::npos) << "not a label printer";

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
      {{"kvpanel", "--platform", "xcb", "-display", ":1"}, false},
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
  const Outcome help = Panel({"--language", "en", "--help"});
  EXPECT_EQ(help.code, 0);
  EXPECT_NE(help.out.find("--set OPTION"), std::string::npos);
  const Outcome chinese = Panel({"--language", "zh", "-h"});
  EXPECT_EQ(chinese.code, 0);
  EXPECT_NE(chinese.out.find("用法"), std::string::npos);
  const Outcome version = Panel({"--version"});
  EXPECT_EQ(version.code, 0);
  EXPECT_EQ(version.out.rfind("kvpanel ", 0), 0u);
  const Outcome options = Panel({"--options"});
  EXPECT_EQ(options.code, 0);
  EXPECT_NE(options.out.find("tear-off\tFD\tAdjust Tear-Off position\tmillimetres\n"), std::string::npos)
      << options.out;
  EXPECT_NE(options.out.find("direction\tDI\tSet print out direction\tforward|reverse\n"), std::string::npos)
      << options.out;
  const Outcome refused = Panel({"--language", "zh", "--printer", "KIRV R5", "--reset"});
  EXPECT_EQ(refused.code, 2);
  EXPECT_NE(refused.err.find("--yes"), std::string::npos);
  EXPECT_NE(refused.err.find("高级复位"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(dir_ / "KV_setting.ini")) << "a command that stores nothing writes nothing";
}

}  // namespace
